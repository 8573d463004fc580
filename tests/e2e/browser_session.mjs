// What the browser tests share: headless Chromium as the tests run it (a
// fresh profile, the daemon's self-signed certificate accepted) and the
// count of passed and failed checks.
import { chromium } from 'playwright-core';

export async function launchBrowser(profile) {
  return chromium.launchPersistentContext(profile, {
    executablePath: '/usr/bin/chromium',
    headless: true,
    ignoreHTTPSErrors: true,
    args: ['--headless', '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
           '--disable-background-networking', '--disable-component-update', '--disable-sync'],
  });
}

export class Checks {
  constructor() {
    this.failures = [];
    this.passed = 0;
  }
  expectEqual(what, expected, actual) {
    if (JSON.stringify(expected) === JSON.stringify(actual)) this.passed++;
    else this.failures.push(`${what}: expected ${JSON.stringify(expected)}, got ${JSON.stringify(actual)}`);
  }
  fail(what) {
    this.failures.push(what);
  }
  // Prints the outcome and ends the process with it.
  finish() {
    for (const f of this.failures) console.log(`FAILED: ${f}`);
    console.log(`${this.passed} passed, ${this.failures.length} failed`);
    process.exit(this.failures.length === 0 ? 0 : 1);
  }
}
