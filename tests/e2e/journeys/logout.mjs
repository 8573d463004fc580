// Logout from the menu: asked first, then nobody is logged in, the cookie
// is gone, the content frame asks for the password and the drop-down menus
// no longer open.
export default async function logout(page, ctx) {
  const { menu, content } = ctx;
  const who = menu.locator('#whos_loggedin');
  await menu.locator('#logoutbutton').click();
  await who.filter({ hasText: 'No one' }).waitFor();
  ctx.equal('logout asked first', ['Are you sure you want to logout?'], ctx.dialogs());
  ctx.equal('cookie after logout', [], (await ctx.context.cookies(ctx.base)).filter((c) => c.value !== ''));
  await content.locator('input[name=thepwd]').waitFor();
  await menu.locator('#itemCell1').hover();
  await ctx.passTime(500);
  ctx.equal('menus stay closed', 'hidden', await menu.locator('#info').evaluate((e) => getComputedStyle(e).visibility));
  ctx.equal('logout button disabled', true, await menu.locator('#logoutbutton').isDisabled());
  await ctx.shot(`${ctx.level}-logged-out`);
}
