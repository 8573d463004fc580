// In headless Chromium: log in as administrator, choose the second
// controller, open the Alarms page from the menu, see the newest event
// first, sort by severity, open a row's help, clear the alarms.
//
//   node browser_alarms.mjs <base-url> <user-data-dir> <screenshot-dir>
import { Checks, frameSet, loginAsAdministrator, recordDialogs, withChromium } from './chromium.mjs';

const [base, profile, shots] = process.argv.slice(2);
const checks = new Checks();
await withChromium(profile, checks, async (page, context) => {
  const dialogs = recordDialogs(page);
  const { menu, content } = frameSet(page);
  const rows = content.frameLocator('iframe').locator('tr');
  await page.goto(`${base}/`);
  await loginAsAdministrator(page, 'pyv2');

  // The second controller, then Alarms from the Monitor menu.
  await menu.locator('#selctlr').selectOption({ label: 'Controller ID 2 (QX-6200-8)' }, { force: true });
  await page.waitForFunction(() => window.cur_controller == 1);
  await page.frame({ name: 'menu' }).evaluate(() => go_page('3_0'));
  await rows.first().waitFor();
  const first = rows.first().locator('td');
  checks.equal('newest event first', '(0x04:0x000B): Rebuild started: browser=1',
               (await first.nth(2).innerText()).trim());
  checks.equal('information in blue', '#0000FF', await first.nth(0).getAttribute('bgcolor'));
  await page.screenshot({ path: `${shots}/alarms-1-list.png` });

  // Grouped by severity: the error comes first.
  await content.locator('a', { hasText: 'Sev' }).click();
  await content.locator('iframe[src*="SortBy=sev"]').waitFor();
  await rows.first().locator('td').nth(2).filter({ hasText: 'unit=1' }).waitFor();
  checks.equal('error first when sorted', '#FF0000',
               await rows.first().locator('td').first().getAttribute('bgcolor'));

  // A row opens its event's help page in its own window.
  const [help] = await Promise.all([
    context.waitForEvent('page'),
    rows.first().locator('td').nth(2).click(),
  ]);
  checks.equal('help page of the event', '/help/AEN_0002.html', new URL(help.url()).pathname);
  await help.close();

  // Clear Alarms asks first, then the list is empty.
  await content.locator('input[name=clear]').click();
  await content.frameLocator('iframe').getByText('NO ALARMS FOUND').waitFor();
  checks.equal('clearing asked first', ['Are you sure you want to clear all alarms?'], dialogs);
  checks.equal('cleared message', 'Cleared Alarms',
               (await menu.locator('#lastmessage').innerText()).trim());
  await page.screenshot({ path: `${shots}/alarms-2-cleared.png` });
});
checks.finish();
