// The browser journeys' Chromium (Debian's, headless, on a fresh profile),
// the frame set's frames, and the checks a run counts and reports.
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
