// In headless Chromium, on tests/e2e/schedule_machine.scenario: an
// administrator opens the Scheduling page from the menu, changes to the
// controller with rebuild slots, walks the three tabs, adds a rebuild slot
// and deletes two (the page's alerts guard a delete of none and of the
// last), starts the battery test after a first refusal of the confirmation,
// and opens a drive's SMART pop-up from the Drive Information page and closes
// it.
//
//   node browser_schedule.mjs <base-url> <user-data-dir> <screenshot-dir>
import { Checks, dialogAfter, frameSet, loginAsAdministrator, recordDialogs, withChromium } from './chromium.mjs';

const [base, profile, shots] = process.argv.slice(2);
const checks = new Checks();
const expectEqual = (what, expected, actual) => checks.equal(what, expected, actual);

let dialogs = [];
const pageErrors = [];
let waitingFor = '';  // the content page the journey waits for
await withChromium(profile, checks, async (page, context) => {
  // Confirmations are refused once where a test says so, else accepted.
  let refuseNext = false;
  dialogs = recordDialogs(page, () => {
    const accept = !refuseNext;
    refuseNext = false;
    return accept;
  });
  page.on('pageerror', (error) => pageErrors.push(error.message));

  const { menu, content } = frameSet(page);
  const contentFrame = () => page.frame({ name: 'content' });
  const shown = async (path, query) => {
    waitingFor = path + query;
    await page.waitForFunction(([p, q]) => {
      const c = window.frames['content'];
      return c && c.location.pathname === p && c.location.search === q &&
        c.document.readyState === 'complete';
    }, [path, query]);
  };
  const choose = async (dropDownItem, entry) => {
    await menu.locator(`#${dropDownItem}`).hover();
    await menu.locator(`#${entry}`).click();
  };
  const banner = (text) => menu.locator('#lastmessage').getByText(text).waitFor();
  // The rows of the slots in use: number, day, time, duration.
  const usedSlots = async () => {
    const rows = content.locator('tr', { has: page.locator('input[name=sched]') });
    const out = [];
    for (const row of await rows.all()) out.push((await row.locator('td').allInnerTexts()).map((t) => t.trim()));
    return out;
  };

  await page.goto(`${base}/`);
  await content.locator('input[name=thepwd]').waitFor();
  await loginAsAdministrator(page, 'pyv2');

  // Scheduling from the menu: the first controller has none; the second's
  // rebuild slots.
  await choose('itemCell2', 'itemCell2_1');
  await shown('/page2_1.html', '?c=0');
  await content.getByText('Scheduling is not supported on this controller model').waitFor();
  expectEqual('title', 'Scheduling', (await menu.locator('#menutitle').innerText()).trim());
  await menu.locator('#selctlr').selectOption('1');
  await shown('/page2_1.html', '?c=1&u=-2');
  await content.getByText('Schedule Rebuild/Migrate Tasks (Controller ID 2)').waitFor();
  expectEqual('rebuild slots', [['1.', 'Monday', '1:00am', '2'], ['2.', 'Wednesday', '2:00am', '3']],
              await usedSlots());

  // The tabs.
  await content.locator('select[name=seltask]').selectOption('1');
  await shown('/page2_1.html', '?WhichSched=1&c=1');
  await content.getByText('Schedule Verify Tasks (Controller ID 2)').waitFor();
  await content.locator('select[name=seltask]').selectOption('2');
  await shown('/page2_1.html', '?WhichSched=2&c=1');
  await content.getByText('Schedule Self-test Tasks (Controller ID 2)').waitFor();
  expectEqual('self-test tasks of family 6', ['Check S.M.A.R.T. Thresholds'],
              (await content.locator('input[type=checkbox]').evaluateAll(
                (boxes) => boxes.map((b) => b.nextSibling.textContent))));
  await page.screenshot({ path: `${shots}/1-selftest-tab.png` });
  await content.locator('select[name=seltask]').selectOption('0');
  await shown('/page2_1.html', '?WhichSched=0&c=1');

  // A slot added: Friday 1:00pm for four hours.
  await content.locator('select[name=day]').selectOption('5');
  await content.locator('select[name=hour]').selectOption('13');
  await content.locator('select[name=duration]').selectOption('4');
  await content.locator('input[value="Add New Slot"]').click();
  await banner('Successfully added Rebuild Schedule slot');
  await shown('/page2_1.html', '?WhichSched=0&c=1');
  expectEqual('slot added', [['1.', 'Monday', '1:00am', '2'], ['2.', 'Wednesday', '2:00am', '3'],
                             ['3.', 'Friday', '1:00pm', '4']], await usedSlots());
  await page.screenshot({ path: `${shots}/2-slot-added.png` });

  // Deleting: none checked, then the first and the new one.
  let seen = dialogs.length;
  await content.locator('input[value="Remove Checked"]').click();
  expectEqual('none checked', 'Please check at least one schedule slot to delete',
              await dialogAfter(dialogs, seen));
  await content.locator('input[name=sched][value="0"]').check();
  await content.locator('input[name=sched][value="2"]').check();
  await content.locator('input[value="Remove Checked"]').click();
  await banner('Successfully deleted Rebuild Schedule slot(s)');
  await shown('/page2_1.html', '?WhichSched=0&c=1');
  expectEqual('slots deleted', [['2.', 'Wednesday', '2:00am', '3']], await usedSlots());
  // The last slot stays.
  await content.locator('input[name=sched][value="1"]').check();
  seen = dialogs.length;
  await content.locator('input[value="Remove Checked"]').click();
  expectEqual('last slot kept',
              'Warning:  Cannot delete last scheduled task. At least one task must remain.',
              await dialogAfter(dialogs, seen));
  expectEqual('still on the page', '?WhichSched=0&c=1', await contentFrame().evaluate(() => location.search));

  // The battery test: asked first; refused once, then started.
  await choose('itemCell3', 'itemCell3_1');
  await shown('/page3_1.html', '?c=1');
  await content.getByText('Battery Backup Information (Controller ID 2)').waitFor();
  refuseNext = true;
  seen = dialogs.length;
  await content.locator('a[href="javascript:test_bbu();"]').click();
  expectEqual('asked first', true,
              (await dialogAfter(dialogs, seen) ?? '').startsWith('Testing the battery capacity will disable'));
  expectEqual('refused: nothing sent', '?c=1', await contentFrame().evaluate(() => location.search));
  await content.locator('a[href="javascript:test_bbu();"]').click();
  await banner('Successfully started battery capacity test');
  await shown('/page3_1.html', '?c=1');
  await content.getByText('TESTING').waitFor();
  await page.screenshot({ path: `${shots}/3-battery.png` });

  // The SMART pop-up of a drive, from the drive page, and its Close button.
  await choose('itemCell1', 'itemCell1_2');
  await shown('/page1_2.html', '?c=1');
  const [popup] = await Promise.all([
    context.waitForEvent('page'),
    content.locator('a[href="javascript:smart_data(1, 0);"]').click(),
  ]);
  await popup.waitForLoadState();
  expectEqual('pop-up URL', `${base}/smart.html?c=1&p=0`, popup.url());
  expectEqual('pop-up title', 'Pyv2 - testhost', await popup.title());
  await popup.getByText('S.M.A.R.T. (Controller ID 2 - Port 0)').waitFor();
  const dump = (await popup.locator('font[style*="monospace"]').innerText()).trim().split('\n');
  expectEqual('32 lines of 16 bytes', [32, 16], [dump.length, dump[0].trim().split(' ').length]);
  await popup.screenshot({ path: `${shots}/4-smart.png` });
  await Promise.all([popup.waitForEvent('close'), popup.locator('input[value=Close]').click()]);
  expectEqual('pop-up closed', true, popup.isClosed());
});
if (checks.failures.length > 0) checks.fail(`the last content page waited for: ${waitingFor}`);
expectEqual('page errors', [], pageErrors);
expectEqual('dialogs', 4, dialogs.length);
checks.finish();
