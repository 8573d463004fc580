// The listening port changed from the Pyv2 Settings page: the daemon
// moves, the page says so and, 8 s later on its clock, the browser follows
// to the new port, still logged in.
export default async function portChange(page, ctx) {
  const { menu, content } = ctx;
  const port = ctx.values.port;
  // The content frame may show this page already (the settings journey
  // ends there): wait for the document the click loads, not the old one.
  await ctx.go('itemCell4', undefined, '/page4.html');
  await content.locator('input[name=Port]').fill(port);
  await content.locator('input[value="Change Port"]').click();
  await content.locator('text=Please wait a moment while you are redirected to the new port').waitFor();
  await ctx.shot('port-change');
  const newBase = ctx.base.replace(/:\d+$/, `:${port}`);
  await ctx.passTime(8100);
  await page.waitForURL(`${newBase}/`);
  await menu.locator('#whos_loggedin').filter({ hasText: ctx.who() }).waitFor();
  // The summary too: its answer renews the login cookie, which a journey
  // after this one must not see arrive once it has cleared the cookies.
  await ctx.shown('/page0.html', '?c=0');
  ctx.equal('followed to the new port', `${newBase}/`, page.url());
  ctx.base = newBase;
}
