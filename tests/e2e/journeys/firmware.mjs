// A firmware image uploaded from the Controller Settings page: the update
// warning, the check's verdict in its pop-up with the image's version and
// the controller's (a page that does not reload
// itself), then Cancel: the update is called off and nothing updates.
import { openSettings } from './common.mjs';

export default async function firmware(page, ctx) {
  const { content } = ctx;
  const f = ctx.facts.firmware;
  const c = f.c;
  const requests = [];
  const onRequest = (r) => requests.push(new URL(r.url()).pathname + new URL(r.url()).search);
  page.on('request', onRequest);
  await openSettings(ctx, c);

  await content.locator('input[name=fwimagefile]').setInputFiles(ctx.values.image);
  await content.locator('input[value="Begin Update"]').click();
  ctx.equal('the update warning', true, (await ctx.nextDialog()).startsWith('Warning: Updating the firmware'));
  await ctx.shown('/fwcheck.html', null);
  const popup = content.locator('#fwcheckpopup');
  ctx.equal('the pop-up is shown', 'visible', await popup.evaluate((e) => getComputedStyle(e).visibility));
  const verdict = await popup.innerText();
  ctx.equal('the verdict', true, verdict.includes('Both API and Driver are compatible with the new firmware.'));
  ctx.equal('the new version', true, verdict.includes(f.version));
  ctx.equal('the current version', true, verdict.includes(f.current));
  ctx.equal('the verdict page does not reload itself', 0, await ctx.contentFrame().evaluate(() => TimeOut));
  await ctx.shot('firmware-pop-up');
  await ctx.mark();
  await popup.locator('input[value=Cancel]').click();
  await ctx.reloaded('/page2_0.html', '?c=');
  ctx.equal('cancelled', 'Firmware upgrade operation is canceled.', (await ctx.banner.innerText()).trim());
  ctx.equal('cancel requested', 1, requests.filter((r) => r === `/fwupdate_canceled.html?c=${c}`).length);
  ctx.equal('no update requested', 0, requests.filter((r) => r.startsWith('/fwupdate.html')).length);
  ctx.equal('the pop-up is hidden', 'hidden',
            await content.locator('#fwcheckpopup').evaluate((e) => getComputedStyle(e).visibility));
  page.off('request', onRequest);
}
