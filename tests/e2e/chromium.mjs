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

// Logs in as administrator with the frame set's login form (the frame set
// loaded, nobody logged in) and waits until the menu says so and the
// content frame has moved on to the summary, which the login's answer
// loads; a click before it gets there would race that move.
export async function loginAsAdministrator(page, password) {
  const menu = page.frameLocator('frame[name=menu]');
  const content = page.frameLocator('frame[name=content]');
  await content.locator('select[name=whopwd]').selectOption('a');
  await content.locator('input[name=thepwd]').fill(password);
  await content.locator('input[type=submit]').click();
  await menu.locator('#whos_loggedin').filter({ hasText: 'Administrator' }).waitFor();
  await page.waitForFunction(() => {
    const c = window.frames['content'];
    return c && c.location.pathname === '/page0.html' && c.document.readyState === 'complete';
  });
}

// Answers every dialog of the page and remembers its message: the returned
// record's messages in order; a dialog is accepted while record.accept is
// true, dismissed (Cancel) once the test sets it false.
export function recordDialogs(page) {
  const record = { messages: [], accept: true };
  page.on('dialog', (dialog) => {
    record.messages.push(dialog.message());
    if (record.accept) dialog.accept(); else dialog.dismiss();
  });
  return record;
}
