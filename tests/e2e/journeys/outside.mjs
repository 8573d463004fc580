// A content page opened outside the frame set says so and opens the frame
// set in its place.
export default async function outside(page, ctx) {
  const alone = await ctx.context.newPage();
  await alone.goto(`${ctx.base}/page0.html`);
  await alone.waitForURL(`${ctx.base}/index.html`);
  ctx.equal('outside the frame set',
            '(0x0C:0x0015): The page you have reached is part of a frameset.  Please click OK to return to the frameset',
            await ctx.nextDialog());
  await alone.locator('frame[name=menu]').waitFor({ state: 'attached' });
  await alone.frameLocator('frame[name=menu]').locator('#whos_loggedin').filter({ hasText: ctx.who() }).waitFor();
  ctx.checks.passed++;
  await alone.close();
}
