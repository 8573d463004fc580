// The Pyv2 Settings page as the administrator: the page refresh set to one
// minute, the page reloading itself when the minute has passed on its
// clock without renewing the login (every other request renews it), then
// set to never; remote access disabled after its confirmation was first
// cancelled; the user's password changed after two different new passwords
// were refused in the page; the page's help in a window of its own.
export default async function daemonSettings(page, ctx) {
  const { menu, content } = ctx;
  const answers = [];
  const onResponse = async (r) => {
    if (!r.url().includes('/page4.html')) return;
    answers.push({ search: new URL(r.url()).search, cookie: (await r.allHeaders())['set-cookie'] !== undefined });
  };
  page.on('response', onResponse);
  const c = await page.evaluate(() => window.cur_controller);
  const home = `?c=${c}`;
  // An action's outcome: the redirect page at the action's address, then,
  // 250 ms later, the settings page with the message in the banner.
  const outcome = async (what, action, expected) => {
    await ctx.shown('/page4.html', action);
    await ctx.passTime(300);
    await ctx.shown('/page4.html', home);
    await ctx.outcome(what, expected);
  };

  await ctx.go('itemCell4', undefined, '/page4.html');
  await ctx.shown('/page4.html', home);
  await ctx.shot('daemon-settings');
  ctx.equal('title', 'Tavix Pyv2 - Pyv2 Settings', await page.title());
  ctx.equal('no controller selector', 'hidden',
            await menu.locator('#selctlr').evaluate((e) => getComputedStyle(e).visibility));

  await content.locator('select[name=refresh]').selectOption('1');
  await outcome('refresh', `?Refresh=1${home.replace('?', '&')}`, 'Minutes between automatic page refresh set to 1');
  ctx.equal('one minute', true,
            (await content.locator('body').innerText()).includes('This page will automatically refresh every 1 minute(s)'));
  const before = answers.length;
  await ctx.passTime(61000);
  await ctx.shown('/page4.html', `${home}&auto=1`);
  // The answer's headers come after its page.
  for (let i = 0; i < 100 && answers.length === before; i++) await new Promise((r) => setTimeout(r, 50));
  ctx.equal('the refresh', [{ search: `${home}&auto=1`, cookie: false }], answers.slice(before));
  ctx.equal('other requests renew the login', true, answers.slice(0, before).every((a) => a.cookie));
  await content.locator('select[name=refresh]').selectOption('0');
  await outcome('no refresh', `?Refresh=0${home.replace('?', '&')}`, 'Disabled automatic page refresh');
  ctx.equal('no refresh line', false, (await content.locator('body').innerText()).includes('automatically refresh'));

  const remoteRow = content.locator('tr', { hasText: 'Allow Remote Access' });
  const sent = answers.length;
  ctx.refuseNext();
  await remoteRow.locator('input[type=radio]').nth(1).click();
  ctx.equal('asked first', 'If you are currently connected from a remote machine, your connection will be disabled immediately.  Do you wish to proceed?',
            await ctx.nextDialog());
  ctx.equal('radio unchecked', [true, false],
            await remoteRow.locator('input[type=radio]').evaluateAll((r) => r.map((x) => x.checked)));
  await ctx.passTime(1000);
  ctx.equal('nothing sent', sent, answers.length);
  await remoteRow.locator('input[type=radio]').nth(1).click();
  ctx.equal('asked again', true, (await ctx.nextDialog()).startsWith('If you are currently connected'));
  await outcome('remote access', `?RemoteAccess=0${home.replace('?', '&')}`, 'Remote Access disabled');
  ctx.equal('disabled shown', [false, true],
            await content.locator('tr', { hasText: 'Allow Remote Access' }).locator('input[type=radio]')
              .evaluateAll((r) => r.map((x) => x.checked)));

  await content.locator('select[name=whopwd]').selectOption('u');
  await content.locator('input[name=curpwd]').fill(ctx.passwords.u);
  await content.locator('input[name=newpwd]').fill('user2');
  await content.locator('input[name=cfmpwd]').fill('user3');
  await content.locator('input[value="Change Password"]').click();
  ctx.equal('passwords differ', '(0x0C:0x0012): The two new passwords do not match : User Password unchanged',
            await ctx.nextDialog());
  await content.locator('input[name=cfmpwd]').fill('user2');
  await content.locator('input[value="Change Password"]').click();
  await outcome('user password', `${home}&u=-2&cp=1`, 'User Password successfully changed');
  ctx.passwords.u = 'user2';

  const [help] = await Promise.all([ctx.context.waitForEvent('page'), menu.locator('#itemCell5').click()]);
  await help.waitForLoadState();
  ctx.equal('help window', `${ctx.base}/help/Pyv2_Settings.html`, help.url());
  ctx.equal('help window name', '_online_help', await help.evaluate(() => window.name));
  ctx.equal('help page', 'Pyv2 Settings', (await help.locator('h1').textContent()).trim());
  await help.close();
  page.off('response', onResponse);
}
