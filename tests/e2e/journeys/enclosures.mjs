// The enclosure pages: Monitor > Enclosure Support shows none on the first
// controller; on the controller with an SES enclosure its summary row,
// whose number leads to its details, where a slot's identify LED is
// switched on and the alarm muted, each coming back with its message.
export default async function enclosures(page, ctx) {
  const { content } = ctx;
  const f = ctx.facts.enclosures;
  const contentAt = (path) => ctx.shown(path, null);
  await ctx.go('itemCell3', 'itemCell3_2', '/page3_2.html');
  await ctx.pick(0);
  await content.locator('text=NO ENCLOSURES').waitFor();
  await ctx.pick(f.c);
  const summary = content.locator('table').first();
  await summary.locator('text=Enclosure Summary').waitFor();
  const row = summary.locator('tr').nth(2);
  ctx.equal('summary row', f.summaryRow, (await row.locator('td').allInnerTexts()).map((t) => t.trim()));
  await ctx.shot('enclosure-summary');

  await row.locator('a').click();
  await contentAt('/page3_3.html');
  await content.locator('text=Slot Summary').waitFor();
  const text = await content.locator('body').innerText();
  for (const t of f.details) ctx.equal(`details show ${t}`, true, text.includes(t));
  const slotRow = (n) => content.locator('tr', { has: content.locator(`td:text-is("${n}")`) })
    .filter({ has: content.locator('input[type=checkbox]') }).last();

  const box = slotRow(4).locator('input[type=checkbox]');
  ctx.equal('slot 4 not blinking', false, await box.isChecked());
  await box.click();
  await ctx.outcome('identify', 'Blinking LED for Enclosure 0 Slot 4');
  await contentAt('/page3_3.html');
  await content.locator('text=Slot Summary').waitFor();
  ctx.equal('slot 4 blinking', true, await slotRow(4).locator('input[type=checkbox]').isChecked());

  const audibility = content.locator('select[name=alarmstate]').nth(1);
  ctx.equal('alarm audible', '0', await audibility.inputValue());
  await audibility.selectOption('1');
  await ctx.outcome('mute', 'Changed the Enclosure 0, Audio Alarm 0 Audibility to Mute');
  await contentAt('/page3_3.html');
  await content.locator('text=Slot Summary').waitFor();
  ctx.equal('alarm muted', '1', await content.locator('select[name=alarmstate]').nth(1).inputValue());
  await ctx.shot('enclosure-details');
}
