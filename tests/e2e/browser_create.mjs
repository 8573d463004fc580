// In headless Chromium: on the Maintenance page of the family-6 controller
// of the default simulated machine (with a drive inserted in its port 4),
// create a RAID 5 unit from three free drives through the create pop-up
// ("create"), or migrate unit 0 with one more drive through the migrate
// pop-up ("migrate").
//
//   node browser_create.mjs <base-url> <user-data-dir> <screenshot-dir> create|migrate
import { Checks, frameSet, loginAsAdministrator, recordDialogs, withChromium } from './chromium.mjs';

const [base, profile, shots, journey] = process.argv.slice(2);
const checks = new Checks();
await withChromium(profile, checks, async (page) => {
  const dialogs = recordDialogs(page);
  const { menu, content } = frameSet(page);
  // Waits until the content frame has loaded a page whose address holds all parts.
  const contentAt = (...parts) => page.waitForFunction((parts) => {
    const c = window.frames['content'];
    return c && parts.every((p) => c.location.href.includes(p)) && c.document.readyState === 'complete';
  }, parts);

  await page.goto(`${base}/`);
  await loginAsAdministrator(page, 'pyv2');

  // Management > Maintenance, then the family-6 controller.
  await menu.locator('#itemCell2').hover();
  await menu.locator('#itemCell2_2').click();
  await contentAt('/page2_2.html', 'c=0');
  await menu.locator('#selctlr').selectOption('1');
  await contentAt('/page2_2.html', 'c=1');
  const banner = menu.locator('#lastmessage');

  if (journey === 'create') {
    // Check the rows of the free drives on ports 4, 6 and 7.
    const rows = await content.locator('span[id^=AvailDriveListID]').allInnerTexts();
    const boxes = content.locator('form[name=createmaint] input[name=drive]');
    for (const port of ['4', '6', '7']) await boxes.nth(rows.map((r) => r.trim()).indexOf(port)).check();
    await content.locator('input[type=button][value="Create Unit"]').click();
    await content.locator('#createpopup').waitFor({ state: 'visible' });
    await page.screenshot({ path: `${shots}/create-1-popup.png` });
    checks.equal('drives listed', ['Port 4', 'Port 6', 'Port 7'],
                 (await content.locator('span[id^=CreateDrivePort]').allInnerTexts()).slice(0, 3));
    const raidtype = content.locator('select[name=raidtype]');
    checks.equal('types offered', ['RAID 0', 'RAID 5'], await raidtype.locator('option').allInnerTexts());
    checks.equal('type selected', 'RAID 5', await raidtype.inputValue());
    const stripe = content.locator('select[name=stripesize]');
    checks.equal('stripes offered', ['16k', '64k', '256k'], await stripe.locator('option').allInnerTexts());
    checks.equal('stripe selected', '9', await stripe.inputValue());
    checks.equal('stripe shown', true, await stripe.isVisible());

    const name = content.locator('input[name=unitname]');
    const ok = content.locator('form[name=createform] input[type=button][value=OK]');
    await name.fill('bad name');
    await ok.click();
    checks.equal('invalid name refused', ['There are invalid characters in the unit name entered.'], dialogs);
    checks.equal('pop-up still open', true, await content.locator('#createpopup').isVisible());
    await name.fill('web_unit');
    await ok.click();
    await banner.filter({ hasText: 'Successfully created unit(s): 3 as RAID 5' }).waitFor();
    await contentAt('/page2_2.html', 'AvailListSort=1', 'c=1');
    await content.locator('#utype3').waitFor();
    checks.equal('new unit listed', ['RAID 5', '3 drives'],
                 [await content.locator('#utype3').innerText(), await content.locator('#unumdrives3').innerText()]);
    checks.equal('no further question', 1, dialogs.length);
    await page.screenshot({ path: `${shots}/create-2-created.png` });
  } else {
    await content.locator('form[name=unitmaint] input[name=unit][value="0"]').check();
    await content.locator('input[type=button][value="Migrate Unit"]').click();
    await content.locator('#modifypopup').waitFor({ state: 'visible' });
    checks.equal('unit to migrate', ['Unit 0', '3 drives', 'RAID 5'],
                 [await content.locator('#ModifyUnitID').innerText(), await content.locator('#ModifyUnitNumDrives').innerText(),
                  await content.locator('#ModifyUnitType').innerText()]);
    const modraidtype = content.locator('select[name=modraidtype]');
    checks.equal('types for its own drives', ['RAID 0', 'RAID 5'], await modraidtype.locator('option').allInnerTexts());
    const rows = (await content.locator('span[id^=ModifyDrivePort]').allInnerTexts()).map((r) => r.trim());
    await content.locator('form[name=modifyform] input[name=drive]').nth(rows.indexOf('Port 4')).check();
    checks.equal('types with one more drive', ['RAID 0', 'RAID 5', 'RAID 10'],
                 await modraidtype.locator('option').allInnerTexts());
    checks.equal('type kept', 'RAID 5', await modraidtype.inputValue());
    await page.screenshot({ path: `${shots}/migrate-1-popup.png` });
    await content.locator('form[name=modifyform] input[type=button][value=OK]').click();
    await banner.filter({ hasText: 'Successfully started Migrate on unit 0' }).waitFor();
    checks.equal('verify recommended first', [
       'Recommended: Perform Verify Unit to its completion first prior to Migrate Unit to minimize the possibility of encountering a bad disk sector.'],
       dialogs);
    await contentAt('/page2_2.html', 'AvailListSort=1', 'c=1');
    await content.locator('#utype0').filter({ hasText: '>' }).waitFor();
    checks.equal('unit migrating', 'RAID 5 > RAID 5', await content.locator('#utype0').innerText());
    await page.screenshot({ path: `${shots}/migrate-2-started.png` });
  }
});
checks.finish();
