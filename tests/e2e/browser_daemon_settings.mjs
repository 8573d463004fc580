// In headless Chromium, on the Pyv2 Settings page reached through the menu:
// the page refresh set to one minute and the page reloading itself when the
// (fast-forwarded) minute has passed, without renewing the login; remote
// access disabled after its confirmation was first cancelled; the user's
// password changed; the help of the page in a window of its own; the page
// opened outside the frame set; last, the listening port changed and the
// browser following the daemon to it, where the user, with the new
// password, sees the page without the password controls.
//
//   node browser_daemon_settings.mjs <base-url> <user-data-dir> <screenshot-dir> <new-port>
import { Checks, frameSet, recordDialogs, withChromium } from './chromium.mjs';

const [firstBase, profile, shots, newPort] = process.argv.slice(2);
let base = firstBase;
const checks = new Checks();
const expectEqual = (what, expected, actual) => checks.equal(what, expected, actual);

await withChromium(profile, checks, async (page, context) => {
  // The page's timers run on a clock the test moves on.
  await page.clock.install();
  let accept = true;
  const dialogs = recordDialogs(page, () => accept);
  // Every settings request with whether its answer set a cookie.
  const answers = [];
  page.on('response', async (r) => {
    if (!r.url().includes('/page4.html')) return;
    answers.push({ search: new URL(r.url()).search, cookie: (await r.allHeaders())['set-cookie'] !== undefined });
  });

  const { menu, content } = frameSet(page);
  const banner = menu.locator('#lastmessage');
  // Waits until the content frame shows path with exactly this query.
  const contentAt = (path, search) => page.waitForFunction(([p, s]) => {
    const c = window.frames['content'];
    return c && c.location.pathname === p && c.location.search === s && c.document.readyState === 'complete';
  }, [path, search]);

  async function login(level, password, who) {
    await page.goto(`${base}/`);
    await content.locator('input[name=thepwd]').waitFor();
    await content.locator('select[name=whopwd]').selectOption(level);
    await content.locator('input[name=thepwd]').fill(password);
    await content.locator('input[type=submit]').click();
    await contentAt('/login.html', '');
    await page.clock.runFor(300);  // the redirect waits 250 ms
    await menu.locator('#whos_loggedin').filter({ hasText: who }).waitFor();
    await contentAt('/page0.html', '?c=0');
  }
  async function openSettings() {
    await menu.locator('#itemCell4').click();
    await contentAt('/page4.html', '?c=0');
  }
  // An action's outcome: the redirect page at the action's address, then,
  // 250 ms later on the page's clock, the settings page with the message in
  // the banner.
  async function outcome(what, action, expected) {
    await contentAt('/page4.html', action);
    await page.clock.runFor(300);
    await contentAt('/page4.html', '?c=0');
    await banner.filter({ hasText: expected }).waitFor().catch(() => {});
    expectEqual(what, expected, (await banner.textContent()).trim());
  }

  await login('a', 'pyv2', 'Administrator');
  await openSettings();
  await page.screenshot({ path: `${shots}/0-settings.png`, fullPage: true });
  expectEqual('title', 'Tavix Pyv2 - Pyv2 Settings', await page.title());
  expectEqual('no controller selector', 'hidden',
              await menu.locator('#selctlr').evaluate((e) => getComputedStyle(e).visibility));

  // Refresh every minute: once the minute has passed on the page's clock,
  // the page loads itself marked as a refresh, and the login is not renewed
  // by it (every other request renews it).
  await content.locator('select[name=refresh]').selectOption('1');
  await outcome('refresh', '?Refresh=1&c=0', 'Minutes between automatic page refresh set to 1');
  expectEqual('one minute', true,
              (await content.locator('body').innerText()).includes('This page will automatically refresh every 1 minute(s)'));
  const before = answers.length;
  await page.clock.runFor(61000);
  await contentAt('/page4.html', '?c=0&auto=1');
  const refreshed = answers.slice(before);
  expectEqual('the refresh', [{ search: '?c=0&auto=1', cookie: false }], refreshed);
  expectEqual('other requests renew the login', true, answers.slice(0, before).every((a) => a.cookie));

  // Disabling remote access asks first; cancelled, nothing is sent and the
  // radio is unchecked again.
  const remoteRow = content.locator('tr', { hasText: 'Allow Remote Access' });
  const sent = answers.length;
  accept = false;
  await remoteRow.locator('input[type=radio]').nth(1).click();
  expectEqual('asked first', 'If you are currently connected from a remote machine, your connection will be disabled immediately.  Do you wish to proceed?',
              dialogs.at(-1));
  expectEqual('radio unchecked', [true, false],
              await remoteRow.locator('input[type=radio]').evaluateAll((r) => r.map((x) => x.checked)));
  await page.clock.runFor(1000);
  expectEqual('nothing sent', sent, answers.length);
  accept = true;
  await remoteRow.locator('input[type=radio]').nth(1).click();
  await outcome('remote access', '?RemoteAccess=0&c=0', 'Remote Access disabled');
  expectEqual('disabled shown', [false, true],
              await content.locator('tr', { hasText: 'Allow Remote Access' }).locator('input[type=radio]')
                .evaluateAll((r) => r.map((x) => x.checked)));

  // The user's password: two different new passwords are refused in the
  // page, then changed.
  await content.locator('select[name=whopwd]').selectOption('u');
  await content.locator('input[name=curpwd]').fill('pyv2');
  await content.locator('input[name=newpwd]').fill('user2');
  await content.locator('input[name=cfmpwd]').fill('user3');
  await content.locator('input[value="Change Password"]').click();
  expectEqual('passwords differ', '(0x0C:0x0012): The two new passwords do not match : User Password unchanged',
              dialogs.at(-1));
  await content.locator('input[name=cfmpwd]').fill('user2');
  await content.locator('input[value="Change Password"]').click();
  await outcome('user password', '?c=0&u=-2&cp=1', 'User Password successfully changed');

  // The page's help, in a window of its own.
  const [help] = await Promise.all([context.waitForEvent('page'), menu.locator('#itemCell5').click()]);
  await help.waitForLoadState();
  expectEqual('help window', `${base}/help/Pyv2_Settings.html`, help.url());
  expectEqual('help page', 'Pyv2 Settings', (await help.locator('h1').textContent()).trim());
  await help.close();

  // Outside the frame set the page says so and opens the frame set.
  const alone = await context.newPage();
  const aloneDialogs = recordDialogs(alone);
  await alone.goto(`${base}/page4.html?c=0`);
  await alone.waitForURL(`${base}/index.html`);
  expectEqual('outside the frame set',
              ['(0x0C:0x0015): The page you have reached is part of a frameset.  Please click OK to return to the frameset'],
              aloneDialogs);
  await alone.locator('frame[name=menu]').waitFor({ state: 'attached' });
  await alone.close();

  // Last: the listening port. The daemon moves, and so does the browser.
  await content.locator('input[name=Port]').fill(newPort);
  await content.locator('input[value="Change Port"]').click();
  await content.locator('text=Please wait a moment while you are redirected to the new port').waitFor();
  await page.screenshot({ path: `${shots}/1-port-change.png` });
  const newBase = base.replace(/:\d+$/, `:${newPort}`);
  await page.clock.runFor(8100);
  await page.waitForURL(`${newBase}/`);
  await menu.locator('#whos_loggedin').filter({ hasText: 'Administrator' }).waitFor();
  expectEqual('followed to the new port', `${newBase}/`, page.url());
  await page.screenshot({ path: `${shots}/2-new-port.png` });

  // On the new port, the user with the new password: no password controls.
  await context.clearCookies();
  base = newBase;
  await login('u', 'user2', 'User');
  await openSettings();
  expectEqual('user: button disabled', true, await content.locator('input[value="Change Password"]').isDisabled());
  expectEqual('user: no mail password', '', await content.locator('input[name=ServerPasswd]').inputValue());
});
checks.finish();
