// In headless Chromium: a user opens the enclosure summary of the
// controller with an SES enclosure from the menu, follows the enclosure to
// its details page, switches a slot's identify LED on and mutes the alarm;
// each action comes back to the details page with its message in the menu.
//
//   node browser_enclosures.mjs <base-url> <user-data-dir> <screenshot-dir> <controller option>
import { Checks, launchBrowser } from './browser_session.mjs';

const [base, profile, shots, controllerOption] = process.argv.slice(2);
const checks = new Checks();
const expectEqual = checks.expectEqual.bind(checks);

const context = await launchBrowser(profile);
try {
  const page = context.pages()[0] ?? await context.newPage();
  page.setDefaultTimeout(45000);  // a loaded 2-core machine runs other daemons beside this one
  const pageErrors = [];
  page.on('pageerror', (error) => pageErrors.push(error.message));
  page.on('dialog', (dialog) => dialog.accept());

  await page.goto(`${base}/`);
  const menu = page.frameLocator('frame[name=menu]');
  const content = page.frameLocator('frame[name=content]');
  const contentAt = (path) => page.waitForFunction((p) => {
    const c = window.frames['content'];
    return c && c.location.pathname === p && c.document.readyState === 'complete';
  }, path);

  await content.locator('input[name=thepwd]').waitFor();
  await content.locator('select[name=whopwd]').selectOption('u');
  await content.locator('input[name=thepwd]').fill('pyv2');
  await content.locator('input[type=submit]').click();
  await menu.locator('#whos_loggedin').filter({ hasText: 'User' }).waitFor();
  await contentAt('/page0.html');

  // Monitor > Enclosure Support: the first controller has no enclosure
  // services; the one with the SES enclosure is chosen in the menu.
  await menu.locator('#itemCell3').hover();
  await menu.locator('#itemCell3_2').click();
  await contentAt('/page3_2.html');
  await content.locator('text=NO ENCLOSURES').waitFor();
  await menu.locator('#selctlr').selectOption({ label: controllerOption });
  await content.locator('text=SIMENC').waitFor();
  const summary = content.locator('table').first();
  await summary.locator('text=Enclosure Summary').waitFor();
  const row = summary.locator('tr').nth(2);
  expectEqual('summary row', ['0', 'OK', 'SIMENC', 'SIM-SES-JBOD-12', '12', '8', '2', '2', '2'],
              (await row.locator('td').allInnerTexts()).map((t) => t.trim()));
  await page.screenshot({ path: `${shots}/1-enclosure-summary.png` });

  // The enclosure's number leads to its details.
  await row.locator('a').click();
  await contentAt('/page3_3.html');
  const slotRow = (n) => content.locator('tr', { has: content.locator(`td:text-is("${n}")`) })
    .filter({ has: content.locator('input[type=checkbox]') }).last();
  await content.locator('text=Slot Summary').waitFor();
  await page.screenshot({ path: `${shots}/2-enclosure-details.png` });

  // Identify: the check box of slot 4.
  const box = slotRow(4).locator('input[type=checkbox]');
  expectEqual('slot 4 not blinking', false, await box.isChecked());
  await box.click();
  await menu.locator('#lastmessage').filter({ hasText: 'Blinking LED for Enclosure 0 Slot 4' }).waitFor();
  await contentAt('/page3_3.html');
  await content.locator('text=Slot Summary').waitFor();
  expectEqual('slot 4 blinking', true, await slotRow(4).locator('input[type=checkbox]').isChecked());

  // Alarm mute: the audibility drop-down of alarm 0.
  const audibility = content.locator('select[name=alarmstate]').nth(1);
  expectEqual('alarm audible', '0', await audibility.inputValue());
  await audibility.selectOption('1');
  await menu.locator('#lastmessage')
    .filter({ hasText: 'Changed the Enclosure 0, Audio Alarm 0 Audibility to Mute' }).waitFor();
  await contentAt('/page3_3.html');
  await content.locator('text=Slot Summary').waitFor();
  expectEqual('alarm muted', '1', await content.locator('select[name=alarmstate]').nth(1).inputValue());
  await page.screenshot({ path: `${shots}/3-enclosure-actions.png` });
  expectEqual('page errors', [], pageErrors);
} catch (error) {
  checks.fail(`browser: ${error.message}`);
} finally {
  await context.close();
}
checks.finish();
