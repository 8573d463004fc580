// In headless Chromium: log in as administrator through the frame set, see
// the menu list the simulated controllers, log out.
//
//   node browser.mjs <base-url> <user-data-dir> <screenshot-dir> <expected option>...
import { Checks, launchBrowser } from './browser_session.mjs';

const [base, profile, shots, ...expectedOptions] = process.argv.slice(2);
const checks = new Checks();
const expectEqual = checks.expectEqual.bind(checks);

const context = await launchBrowser(profile);
try {
  const page = context.pages()[0] ?? await context.newPage();
  page.setDefaultTimeout(45000);  // a loaded 2-core machine runs other daemons beside this one
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

  await content.locator('select[name=whopwd]').selectOption('a');
  await content.locator('input[name=thepwd]').fill('pyv2');
  await content.locator('input[type=submit]').click();
  await who.filter({ hasText: 'Administrator' }).waitFor();
  expectEqual('logged in as', 'Administrator logged in', (await who.innerText()).trim());
  expectEqual('controller selector', expectedOptions,
              await menu.locator('#selctlr option').allInnerTexts());
  const cookies = await context.cookies(base);
  expectEqual('login cookie attributes', [{ name: 'WOXUSER', secure: true, httpOnly: true, sameSite: 'Strict' }],
              cookies.map((c) => ({ name: c.name, secure: c.secure, httpOnly: c.httpOnly, sameSite: c.sameSite })));
  // The login answers a page that moves the content frame on to the summary;
  // a logout clicked before it gets there would race that move.
  await page.waitForFunction(() => {
    const c = window.frames['content'];
    return c && c.location.pathname === '/page0.html' && c.document.readyState === 'complete';
  });
  await page.screenshot({ path: `${shots}/2-logged-in.png` });

  await menu.locator('#logoutbutton').click();
  await who.filter({ hasText: 'No one' }).waitFor();
  expectEqual('logout asked first', ['Are you sure you want to logout?'], dialogs);
  expectEqual('cookie after logout', [], (await context.cookies(base)).filter((c) => c.value !== ''));
  await content.locator('input[name=thepwd]').waitFor();
  await page.screenshot({ path: `${shots}/3-logged-out.png` });
} catch (error) {
  checks.fail(`browser: ${error.message}`);
} finally {
  await context.close();
}
checks.finish();
