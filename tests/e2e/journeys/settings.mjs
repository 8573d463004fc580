// The Controller Settings page of a controller without a battery backup
// unit: a unit's write cache off at once, on only after a warning (Cancel
// leaves it off and sends nothing); a rebuild rate picked; names shown as
// the units hold them, saved after one with a blank was refused in the
// page; a carve size out of range refused in the page, one in range saved.
import { openSettings } from './common.mjs';

export default async function settings(page, ctx) {
  const { content } = ctx;
  const f = ctx.facts.settings;
  const requests = [];
  const onRequest = (r) => requests.push(r.url());
  page.on('request', onRequest);
  const sent = (key) => requests.filter((r) => r.includes(key));
  const banner = async () => (await ctx.banner.innerText()).trim();
  const names = async () => {
    const out = [];
    for (let i = 0; i < f.names.length; i++) out.push(await content.locator(`input[name=unitname${i}]`).inputValue());
    return out;
  };

  await openSettings(ctx, f.c);
  ctx.equal('names as the units hold them', f.names, await names());
  await ctx.shot('settings');

  const writeCache = content.locator('input[name=writecache][onclick^="set_cache(1,"]');
  ctx.equal('unit 1 write cache at first', true, await writeCache.isChecked());
  await ctx.mark();
  await writeCache.click();
  await ctx.reloaded('/page2_0.html', '?c=');
  ctx.equal('disabled', 'Disabled Write Cache on Unit 1', await banner());
  ctx.equal('unit 1 write cache off', false, await writeCache.isChecked());

  ctx.refuseNext();
  await writeCache.click();
  ctx.equal('enabling warns of the missing battery',
            'You do not have a battery backup unit installed, enabling write cache may cause loss of data in the event of power failure.  Do you wish to continue?',
            await ctx.nextDialog());
  ctx.equal('a refused warning leaves the box unchecked', false, await writeCache.isChecked());
  ctx.equal('a refused warning sends nothing', 1, sent('SetWriteCacheUnit=').length);
  await ctx.mark();
  await writeCache.click();
  ctx.equal('the warning again', true, (await ctx.nextDialog()).startsWith('You do not have a battery backup unit'));
  await ctx.reloaded('/page2_0.html', '?c=');
  ctx.equal('enabled', 'Enabled Write Cache on Unit 1', await banner());
  ctx.equal('unit 1 write cache on', true, await writeCache.isChecked());

  await ctx.mark();
  await content.locator('input[name=rebuildrate][onclick^="change_rebuild_rate(5,"]').click();
  await ctx.reloaded('/page2_0.html', '?c=');
  ctx.equal('rate changed', 'Changed Background Rebuild Rate to 5', await banner());
  ctx.equal('rate 5 shown', true,
            await content.locator('input[name=rebuildrate][onclick^="change_rebuild_rate(5,"]').isChecked());

  // Names: a blank is refused in the page (and so are the characters the
  // page reserves, wherever they came from); characters a URL gives a
  // meaning to, and letters beyond ASCII, are saved as typed.
  await content.locator('input[name=unitname1]').fill('bad name');
  await content.locator('input[value="Save Names"]').click();
  ctx.equal('invalid names', f.invalid, await ctx.nextDialog());
  ctx.equal('invalid names send nothing', 0, sent('UnitNames=').length);
  const saved = f.saved;
  for (let i = 0; i < saved.length; i++) await content.locator(`input[name=unitname${i}]`).fill(saved[i]);
  await ctx.mark();
  await content.locator('input[value="Save Names"]').click();
  await ctx.reloaded('/page2_0.html', '?c=');
  ctx.equal('names saved', 'Saved unit name(s)', await banner());
  ctx.equal('names shown', saved, await names());

  await content.locator('input[name=carvesize]').fill('1023');
  await content.locator('input[value=Submit]').click();
  ctx.equal('carve size out of range',
            'Invalid carve size entered!  The value is out of carve size range  1024 .. 32768', await ctx.nextDialog());
  ctx.equal('an invalid carve size sends nothing', 0, sent('CarveSize=').length);
  await content.locator('input[name=carvesize]').fill('2048');
  await ctx.mark();
  await content.locator('input[value=Submit]').click();
  await ctx.reloaded('/page2_0.html', '?c=');
  ctx.equal('carve size saved', 'Saved the carve size.', await banner());
  ctx.equal('carve size shown', '2048 ', await content.locator('input[name=carvesize]').inputValue());
  await ctx.shot('settings-changed');
  page.off('request', onRequest);
}
