// Shared by the browser tests: Debian's Chromium, headless, on a fresh
// profile; the administrator's login through the frame set; and the checks
// a test counts and reports.
import { chromium } from 'playwright-core';

export class Checks {
  constructor() {
    this.failures = [];
    this.passed = 0;
  }

  equal(what, expected, actual) {
    if (JSON.stringify(expected) === JSON.stringify(actual)) this.passed++;
    else this.failures.push(`${what}: expected ${JSON.stringify(expected)}, got ${JSON.stringify(actual)}`);
  }

  fail(what) {
    this.failures.push(what);
  }

  // Prints the outcome and ends the process: status 0 when nothing failed.
  finish() {
    for (const f of this.failures) console.log(`FAILED: ${f}`);
    console.log(`${this.passed} passed, ${this.failures.length} failed`);
    process.exit(this.failures.length === 0 ? 0 : 1);
  }
}

// Runs body(page, context) in Chromium with the profile directory; an
// exception is a failure of the checks. The browser is closed either way.
export async function withChromium(profile, checks, body) {
  const context = await chromium.launchPersistentContext(profile, {
    executablePath: '/usr/bin/chromium',
    headless: true,
    ignoreHTTPSErrors: true,
    args: ['--headless', '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
           '--disable-background-networking', '--disable-component-update', '--disable-sync'],
  });
  try {
    const page = context.pages()[0] ?? await context.newPage();
    page.setDefaultTimeout(45000);  // a loaded 2-core machine runs other daemons beside this one
    await body(page, context);
  } catch (error) {
    checks.fail(`browser: ${error.message}`);
  } finally {
    await context.close();
  }
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

// The message of the dialog recorded after the first `count`, waiting up to
// ten seconds for it: a click returns before a slow page's handler has
// opened its dialog. Undefined when none came.
export async function dialogAfter(dialogs, count, timeout = 10000) {
  const end = Date.now() + timeout;
  while (dialogs.length <= count) {
    if (Date.now() > end) return undefined;
    await new Promise((resolve) => setTimeout(resolve, 20));
  }
  return dialogs[count];
}

// Logs in as administrator with the frame set's login form (the frame set
// loaded, nobody logged in) and waits until the menu says so and the
// content frame has moved on to the summary, which the login's answer
// loads; a click before it gets there would race that move.
export async function loginAsAdministrator(page, password) {
  await login(page, 'a', password, 'Administrator');
}

// The same at a level of the form ('a' administrator, 'u' user), who being
// what the menu then says ("Administrator", "User").
export async function login(page, level, password, who) {
  const { menu, content } = frameSet(page);
  await content.locator('select[name=whopwd]').selectOption(level);
  await content.locator('input[name=thepwd]').fill(password);
  await content.locator('input[type=submit]').click();
  await menu.locator('#whos_loggedin').filter({ hasText: who }).waitFor();
  await page.waitForFunction(() => {
    const c = window.frames['content'];
    return c && c.location.pathname === '/page0.html' && c.document.readyState === 'complete';
  });
}
