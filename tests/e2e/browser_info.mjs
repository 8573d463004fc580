// In headless Chromium, on a machine whose devices report hostile texts:
// log in, see every controller on the summary, reach each information page
// through the drop-down menus, change the controller with the selector,
// open a unit's tree and a migrating unit's pop-up, see the phys, identify
// a drive. The hostile texts show as text, none of them runs, no page
// raises an error.
//
//   node browser_info.mjs <base-url> <user-data-dir> <screenshot-dir>
import { Checks, frameSet, recordDialogs, withChromium } from './chromium.mjs';

const [base, profile, shots] = process.argv.slice(2);
const checks = new Checks();
const expectEqual = checks.equal.bind(checks);

let dialogs = [];
const pageErrors = [];
const strayRequests = [];
await withChromium(profile, checks, async (page) => {
  dialogs = recordDialogs(page);
  page.on('pageerror', (error) => pageErrors.push(error.message));
  // A device text that became markup would load its image.
  page.on('request', (request) => {
    const path = new URL(request.url()).pathname;
    if (path === '/x' || path === '/y') strayRequests.push(request.url());
  });

  const { menu, content } = frameSet(page);
  const contentFrame = () => page.frame({ name: 'content' });
  const shown = async (path, query) => page.waitForFunction(([p, q]) => {
    const c = window.frames['content'];
    return c && c.location.pathname === p && c.location.search === q &&
      c.document.readyState === 'complete';
  }, [path, query]);
  const title = async () => (await menu.locator('#menutitle').innerText()).trim();
  const selectorShown = async () => menu.locator('#selB').evaluate((e) => e.style.visibility);
  // Opens a drop-down by its item and clicks one of its entries.
  const choose = async (dropDownItem, entry) => {
    await menu.locator(`#${dropDownItem}`).hover();
    await menu.locator(`#${entry}`).click();
  };

  await page.goto(`${base}/`);
  await content.locator('input[name=thepwd]').waitFor();
  await content.locator('select[name=whopwd]').selectOption('a');
  await content.locator('input[name=thepwd]').fill('pyv2');
  await content.locator('input[type=submit]').click();
  // The login form itself stands at /page0.html: wait for the summary.
  await content.getByText('Controller Summary').waitFor();
  await shown('/page0.html', '?c=0');

  // The summary: every controller, its texts as the devices gave them.
  const ids = await content.locator('a[href^="javascript:goto_controller"]').allInnerTexts();
  expectEqual('controllers on the summary', ['1', '2', '3'], ids);
  const row = content.locator('tr', { has: page.locator('a[href="javascript:goto_controller(1)"]') });
  expectEqual('hostile texts as text', ['2', '</script>"\'\\<b>', "<b>S'1</b>\\", 'F\\W é"'],
              (await row.locator('td').allInnerTexts()).slice(0, 4));
  expectEqual('selector options', ['Controller ID 1 (QX-2400-12)', 'Controller ID 2 (</script>"\'\\<b>)',
                                   'Controller ID 3 (QX-8800-4i)'],
              await menu.locator('#selctlr option').allInnerTexts());
  expectEqual('summary hides the selector', 'hidden', await selectorShown());
  await page.screenshot({ path: `${shots}/1-summary.png` });

  // Through the drop-down menu to each page of the controller in view.
  await choose('itemCell1', 'itemCell1_0');
  await shown('/page1_0.html', '?c=0');
  await content.getByText('Controller Details (Controller ID 1)').waitFor();
  expectEqual('details title', 'Controller Details', await title());
  expectEqual('details show the selector', 'visible', await selectorShown());
  await choose('itemCell1', 'itemCell1_1');
  await shown('/page1_1.html', '?c=0&u=-2');
  await content.getByText('Unit Information (Controller ID 1)').waitFor();
  expectEqual('unit page title', 'Unit Information', await title());

  // Another controller from the selector: the same page for it.
  await menu.locator('#selctlr').selectOption('1');
  await shown('/page1_1.html', '?c=1&u=-2');
  await content.getByText('Unit Information (Controller ID 2)').waitFor();
  expectEqual('unit name as text', '</script><b>"\'\\ü',
              (await content.locator('tr', { has: page.locator('a[href="javascript:goto_unit(0)"]') })
                .locator('td').nth(1).innerText()).trim());
  await page.screenshot({ path: `${shots}/2-units.png` });

  // A unit's tree; the unit is migrating: its new layout in the pop-up.
  await content.locator('a[href="javascript:goto_unit(0)"]').click();
  await shown('/page1_1.html', '?c=1&u=0');
  await content.getByText('Unit 0 (Controller ID 2)').first().waitFor();
  const popUp = content.locator('#migunitdisplay');
  expectEqual('pop-up hidden at first', false, await popUp.isVisible());
  await content.locator('a[href="javascript:show_migrate_unit(1);"]').click();
  await popUp.waitFor({ state: 'visible' });
  expectEqual('pop-up shows the new layout', true, (await popUp.innerText()).includes('RAID 5'));
  await page.screenshot({ path: `${shots}/3-migration.png` });
  await popUp.locator('input[name=closebutton]').click();
  await popUp.waitFor({ state: 'hidden' });
  checks.passed++;

  await choose('itemCell1', 'itemCell1_2');
  await shown('/page1_2.html', '?c=1');
  await content.getByText('Drive Information (Controller ID 2)').waitFor();
  expectEqual('drive model as text', '<img src=x onerror=alert(2)>',
              (await content.locator('a[href="javascript:smart_data(1, 0);"]').locator('xpath=../..')
                .locator('td').nth(1).innerText()).trim());

  // The third controller's drives; identify one.
  await menu.locator('#selctlr').selectOption('2');
  await shown('/page1_2.html', '?c=2&u=-2');
  await content.getByText('Drive Information (Controller ID 3)').waitFor();
  const box = content.locator('input[type=checkbox][onclick="blink_drive(0, 1)"]');
  expectEqual('drive 0 not lit', false, await box.isChecked());
  await box.click();
  await menu.locator('#lastmessage').getByText('Blinking LED for drive 0').waitFor();
  await shown('/page1_2.html', '?c=2');
  expectEqual('drive 0 lit', true,
              await content.locator('input[type=checkbox][onclick="blink_drive(0, 0)"]').isChecked());
  await page.screenshot({ path: `${shots}/4-identify.png` });

  // The phys, through the drive page's navigation.
  await contentFrame().evaluate(() => goto_physummary(1));
  await shown('/page1_0_1.html', '?c=2&y=1');
  await content.getByText('Controller Phy Summary (Controller ID 3)').waitFor();
  expectEqual('phy rows', 4, await content.locator('select[name=plinkspeed]').count());
  expectEqual('phy page title', 'Controller Phy Summary', await title());

  await menu.locator('#itemCell0').click();
  await shown('/page0.html', '?c=2');
  expectEqual('back on the summary', 'hidden', await selectorShown());
});
expectEqual('dialogs', [], dialogs);
expectEqual('page errors', [], pageErrors);
expectEqual('requests made by device texts', [], strayRequests);
checks.finish();
