// What the browser tests share: Debian's chromium on the test's own profile,
// the checks counted as a test makes them, and the login through the frame
// set's login form.
import { chromium } from 'playwright-core';

export class Checks {
  constructor() {
    this.failures = [];
    this.passed = 0;
  }

  expectEqual(what, expected, actual) {
    if (JSON.stringify(expected) === JSON.stringify(actual)) this.passed++;
    else this.failures.push(`${what}: expected ${JSON.stringify(expected)}, got ${JSON.stringify(actual)}`);
  }

  fail(message) {
    this.failures.push(message);
  }

  // Prints the outcome and ends the process: status 0 when every check passed.
  report() {
    for (const f of this.failures) console.log(`FAILED: ${f}`);
    console.log(`${this.passed} passed, ${this.failures.length} failed`);
    process.exit(this.failures.length === 0 ? 0 : 1);
  }
}

// Headless chromium on the profile directory, and its first page with the
// time-out a loaded machine needs (a 2-core machine runs other daemons
// beside this one).
export async function launch(profile) {
  const context = await chromium.launchPersistentContext(profile, {
    executablePath: '/usr/bin/chromium',
    headless: true,
    ignoreHTTPSErrors: true,
    args: ['--headless', '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
           '--disable-background-networking', '--disable-component-update', '--disable-sync'],
  });
  const page = context.pages()[0] ?? await context.newPage();
  page.setDefaultTimeout(45000);
  return { context, page };
}

// The frame set's two frames.
export function frameSet(page) {
  return { menu: page.frameLocator('frame[name=menu]'), content: page.frameLocator('frame[name=content]') };
}

// The messages of the page's dialogs, each answered as accept() says when
// it comes (accepted by default).
export function recordDialogs(page, accept = () => true) {
  const dialogs = [];
  page.on('dialog', (dialog) => {
    dialogs.push(dialog.message());
    if (accept()) dialog.accept(); else dialog.dismiss();
  });
  return dialogs;
}

// Logs in at level 'a' or 'u' through the login form (the frame set is
// loaded first unless its content frame shows the form already), waits
// until the menu names who is logged in and the content frame has moved
// on to the summary.
export async function login(page, base, level, password, who) {
  const { menu, content } = frameSet(page);
  if (await content.locator('input[name=thepwd]').count() === 0) await page.goto(`${base}/`);
  await content.locator('input[name=thepwd]').waitFor();
  await content.locator('select[name=whopwd]').selectOption(level);
  await content.locator('input[name=thepwd]').fill(password);
  await content.locator('input[type=submit]').click();
  await menu.locator('#whos_loggedin').filter({ hasText: who }).waitFor();
  await page.waitForFunction(() => {
    const c = window.frames['content'];
    return c && c.location.pathname === '/page0.html' && c.document.readyState === 'complete';
  });
}
