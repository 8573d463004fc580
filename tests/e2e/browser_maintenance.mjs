// In headless Chromium, on the Maintenance page of controller 2: as
// administrator, make a spare, sort the available drives and remove the
// drive a row shows after the sort (its confirmation declined, then
// accepted), start and stop a verify, rebuild the degraded unit through the
// rebuild pop-up; as a user, see an action refused.
//
//   node browser_maintenance.mjs <base-url> <user-data-dir> <screenshot-dir>
import { Checks, frameSet, login, recordDialogs, withChromium } from './chromium.mjs';

const [base, profile, shots] = process.argv.slice(2);
const checks = new Checks();
await withChromium(profile, checks, async (page, context) => {
  // Dialogs answer as the test says; each one is remembered.
  let accept = true;
  const dialogs = recordDialogs(page, () => accept);
  const requests = [];
  page.on('request', (r) => { if (r.url().includes('/page2_2.html')) requests.push(new URL(r.url()).search); });

  const { menu, content } = frameSet(page);
  const banner = menu.locator('#lastmessage');

  // Opens the Maintenance page of the second controller, as the menu does.
  async function openMaintenance() {
    await page.frame('content').goto(`${base}/page2_2.html?c=1`);
    await content.locator('form[name=createmaint]').waitFor();
  }
  // Waits until an action's redirect has put its message in the banner and
  // loaded the Maintenance page again.
  async function outcome(what, expected) {
    await banner.filter({ hasText: expected }).waitFor().catch(() => {});
    checks.equal(what, expected, (await banner.textContent()).trim());
    await page.waitForFunction(() => {
      const c = window.frames['content'];
      return c && c.location.search.startsWith('?AvailListSort=') && c.document.readyState === 'complete' &&
             c.document.forms['createmaint'] !== undefined;
    });
  }
  const rowPorts = async () => (await content.locator('[id^=AvailDriveListID]').allInnerTexts()).map((t) => t.trim());

  await page.goto(`${base}/`);
  await login(page, 'a', 'pyv2', 'Administrator');
  await openMaintenance();
  // Controller 2: a spare on port 5, free drives on ports 6 and 7.
  checks.equal('available drives by port', ['5', '6', '7'], await rowPorts());

  // Make the drive on port 7 a spare (an alert tells what spares are for).
  await content.locator('form[name=createmaint] input[name=drive][value="7"]').check();
  await content.locator('input[value="Set Spare(s)"]').click();
  await outcome('spare', 'Successfully set spare(s) from Port 7 .');
  checks.equal('spare alert', 'The Spare(s) will be used to replace the same type of failed drive only.', dialogs.at(-1));

  // Sort by status: the spares come first, and the page is written again
  // with the sort column.
  await content.locator('font', { hasText: /^Status$/ }).click();
  await page.waitForFunction(() => window.frames['content'].location.search.includes('AvailListSort=7'));
  await content.locator('form[name=createmaint]').waitFor();
  await page.waitForFunction(() => window.frames['content'].document.getElementById('AvailDriveListID2')?.innerText.trim() === '6');
  checks.equal('available drives by status', ['5', '7', '6'], await rowPorts());
  await page.screenshot({ path: `${shots}/1-maintenance-sorted.png` });

  // Remove the drive of the last row, whose checkbox was written for port 7:
  // declined, nothing is sent; accepted, the drive that row shows goes.
  const lastRow = content.locator('form[name=createmaint] input[name=drive]').nth(2);
  await lastRow.check();
  accept = false;
  requests.length = 0;
  await content.locator('input[value="Remove Drive"]').click();
  checks.equal('removal asked', 'Are you sure you want to remove the drive from port 6?', dialogs.at(-1));
  checks.equal('declined removal sends nothing', [], requests);
  accept = true;
  await content.locator('input[value="Remove Drive"]').click();
  await outcome('removal', 'Successfully removed drive from Port 6.  You may now unplug it from the controller');
  checks.equal('removal request', '?RemoveDrive=6&c=1&AvailListSort=7', requests[0]);
  checks.equal('drive 6 gone', ['5', '7'], await rowPorts());

  // Start a verify of the RAID 5, then stop it from its link.
  await content.locator('form[name=unitmaint] input[name=unit][value="0"]').check();
  await content.locator('input[value="Verify Unit"]').click();
  await outcome('verify', 'Successfully started Verify on Unit 0');
  await content.locator('a[href="javascript: stop_verify(0);"]').click();
  await outcome('stop verify', 'Successfully stopped Verify on Unit 0');
  checks.equal('verify stopped', 0, await content.locator('a[href="javascript: stop_verify(0);"]').count());

  // Rebuild the degraded RAID 1 (unit 1) onto the new spare.
  await content.locator('form[name=unitmaint] input[name=unit][value="1"]').check();
  await content.locator('input[value="Rebuild Unit"]').click();
  const popup = content.locator('#rebuildpopup');
  await popup.waitFor({ state: 'visible' });
  checks.equal('rebuild pop-up rows', ['Port 5', 'Port 7'],
               (await content.locator('[id^=RebuildDrivePort]').allInnerTexts()).map((t) => t.trim()));
  await page.screenshot({ path: `${shots}/2-rebuild-popup.png` });
  await content.locator('form[name=rebuildmaint] input[name=drive][value="7"]').check();
  await content.locator('form[name=rebuildmaint] input[value="OK"]').click();
  await outcome('rebuild', 'Successfully started Rebuild on Unit 1');
  checks.equal('rebuild request', '?RebuildUnit=1&RebuildDrives=7&ignoreECC=0&c=1&AvailListSort=7',
               requests.find((s) => s.startsWith('?RebuildUnit=')));
  checks.equal('drive 7 in use', ['5'], await rowPorts());
  checks.equal('unit 1 rebuilding', true, (await content.locator('#ustatus1').innerText()).includes('REBUILDING'));
  await page.screenshot({ path: `${shots}/3-rebuilding.png` });

  // A user sees the page, and the actions are refused.
  await context.clearCookies();
  await page.goto(`${base}/`);
  await login(page, 'u', 'pyv2', 'User');
  await openMaintenance();
  await content.locator('form[name=unitmaint] input[name=unit][value="0"]').check();
  await content.locator('input[value="Verify Unit"]').click();
  await outcome('user refused', '(0x0C:0x0011): Not logged in as Administrator : Cannot start Verify');
  checks.equal('still not verifying', 0, await content.locator('a[href="javascript: stop_verify(0);"]').count());
});
checks.finish();
