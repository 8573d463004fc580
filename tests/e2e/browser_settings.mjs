// In headless Chromium, as an administrator on the Controller Settings page
// of controller 3 (position 2, without a battery backup unit): the write
// cache toggled off, then on with its warning cancelled and accepted; a
// rebuild rate picked; names saved, one of them refused in the browser; a
// carve size out of range refused, one in range saved; then a firmware
// image uploaded, its check's pop-up shown and the update cancelled.
//
//   node browser_settings.mjs <base-url> <user-data-dir> <screenshot-dir> <image-file>
import { Checks, loginAsAdministrator, withChromium } from './chromium.mjs';

const [base, profile, shots, imageFile] = process.argv.slice(2);
const checks = new Checks();
const expectEqual = (what, expected, actual) => checks.equal(what, expected, actual);

await withChromium(profile, checks, async (page) => {
  // Dialogs: each one's text is kept; a confirm is accepted unless the
  // step says to refuse it.
  const dialogs = [];
  let refuseNext = false;
  page.on('dialog', (dialog) => {
    dialogs.push(dialog.message());
    if (dialog.type() === 'confirm' && refuseNext) {
      refuseNext = false;
      dialog.dismiss();
    } else {
      dialog.accept();
    }
  });
  const requests = [];
  page.on('request', (request) => requests.push(new URL(request.url()).pathname + new URL(request.url()).search));

  await page.goto(`${base}/`);
  const menu = page.frameLocator('frame[name=menu]');
  const content = page.frameLocator('frame[name=content]');
  const contentFrame = () => page.frame({ name: 'content' });

  await loginAsAdministrator(page, 'pyv2');

  // The settings page the content frame shows next: a new document at
  // /page2_0.html?c=2, loaded whole.
  async function markContent() {
    await contentFrame().evaluate(() => { document.settingsMark = 1; });
  }
  async function settingsShown() {
    await page.waitForFunction(() => {
      const c = window.frames['content'];
      return c && c.location.pathname === '/page2_0.html' && c.location.search.startsWith('?c=2') &&
             c.document.readyState === 'complete' && !c.document.settingsMark;
    });
  }
  async function banner() {
    return (await menu.locator('#lastmessage').innerText()).trim();
  }
  const sent = (key) => requests.filter((r) => r.includes(key));

  // Controller Settings from the menu, then controller 3 from the selector.
  await menu.locator('#itemCell2').hover();
  await markContent();
  await menu.locator('#itemCell2_0').click();
  await page.waitForFunction(() => {
    const c = window.frames['content'];
    return c && c.location.pathname === '/page2_0.html' && c.document.readyState === 'complete' &&
           !c.document.settingsMark;
  });
  await markContent();
  await menu.locator('#selctlr').selectOption('2');
  await settingsShown();
  await page.screenshot({ path: `${shots}/1-settings.png` });

  // The write cache of unit 1: off at once, on only after the warning.
  const writeCache = content.locator('input[name=writecache][onclick^="set_cache(1,"]');
  expectEqual('unit 1 write cache at first', true, await writeCache.isChecked());
  await markContent();
  await writeCache.click();
  await settingsShown();
  expectEqual('disabling asks nothing', [], dialogs);
  expectEqual('disabled', 'Disabled Write Cache on Unit 1', await banner());
  expectEqual('unit 1 write cache off', false, await writeCache.isChecked());

  refuseNext = true;
  await writeCache.click();
  expectEqual('enabling warns of the missing battery', [
    'You do not have a battery backup unit installed, enabling write cache may cause loss of data in the event of power failure.  Do you wish to continue?',
  ], dialogs.splice(0));
  expectEqual('a refused warning leaves the box unchecked', false, await writeCache.isChecked());
  expectEqual('a refused warning sends nothing', 1, sent('SetWriteCacheUnit=').length);

  await markContent();
  await writeCache.click();
  await settingsShown();
  expectEqual('the accepted warning', 1, dialogs.splice(0).length);
  expectEqual('enabled', 'Enabled Write Cache on Unit 1', await banner());
  expectEqual('unit 1 write cache on', true, await writeCache.isChecked());

  // A rebuild rate.
  await markContent();
  await content.locator('input[name=rebuildrate][onclick^="change_rebuild_rate(5,"]').click();
  await settingsShown();
  expectEqual('rate changed', 'Changed Background Rebuild Rate to 5', await banner());
  expectEqual('rate 5 shown', true,
              await content.locator('input[name=rebuildrate][onclick^="change_rebuild_rate(5,"]').isChecked());

  // Names: one with a blank is refused in the browser; names with
  // characters a URL gives a meaning to are saved as typed.
  await content.locator('input[name=unitname1]').fill('bad name');
  await content.locator('input[value="Save Names"]').click();
  expectEqual('an invalid name', ['The following unit(s) have names with invalid characters: 1'], dialogs.splice(0));
  expectEqual('an invalid name sends nothing', 0, sent('UnitNames=').length);
  await content.locator('input[name=unitname0]').fill('vol#1+a=b');
  await content.locator('input[name=unitname1]').fill('mirror?');
  await markContent();
  await content.locator('input[value="Save Names"]').click();
  await settingsShown();
  expectEqual('names saved', 'Saved unit name(s)', await banner());
  expectEqual('names shown', ['vol#1+a=b', 'mirror?', ''], [
    await content.locator('input[name=unitname0]').inputValue(),
    await content.locator('input[name=unitname1]').inputValue(),
    await content.locator('input[name=unitname2]').inputValue(),
  ]);

  // Carve sizes: out of range refused in the browser, in range saved.
  await content.locator('input[name=carvesize]').fill('1023');
  await content.locator('input[value=Submit]').click();
  expectEqual('carve size out of range',
              ['Invalid carve size entered!  The value is out of carve size range  1024 .. 32768'], dialogs.splice(0));
  expectEqual('an invalid carve size sends nothing', 0, sent('CarveSize=').length);
  await content.locator('input[name=carvesize]').fill('2048');
  await markContent();
  await content.locator('input[value=Submit]').click();
  await settingsShown();
  expectEqual('carve size saved', 'Saved the carve size.', await banner());
  expectEqual('carve size shown', '2048 ', await content.locator('input[name=carvesize]').inputValue());
  await page.screenshot({ path: `${shots}/2-changed.png` });

  // The firmware: upload, the check's pop-up, cancel.
  await content.locator('input[name=fwimagefile]').setInputFiles(imageFile);
  await markContent();
  await content.locator('input[value="Begin Update"]').click();
  expectEqual('the update warning', 1, dialogs.filter((d) => d.startsWith('Warning: Updating the firmware')).length);
  dialogs.splice(0);
  await page.waitForFunction(() => {
    const c = window.frames['content'];
    return c && c.location.pathname === '/fwcheck.html' && c.document.readyState === 'complete';
  });
  const popup = content.locator('#fwcheckpopup');
  expectEqual('the pop-up is shown', 'visible', await popup.evaluate((e) => getComputedStyle(e).visibility));
  expectEqual('the verdict', true,
              (await popup.innerText()).includes('Both API and Driver are compatible with the new firmware.'));
  expectEqual('the new version', true, (await popup.innerText()).includes('FH9X 4.12.00.001'));
  expectEqual('the verdict page does not reload itself', 0, await contentFrame().evaluate(() => TimeOut));
  await page.screenshot({ path: `${shots}/3-popup.png` });
  await markContent();
  await popup.locator('input[value=Cancel]').click();
  await settingsShown();
  expectEqual('cancelled', 'Firmware upgrade operation is canceled.', await banner());
  expectEqual('cancel requested', 1, sent('/fwupdate_canceled.html?c=2').length);
  expectEqual('no update requested', 0, sent('/fwupdate.html').length);
  expectEqual('the pop-up is hidden', 'hidden',
              await content.locator('#fwcheckpopup').evaluate((e) => getComputedStyle(e).visibility));
  expectEqual('no other dialog', [], dialogs);
});
checks.finish();
