// In headless Chromium: a user opens the enclosure summary of the
// controller with an SES enclosure from the menu, follows the enclosure to
// its details page, switches a slot's identify LED on and mutes the alarm;
// each action comes back to the details page with its message in the menu.
//
//   node browser_enclosures.mjs <base-url> <user-data-dir> <screenshot-dir> <controller option>
import { Checks, frameSet, login, recordDialogs, withChromium } from './chromium.mjs';

const [base, profile, shots, controllerOption] = process.argv.slice(2);
const checks = new Checks();
await withChromium(profile, checks, async (page) => {
  const pageErrors = [];
  page.on('pageerror', (error) => pageErrors.push(error.message));
  recordDialogs(page);
  const { menu, content } = frameSet(page);
  const contentAt = (path) => page.waitForFunction((p) => {
    const c = window.frames['content'];
    return c && c.location.pathname === p && c.document.readyState === 'complete';
  }, path);

  await page.goto(`${base}/`);
  await login(page, 'u', 'pyv2', 'User');

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
  checks.equal('summary row', ['0', 'OK', 'SIMENC', 'SIM-SES-JBOD-12', '12', '8', '2', '2', '2'],
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
  checks.equal('slot 4 not blinking', false, await box.isChecked());
  await box.click();
  await menu.locator('#lastmessage').filter({ hasText: 'Blinking LED for Enclosure 0 Slot 4' }).waitFor();
  await contentAt('/page3_3.html');
  await content.locator('text=Slot Summary').waitFor();
  checks.equal('slot 4 blinking', true, await slotRow(4).locator('input[type=checkbox]').isChecked());

  // Alarm mute: the audibility drop-down of alarm 0.
  const audibility = content.locator('select[name=alarmstate]').nth(1);
  checks.equal('alarm audible', '0', await audibility.inputValue());
  await audibility.selectOption('1');
  await menu.locator('#lastmessage')
    .filter({ hasText: 'Changed the Enclosure 0, Audio Alarm 0 Audibility to Mute' }).waitFor();
  await contentAt('/page3_3.html');
  await content.locator('text=Slot Summary').waitFor();
  checks.equal('alarm muted', '1', await content.locator('select[name=alarmstate]').nth(1).inputValue());
  await page.screenshot({ path: `${shots}/3-enclosure-actions.png` });
  checks.equal('page errors', [], pageErrors);
});
checks.finish();
