// What a user may not do: an action of the Maintenance page is refused
// and changes nothing; the Pyv2 Settings page offers no password controls
// and shows no mail password.
import { openMaintenance } from './common.mjs';

export default async function readOnly(page, ctx) {
  const { content } = ctx;
  const c = ctx.facts.create.c;
  await openMaintenance(ctx, c);
  const stopLink = content.locator('a[href="javascript: stop_verify(0);"]');
  const verifying = await stopLink.count();
  await content.locator('form[name=unitmaint] input[name=unit][value="0"]').check();
  await content.locator('input[value="Verify Unit"]').click();
  await ctx.outcome('refused', '(0x0C:0x0011): Not logged in as Administrator : Cannot start Verify');
  await ctx.at('/page2_2.html', 'AvailListSort=', `c=${c}`);
  await content.locator('form[name=createmaint]').waitFor();
  ctx.equal('nothing changed', verifying, await stopLink.count());

  await ctx.go('itemCell4', undefined, '/page4.html');
  ctx.equal('password change disabled', true, await content.locator('input[value="Change Password"]').isDisabled());
  ctx.equal('no mail password', '', await content.locator('input[name=ServerPasswd]').inputValue());
  await ctx.shot('user-settings');
}
