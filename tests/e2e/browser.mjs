// In headless Chromium: log in as administrator through the frame set, see
// the menu list the simulated controllers, log out.
//
//   node browser.mjs <base-url> <user-data-dir> <screenshot-dir> <expected option>...
import { Checks, loginAsAdministrator, withChromium } from './chromium.mjs';

const [base, profile, shots, ...expectedOptions] = process.argv.slice(2);
const checks = new Checks();
const expectEqual = (what, expected, actual) => checks.equal(what, expected, actual);

await withChromium(profile, checks, async (page, context) => {
  const dialogs = [];
  page.on('dialog', (dialog) => { dialogs.push(dialog.message()); dialog.accept(); });

  await page.goto(`${base}/`);
  const menu = page.frameLocator('frame[name=menu]');
  const content = page.frameLocator('frame[name=content]');
  const who = menu.locator('#whos_loggedin');

  // Nobody is logged in: the content frame asks for the password.
  await who.filter({ hasText: 'No one' }).waitFor();
  await content.locator('input[name=thepwd]').waitFor();
  await page.screenshot({ path: `${shots}/1-login.png` });

  await loginAsAdministrator(page, 'pyv2');
  expectEqual('logged in as', 'Administrator logged in', (await who.innerText()).trim());
  expectEqual('controller selector', expectedOptions,
              await menu.locator('#selctlr option').allInnerTexts());
  const cookies = await context.cookies(base);
  expectEqual('login cookie attributes', [{ name: 'WOXUSER', secure: true, httpOnly: true, sameSite: 'Strict' }],
              cookies.map((c) => ({ name: c.name, secure: c.secure, httpOnly: c.httpOnly, sameSite: c.sameSite })));
  await page.screenshot({ path: `${shots}/2-logged-in.png` });

  await menu.locator('#logoutbutton').click();
  await who.filter({ hasText: 'No one' }).waitFor();
  expectEqual('logout asked first', ['Are you sure you want to logout?'], dialogs);
  expectEqual('cookie after logout', [], (await context.cookies(base)).filter((c) => c.value !== ''));
  await content.locator('input[name=thepwd]').waitFor();
  await page.screenshot({ path: `${shots}/3-logged-out.png` });
});
checks.finish();
