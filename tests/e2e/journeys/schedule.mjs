// On the scheduling machine (tests/e2e/schedule_machine.scenario): the
// Scheduling page from the menu, none on the first controller, the
// second's rebuild slots; the three tabs; a rebuild slot added and two
// deleted (the page's alerts guard a delete of none and of the last); the
// battery test started after a first refusal of its confirmation.
export default async function schedule(page, ctx) {
  const { content } = ctx;
  const banner = (text) => ctx.banner.getByText(text).waitFor();
  // The rows of the slots in use: number, day, time, duration.
  const usedSlots = async () => {
    const rows = content.locator('tr', { has: page.locator('input[name=sched]') });
    const out = [];
    for (const row of await rows.all()) out.push((await row.locator('td').allInnerTexts()).map((t) => t.trim()));
    return out;
  };

  await ctx.go('itemCell2', 'itemCell2_1', '/page2_1.html');
  await content.getByText('Scheduling is not supported on this controller model').waitFor();
  ctx.equal('title', 'Scheduling', await ctx.title());
  await ctx.pick(1);
  await content.getByText('Schedule Rebuild/Migrate Tasks (Controller ID 2)').waitFor();
  ctx.equal('rebuild slots', [['1.', 'Monday', '1:00am', '2'], ['2.', 'Wednesday', '2:00am', '3']], await usedSlots());

  await content.locator('select[name=seltask]').selectOption('1');
  await ctx.shown('/page2_1.html', '?WhichSched=1&c=1');
  await content.getByText('Schedule Verify Tasks (Controller ID 2)').waitFor();
  await content.locator('select[name=seltask]').selectOption('2');
  await ctx.shown('/page2_1.html', '?WhichSched=2&c=1');
  await content.getByText('Schedule Self-test Tasks (Controller ID 2)').waitFor();
  ctx.equal('self-test tasks of family 6', ['Check S.M.A.R.T. Thresholds'],
            await content.locator('input[type=checkbox]').evaluateAll((boxes) => boxes.map((b) => b.nextSibling.textContent)));
  await ctx.shot('schedule-self-test');
  await content.locator('select[name=seltask]').selectOption('0');
  await ctx.shown('/page2_1.html', '?WhichSched=0&c=1');

  // A slot added: Friday 1:00pm for four hours.
  await content.locator('select[name=day]').selectOption('5');
  await content.locator('select[name=hour]').selectOption('13');
  await content.locator('select[name=duration]').selectOption('4');
  await content.locator('input[value="Add New Slot"]').click();
  await banner('Successfully added Rebuild Schedule slot');
  await ctx.shown('/page2_1.html', '?WhichSched=0&c=1');
  ctx.equal('slot added', [['1.', 'Monday', '1:00am', '2'], ['2.', 'Wednesday', '2:00am', '3'],
                           ['3.', 'Friday', '1:00pm', '4']], await usedSlots());

  // Deleting: none checked, then the first and the new one; the last stays.
  await content.locator('input[value="Remove Checked"]').click();
  ctx.equal('none checked', 'Please check at least one schedule slot to delete', await ctx.nextDialog());
  await content.locator('input[name=sched][value="0"]').check();
  await content.locator('input[name=sched][value="2"]').check();
  await content.locator('input[value="Remove Checked"]').click();
  await banner('Successfully deleted Rebuild Schedule slot(s)');
  await ctx.shown('/page2_1.html', '?WhichSched=0&c=1');
  ctx.equal('slots deleted', [['2.', 'Wednesday', '2:00am', '3']], await usedSlots());
  await content.locator('input[name=sched][value="1"]').check();
  await content.locator('input[value="Remove Checked"]').click();
  ctx.equal('last slot kept', 'Warning:  Cannot delete last scheduled task. At least one task must remain.',
            await ctx.nextDialog());
  ctx.equal('still on the page', '?WhichSched=0&c=1', await ctx.contentFrame().evaluate(() => location.search));

  // The battery test: asked first; refused once, then started.
  await ctx.go('itemCell3', 'itemCell3_1', '/page3_1.html');
  await content.getByText('Battery Backup Information (Controller ID 2)').waitFor();
  ctx.refuseNext();
  await content.locator('a[href="javascript:test_bbu();"]').click();
  ctx.equal('asked first', true, ((await ctx.nextDialog()) ?? '').startsWith('Testing the battery capacity will disable'));
  ctx.equal('refused: nothing sent', '?c=1', await ctx.contentFrame().evaluate(() => location.search));
  await content.locator('a[href="javascript:test_bbu();"]').click();
  ctx.equal('asked again', true, ((await ctx.nextDialog()) ?? '').startsWith('Testing the battery capacity will disable'));
  await banner('Successfully started battery capacity test');
  await ctx.shown('/page3_1.html', '?c=1');
  await content.getByText('TESTING').waitFor();
  await ctx.shot('battery');
}
