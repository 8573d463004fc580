// A unit created through the Maintenance page's pop-up: refused in the page
// without drives (and, where the machine has them, for a SAS and a SATA
// drive together); then three free drives
// checked, the pop-up lists them and offers the layouts and stripes three
// drives allow, a name with a blank is refused there, a good one (with
// "+" and "#", which the pop-up sends encoded) creates a RAID 5 that the
// unit table then shows. Without a battery backup unit the page asks
// first.
import { openMaintenance } from './common.mjs';

export default async function create(page, ctx) {
  const { content } = ctx;
  const f = ctx.facts.create;
  const createButton = content.locator('input[type=button][value="Create Unit"]');
  // A free SAS and a free SATA drive may not make a unit together.
  if (f.mix) {
    await openMaintenance(ctx, f.mix.c);
    for (const port of f.mix.ports) await content.locator(`form[name=createmaint] input[name=drive][value="${port}"]`).check();
    await createButton.click();
    ctx.equal('SAS and SATA mixed', 'Mixing SATA and SAS drives is not allowed in the same unit.', await ctx.nextDialog());
    ctx.equal('no pop-up for a mix', false, await content.locator('#createpopup').isVisible());
  }
  await openMaintenance(ctx, f.c);
  await createButton.click();
  ctx.equal('no drive checked', 'Please check at least one available drive for the operation', await ctx.nextDialog());
  ctx.equal('no pop-up without drives', false, await content.locator('#createpopup').isVisible());

  const rows = (await content.locator('span[id^=AvailDriveListID]').allInnerTexts()).map((r) => r.trim());
  const boxes = content.locator('form[name=createmaint] input[name=drive]');
  for (const port of f.ports) await boxes.nth(rows.indexOf(port)).check();
  await createButton.click();
  await content.locator('#createpopup').waitFor({ state: 'visible' });
  await ctx.shot('create-pop-up');
  ctx.equal('drives listed', f.ports.map((p) => `Port ${p}`),
            (await content.locator('span[id^=CreateDrivePort]').allInnerTexts()).slice(0, f.ports.length));
  const raidtype = content.locator('select[name=raidtype]');
  ctx.equal('types offered', ['RAID 0', 'RAID 5'], await raidtype.locator('option').allInnerTexts());
  ctx.equal('type selected', 'RAID 5', await raidtype.inputValue());
  const stripe = content.locator('select[name=stripesize]');
  ctx.equal('stripes offered', ['16k', '64k', '256k'], await stripe.locator('option').allInnerTexts());
  ctx.equal('stripe selected', '9', await stripe.inputValue());
  ctx.equal('stripe shown', true, await stripe.isVisible());

  const name = content.locator('input[name=unitname]');
  const ok = content.locator('form[name=createform] input[type=button][value=OK]');
  await name.fill('bad name');
  await ok.click();
  ctx.equal('invalid name refused', 'There are invalid characters in the unit name entered.', await ctx.nextDialog());
  ctx.equal('pop-up still open', true, await content.locator('#createpopup').isVisible());
  await name.fill('web+unit#1');
  await ok.click();
  await ctx.outcome('created', `Successfully created unit(s): ${f.unit} as RAID 5`);
  ctx.equal('questions on the way', f.questions, ctx.dialogs());
  await ctx.at('/page2_2.html', 'AvailListSort=1', `c=${f.c}`);
  await content.locator(`#utype${f.unit}`).waitFor();
  ctx.equal('new unit listed', ['RAID 5', '3 drives'],
            [await content.locator(`#utype${f.unit}`).innerText(), await content.locator(`#unumdrives${f.unit}`).innerText()]);
  ctx.equal('drives no longer free', [],
            (await content.locator('span[id^=AvailDriveListID]').allInnerTexts()).filter((p) => f.ports.includes(p.trim())));
  await ctx.shot('create-created');
}
