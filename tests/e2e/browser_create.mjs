// In headless Chromium: on the Maintenance page of the family-6 controller
// of the default simulated machine (with a drive inserted in its port 4),
// create a RAID 5 unit from three free drives through the create pop-up
// ("create"), or migrate unit 0 with one more drive through the migrate
// pop-up ("migrate").
//
//   node browser_create.mjs <base-url> <user-data-dir> <screenshot-dir> create|migrate
import { chromium } from 'playwright-core';

const [base, profile, shots, journey] = process.argv.slice(2);
const failures = [];
let passed = 0;
function expectEqual(what, expected, actual) {
  if (JSON.stringify(expected) === JSON.stringify(actual)) passed++;
  else failures.push(`${what}: expected ${JSON.stringify(expected)}, got ${JSON.stringify(actual)}`);
}

const context = await chromium.launchPersistentContext(profile, {
  executablePath: '/usr/bin/chromium',
  headless: true,
  ignoreHTTPSErrors: true,
  args: ['--headless', '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
         '--disable-background-networking', '--disable-component-update', '--disable-sync'],
});
try {
  const page = context.pages()[0] ?? await context.newPage();
  page.setDefaultTimeout(45000);  // a loaded 2-core machine runs other daemons beside this one
  const dialogs = [];
  page.on('dialog', (dialog) => { dialogs.push(dialog.message()); dialog.accept(); });
  const menu = page.frameLocator('frame[name=menu]');
  const content = page.frameLocator('frame[name=content]');
  // Waits until the content frame has loaded a page whose address holds all parts.
  const contentAt = (...parts) => page.waitForFunction((parts) => {
    const c = window.frames['content'];
    return c && parts.every((p) => c.location.href.includes(p)) && c.document.readyState === 'complete';
  }, parts);

  // Log in as administrator.
  await page.goto(`${base}/`);
  await content.locator('input[name=thepwd]').waitFor();
  await content.locator('select[name=whopwd]').selectOption('a');
  await content.locator('input[name=thepwd]').fill('pyv2');
  await content.locator('input[type=submit]').click();
  await menu.locator('#whos_loggedin').filter({ hasText: 'Administrator' }).waitFor();
  await contentAt('/page0.html');

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
    expectEqual('drives listed', ['Port 4', 'Port 6', 'Port 7'],
                (await content.locator('span[id^=CreateDrivePort]').allInnerTexts()).slice(0, 3));
    const raidtype = content.locator('select[name=raidtype]');
    expectEqual('types offered', ['RAID 0', 'RAID 5'], await raidtype.locator('option').allInnerTexts());
    expectEqual('type selected', 'RAID 5', await raidtype.inputValue());
    const stripe = content.locator('select[name=stripesize]');
    expectEqual('stripes offered', ['16k', '64k', '256k'], await stripe.locator('option').allInnerTexts());
    expectEqual('stripe selected', '9', await stripe.inputValue());
    expectEqual('stripe shown', true, await stripe.isVisible());

    const name = content.locator('input[name=unitname]');
    const ok = content.locator('form[name=createform] input[type=button][value=OK]');
    await name.fill('bad name');
    await ok.click();
    expectEqual('invalid name refused', ['There are invalid characters in the unit name entered.'], dialogs);
    expectEqual('pop-up still open', true, await content.locator('#createpopup').isVisible());
    await name.fill('web_unit');
    await ok.click();
    await banner.filter({ hasText: 'Successfully created unit(s): 3 as RAID 5' }).waitFor();
    await contentAt('/page2_2.html', 'AvailListSort=1', 'c=1');
    await content.locator('#utype3').waitFor();
    expectEqual('new unit listed', ['RAID 5', '3 drives'],
                [await content.locator('#utype3').innerText(), await content.locator('#unumdrives3').innerText()]);
    expectEqual('no further question', 1, dialogs.length);
    await page.screenshot({ path: `${shots}/create-2-created.png` });
  } else {
    await content.locator('form[name=unitmaint] input[name=unit][value="0"]').check();
    await content.locator('input[type=button][value="Migrate Unit"]').click();
    await content.locator('#modifypopup').waitFor({ state: 'visible' });
    expectEqual('unit to migrate', ['Unit 0', '3 drives', 'RAID 5'],
                [await content.locator('#ModifyUnitID').innerText(), await content.locator('#ModifyUnitNumDrives').innerText(),
                 await content.locator('#ModifyUnitType').innerText()]);
    const modraidtype = content.locator('select[name=modraidtype]');
    expectEqual('types for its own drives', ['RAID 0', 'RAID 5'], await modraidtype.locator('option').allInnerTexts());
    const rows = (await content.locator('span[id^=ModifyDrivePort]').allInnerTexts()).map((r) => r.trim());
    await content.locator('form[name=modifyform] input[name=drive]').nth(rows.indexOf('Port 4')).check();
    expectEqual('types with one more drive', ['RAID 0', 'RAID 5', 'RAID 10'],
                await modraidtype.locator('option').allInnerTexts());
    expectEqual('type kept', 'RAID 5', await modraidtype.inputValue());
    await page.screenshot({ path: `${shots}/migrate-1-popup.png` });
    await content.locator('form[name=modifyform] input[type=button][value=OK]').click();
    await banner.filter({ hasText: 'Successfully started Migrate on unit 0' }).waitFor();
    expectEqual('verify recommended first', [
      'Recommended: Perform Verify Unit to its completion first prior to Migrate Unit to minimize the possibility of encountering a bad disk sector.'],
      dialogs);
    await contentAt('/page2_2.html', 'AvailListSort=1', 'c=1');
    await content.locator('#utype0').filter({ hasText: '>' }).waitFor();
    expectEqual('unit migrating', 'RAID 5 > RAID 5', await content.locator('#utype0').innerText());
    await page.screenshot({ path: `${shots}/migrate-2-started.png` });
  }
} catch (error) {
  failures.push(`browser: ${error.message}`);
} finally {
  await context.close();
}
for (const f of failures) console.log(`FAILED: ${f}`);
console.log(`${passed} passed, ${failures.length} failed`);
process.exit(failures.length === 0 ? 0 : 1);
