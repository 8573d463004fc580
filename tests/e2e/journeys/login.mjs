// Login through the frame set's form at the journey's level: the menu says
// who is logged in in the level's colour, the banner greets them, the
// content frame moves on to the summary of every controller and the
// selector, listing them, is hidden there. The login cookie is kept from
// scripts and other sites.
export default async function login(page, ctx) {
  const { menu, content } = ctx;
  // Away from the frame set first: an answer still on its way to it would
  // bring back the cookie of an earlier login.
  await page.goto('about:blank');
  await ctx.context.clearCookies();
  await page.goto(`${ctx.base}/`);
  const who = menu.locator('#whos_loggedin');
  await who.filter({ hasText: 'No one' }).waitFor();
  await content.locator('input[name=thepwd]').waitFor();
  await ctx.shot(`${ctx.level}-login`);

  await content.locator('select[name=whopwd]').selectOption(ctx.level);
  await content.locator('input[name=thepwd]').fill(ctx.passwords[ctx.level]);
  await content.locator('input[type=submit]').click();
  await who.filter({ hasText: ctx.who() }).waitFor();
  await ctx.shown('/page0.html', '?c=0');
  ctx.equal('logged in as', `${ctx.who()} logged in`, (await who.innerText()).trim());
  ctx.equal('colour of the level', ctx.level === 'a' ? '#FF0000' : '#0000FF',
            await who.locator('font[color]').getAttribute('color'));
  ctx.equal('greeting', `${ctx.who()} now logged in`, (await ctx.banner.innerText()).trim());
  ctx.equal('summary hides the selector', 'hidden', await ctx.selectorShown());
  ctx.equal('selector options', ctx.facts.options, await menu.locator('#selctlr option').allInnerTexts());
  ctx.equal('controllers on the summary', ctx.facts.options.map((_, i) => String(i + 1)),
            await content.locator('a[href^="javascript:goto_controller"]').allInnerTexts());
  const cookies = await ctx.context.cookies(ctx.base);
  ctx.equal('login cookie attributes', [{ name: 'WOXUSER', secure: true, httpOnly: true, sameSite: 'Strict' }],
            cookies.map((c) => ({ name: c.name, secure: c.secure, httpOnly: c.httpOnly, sameSite: c.sameSite })));
}
