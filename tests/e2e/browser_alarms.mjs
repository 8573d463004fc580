// In headless Chromium: log in as administrator, choose the second
// controller, open the Alarms page from the menu, see the newest event
// first, sort by severity, open a row's help, clear the alarms.
//
//   node browser_alarms.mjs <base-url> <user-data-dir> <screenshot-dir>
import { chromium } from 'playwright-core';

const [base, profile, shots] = process.argv.slice(2);
const failures = [];
let passed = 0;
function expectEqual(what, expected, actual) {
  if (JSON.stringify(expected) === JSON.stringify(actual)) passed++;
  else failures.push(`${what}: expected ${JSON.stringify(expected)}, got ${JSON.stringify(actual)}`);
}

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
  const dialogs = [];
  page.on('dialog', (dialog) => { dialogs.push(dialog.message()); dialog.accept(); });

  await page.goto(`${base}/`);
  const menu = page.frameLocator('frame[name=menu]');
  const content = page.frameLocator('frame[name=content]');
  const rows = content.frameLocator('iframe').locator('tr');
  await content.locator('input[name=thepwd]').waitFor();
  await content.locator('select[name=whopwd]').selectOption('a');
  await content.locator('input[name=thepwd]').fill('pyv2');
  await content.locator('input[type=submit]').click();
  await menu.locator('#whos_loggedin').filter({ hasText: 'Administrator' }).waitFor();

  // The second controller, then Alarms from the Monitor menu.
  await menu.locator('#selctlr').selectOption({ label: 'Controller ID 2 (QX-6200-8)' }, { force: true });
  await page.waitForFunction(() => window.cur_controller == 1);
  await page.frame({ name: 'menu' }).evaluate(() => go_page('3_0'));
  await rows.first().waitFor();
  const first = rows.first().locator('td');
  expectEqual('newest event first', '(0x04:0x000B): Rebuild started: browser=1',
              (await first.nth(2).innerText()).trim());
  expectEqual('information in blue', '#0000FF', await first.nth(0).getAttribute('bgcolor'));
  await page.screenshot({ path: `${shots}/alarms-1-list.png` });

  // Grouped by severity: the error comes first.
  await content.locator('a', { hasText: 'Sev' }).click();
  await content.locator('iframe[src*="SortBy=sev"]').waitFor();
  await rows.first().locator('td').nth(2).filter({ hasText: 'unit=1' }).waitFor();
  expectEqual('error first when sorted', '#FF0000',
              await rows.first().locator('td').first().getAttribute('bgcolor'));

  // A row opens its event's help page in its own window.
  const [help] = await Promise.all([
    context.waitForEvent('page'),
    rows.first().locator('td').nth(2).click(),
  ]);
  expectEqual('help page of the event', '/help/AEN_0002.html', new URL(help.url()).pathname);
  await help.close();

  // Clear Alarms asks first, then the list is empty.
  await content.locator('input[name=clear]').click();
  await content.frameLocator('iframe').getByText('NO ALARMS FOUND').waitFor();
  expectEqual('clearing asked first', ['Are you sure you want to clear all alarms?'], dialogs);
  expectEqual('cleared message', 'Cleared Alarms',
              (await menu.locator('#lastmessage').innerText()).trim());
  await page.screenshot({ path: `${shots}/alarms-2-cleared.png` });
} catch (error) {
  failures.push(`browser: ${error.message}`);
} finally {
  await context.close();
}
for (const f of failures) console.log(`FAILED: ${f}`);
console.log(`${passed} passed, ${failures.length} failed`);
process.exit(failures.length === 0 ? 0 : 1);
