// The Alarms page of a controller with stored events: newest first in the
// page's frame, grouped by severity on request, a row opening its event's
// help in a window of its own, Clear Alarms (after its question) emptying
// the list.
export default async function alarms(page, ctx) {
  const { menu, content } = ctx;
  const f = ctx.facts.alarms;
  const rows = content.frameLocator('iframe').locator('tr');
  await ctx.go('itemCell3', 'itemCell3_0', '/page3_0.html');
  await ctx.pick(f.c);
  await rows.first().waitFor();
  const first = rows.first().locator('td');
  ctx.equal('newest event first', f.newest, (await first.nth(2).innerText()).trim());
  ctx.equal('its severity colour', f.newestColour, await first.nth(0).getAttribute('bgcolor'));
  await ctx.shot('alarms');

  await content.locator('a', { hasText: 'Sev' }).click();
  await content.locator('iframe[src*="SortBy=sev"]').waitFor();
  await rows.first().locator('td').nth(2).filter({ hasText: f.worst }).waitFor();
  ctx.equal('the worst first when sorted', f.worstColour,
            await rows.first().locator('td').first().getAttribute('bgcolor'));

  const [help] = await Promise.all([ctx.context.waitForEvent('page'), rows.first().locator('td').nth(2).click()]);
  await help.waitForLoadState();
  ctx.equal('help page of the event', f.help, new URL(help.url()).pathname);
  ctx.equal('its text', f.help.replace(/^.*AEN_(\w+)\.html$/, 'Event $1'), (await help.locator('h1').innerText()).trim());
  await help.close();

  await content.locator('input[name=clear]').click();
  ctx.equal('clearing asked first', 'Are you sure you want to clear all alarms?', await ctx.nextDialog());
  await content.frameLocator('iframe').getByText('NO ALARMS FOUND').waitFor();
  ctx.equal('cleared message', 'Cleared Alarms', (await menu.locator('#lastmessage').innerText()).trim());
}
