// The Maintenance page of the second controller of the default machine
// (a spare on port 5, free drives on ports 4, 6 and 7): a spare made (an
// alert says what spares are for), the available drives sorted by status
// and the drive a row shows after the sort removed (its confirmation
// declined, then accepted), a verify started and stopped, the degraded
// unit rebuilt through the rebuild pop-up.
import { openMaintenance } from './common.mjs';

export default async function maintenance(page, ctx) {
  const { content } = ctx;
  const requests = [];
  const onRequest = (r) => { if (r.url().includes('/page2_2.html')) requests.push(new URL(r.url()).search); };
  page.on('request', onRequest);
  // An action's message in the banner, then the page loaded again.
  const outcome = async (what, expected) => {
    await ctx.outcome(what, expected);
    await page.waitForFunction(() => {
      const c = window.frames['content'];
      return c && c.location.search.startsWith('?AvailListSort=') && c.document.readyState === 'complete' &&
             c.document.forms['createmaint'] !== undefined;
    });
  };
  const rowPorts = async () => (await content.locator('[id^=AvailDriveListID]').allInnerTexts()).map((t) => t.trim());

  await openMaintenance(ctx, 1);
  ctx.equal('available drives by port', ['4', '5', '6', '7'], await rowPorts());

  await content.locator('form[name=createmaint] input[name=drive][value="7"]').check();
  await content.locator('input[value="Set Spare(s)"]').click();
  ctx.equal('spare alert', 'The Spare(s) will be used to replace the same type of failed drive only.', await ctx.nextDialog());
  await outcome('spare', 'Successfully set spare(s) from Port 7 .');

  // Sorted by status, the spares first; the page is written again with the
  // sort column.
  await content.locator('font', { hasText: /^Status$/ }).click();
  await page.waitForFunction(() => window.frames['content'].location.search.includes('AvailListSort=7'));
  await content.locator('form[name=createmaint]').waitFor();
  await page.waitForFunction(() => window.frames['content'].document.getElementById('AvailDriveListID3')?.innerText.trim() === '6');
  ctx.equal('available drives by status', ['5', '7', '4', '6'], await rowPorts());
  await ctx.shot('maintenance-sorted');

  // The last row's checkbox was written for port 7; the row now shows port
  // 6, and port 6 is what a removal names. Declined, nothing is sent.
  await content.locator('form[name=createmaint] input[name=drive]').nth(3).check();
  requests.length = 0;
  ctx.refuseNext();
  await content.locator('input[value="Remove Drive"]').click();
  ctx.equal('removal asked', 'Are you sure you want to remove the drive from port 6?', await ctx.nextDialog());
  ctx.equal('declined removal sends nothing', [], requests);
  await content.locator('input[value="Remove Drive"]').click();
  ctx.equal('removal asked again', 'Are you sure you want to remove the drive from port 6?', await ctx.nextDialog());
  await outcome('removal', 'Successfully removed drive from Port 6.  You may now unplug it from the controller');
  ctx.equal('removal request', '?RemoveDrive=6&c=1&AvailListSort=7', requests[0]);
  ctx.equal('drive 6 gone', ['5', '7', '4'], await rowPorts());

  await content.locator('form[name=unitmaint] input[name=unit][value="0"]').check();
  await content.locator('input[value="Verify Unit"]').click();
  await outcome('verify', 'Successfully started Verify on Unit 0');
  await content.locator('a[href="javascript: stop_verify(0);"]').click();
  await outcome('stop verify', 'Successfully stopped Verify on Unit 0');
  ctx.equal('verify stopped', 0, await content.locator('a[href="javascript: stop_verify(0);"]').count());

  // The degraded RAID 1 (unit 1) rebuilt onto the new spare.
  await content.locator('form[name=unitmaint] input[name=unit][value="1"]').check();
  await content.locator('input[value="Rebuild Unit"]').click();
  await content.locator('#rebuildpopup').waitFor({ state: 'visible' });
  ctx.equal('rebuild pop-up rows', ['Port 4', 'Port 5', 'Port 7'],
            (await content.locator('[id^=RebuildDrivePort]').allInnerTexts()).map((t) => t.trim()));
  await ctx.shot('rebuild-pop-up');
  await content.locator('form[name=rebuildmaint] input[name=drive][value="7"]').check();
  await content.locator('form[name=rebuildmaint] input[value="OK"]').click();
  await outcome('rebuild', 'Successfully started Rebuild on Unit 1');
  ctx.equal('rebuild request', '?RebuildUnit=1&RebuildDrives=7&ignoreECC=0&c=1&AvailListSort=7',
            requests.find((s) => s.startsWith('?RebuildUnit=')));
  ctx.equal('drive 7 in use', ['5', '4'], await rowPorts());
  ctx.equal('unit 1 rebuilding', true, (await content.locator('#ustatus1').innerText()).includes('REBUILDING'));
  page.off('request', onRequest);
}
