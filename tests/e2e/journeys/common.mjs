// Steps that more than one journey takes.

// On a unit's tree (page1_1.html with the unit) of a migrating unit: its
// new layout in the pop-up, hidden at first and again after Close.
export async function migrationPopUp(ctx, layout) {
  const popUp = ctx.content.locator('#migunitdisplay');
  ctx.equal('migration pop-up hidden at first', false, await popUp.isVisible());
  await ctx.content.locator('a[href^="javascript:show_migrate_unit("]').click();
  await popUp.waitFor({ state: 'visible' });
  ctx.equal('migration pop-up shows the new layout', true, (await popUp.innerText()).includes(layout));
  await ctx.shot('migration-pop-up');
  await popUp.locator('input[name=closebutton]').click();
  await popUp.waitFor({ state: 'hidden' });
  ctx.checks.passed++;
}

// The Maintenance page of controller c, through the menu and the selector.
export async function openMaintenance(ctx, c) {
  await ctx.go('itemCell2', 'itemCell2_2', '/page2_2.html');
  await ctx.pick(c);
  await ctx.content.locator('form[name=createmaint]').waitFor();
}

// The Controller Settings page of controller c, likewise.
export async function openSettings(ctx, c) {
  await ctx.go('itemCell2', 'itemCell2_0', '/page2_0.html');
  await ctx.pick(c);
}
