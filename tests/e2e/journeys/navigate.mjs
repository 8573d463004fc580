// Through the frame set at either level: from the summary to a
// controller's units (the selector follows), a unit's tree and, for a
// migrating unit, its pop-up; the drop-down menus to the controller's
// details and drives, where a drive's SMART data opens in a window of its
// own; another controller from the selector, whose drive the administrator
// identifies; the phys; the summary again. Device texts show as the devices
// gave them.
import { migrationPopUp } from './common.mjs';

export default async function navigate(page, ctx) {
  const { menu, content } = ctx;
  const f = ctx.facts.navigate;
  await ctx.shown('/page0.html', null);
  const row = content.locator('tr', { has: page.locator('a[href="javascript:goto_controller(1)"]') });
  ctx.equal('second controller on the summary', f.summaryRow, (await row.locator('td').allInnerTexts()).slice(0, 4));
  await ctx.shot(`${ctx.level}-summary`);

  // The summary's link to the second controller: its units, and the menu
  // knows the controller.
  await content.locator('a[href="javascript:goto_controller(1)"]').click();
  await ctx.shown('/page1_1.html', '?c=1&u=-2');
  await content.getByText('Unit Information (Controller ID 2)').waitFor();
  ctx.equal('controller chosen', 1, Number(await page.evaluate(() => window.cur_controller)));
  ctx.equal('selector follows', '1', await menu.locator('#selctlr').inputValue());
  ctx.equal('unit page title', 'Unit Information', await ctx.title());
  ctx.equal('unit page shows the selector', 'visible', await ctx.selectorShown());
  ctx.equal('unit 0 name', f.unitName,
            (await content.locator('tr', { has: page.locator('a[href="javascript:goto_unit(0)"]') })
              .locator('td').nth(1).innerText()).trim());

  // A unit's tree; a migrating unit shows its new layout in a pop-up.
  await content.locator('a[href="javascript:goto_unit(0)"]').click();
  await ctx.shown('/page1_1.html', '?c=1&u=0');
  await content.getByText('Unit 0 (Controller ID 2)').first().waitFor();
  if (f.migrating) await migrationPopUp(ctx, f.migrating);

  // A drop-down opens on its item and closes once the pointer has left it
  // (400 ms later).
  const info = menu.locator('#info');
  const shownNow = () => info.evaluate((e) => getComputedStyle(e).visibility);
  await menu.locator('#itemCell1').hover();
  ctx.equal('drop-down open', 'visible', await shownNow());
  await content.locator('body').hover({ position: { x: 5, y: 5 } });
  await ctx.passTime(450);
  ctx.equal('drop-down closed', 'hidden', await shownNow());

  // The menus carry the controller chosen.
  await ctx.go('itemCell1', 'itemCell1_0', '/page1_0.html');
  ctx.equal('details of the chosen controller', '?c=1', await ctx.contentFrame().evaluate(() => location.search));
  await content.getByText('Controller Details (Controller ID 2)').waitFor();
  ctx.equal('details title', 'Controller Details', await ctx.title());
  const details = await content.locator('body').innerText();
  for (const text of f.summaryRow.slice(1)) ctx.equal(`details show ${text}`, true, details.includes(text));

  await ctx.go('itemCell1', 'itemCell1_2', '/page1_2.html');
  await content.getByText('Drive Information (Controller ID 2)').waitFor();
  ctx.equal('drive 0 model', f.driveModel,
            (await content.locator('a[href="javascript:smart_data(1, 0);"]').locator('xpath=../..')
              .locator('td').nth(1).innerText()).trim());

  // A drive's SMART data in its own window, closed by its button.
  const [smart] = await Promise.all([
    ctx.context.waitForEvent('page'),
    content.locator('a[href="javascript:smart_data(1, 0);"]').click(),
  ]);
  await smart.waitForLoadState();
  ctx.equal('SMART window', `${ctx.base}/smart.html?c=1&p=0`, smart.url());
  ctx.equal('SMART window name', 'smartwin', await smart.evaluate(() => window.name));
  ctx.equal('SMART window title', 'Pyv2 - testhost', await smart.title());
  await smart.getByText('S.M.A.R.T. (Controller ID 2 - Port 0)').waitFor();
  const dump = (await smart.locator('font[style*="monospace"]').innerText()).trim().split('\n');
  ctx.equal('32 lines of 16 bytes', [32, 16], [dump.length, dump[0].trim().split(' ').length]);
  // The button closes its window, which may end the click before it reports.
  await Promise.all([
    smart.waitForEvent('close'),
    smart.locator('input[value=Close]').click({ noWaitAfter: true }).catch((error) => {
      if (!smart.isClosed()) throw error;
    }),
  ]);
  ctx.equal('SMART window closed', true, smart.isClosed());

  // The third controller from the selector; the administrator identifies a drive.
  await ctx.pick(2);
  await content.getByText('Drive Information (Controller ID 3)').waitFor();
  if (ctx.level === 'a') {
    const box = content.locator('input[type=checkbox][onclick="blink_drive(0, 1)"]');
    ctx.equal('drive 0 not lit', false, await box.isChecked());
    await box.click();
    await ctx.outcome('identify', 'Blinking LED for drive 0');
    await ctx.shown('/page1_2.html', '?c=2');
    ctx.equal('drive 0 lit', true,
              await content.locator('input[type=checkbox][onclick="blink_drive(0, 0)"]').isChecked());
  }

  // The phys, through the drive page's navigation.
  await ctx.contentFrame().evaluate(() => goto_physummary(1));
  await ctx.shown('/page1_0_1.html', '?c=2&y=1');
  await content.getByText('Controller Phy Summary (Controller ID 3)').waitFor();
  ctx.equal('phy rows', f.phys, await content.locator('select[name=plinkspeed]').count());
  ctx.equal('phy page title', 'Controller Phy Summary', await ctx.title());

  await ctx.go('itemCell0', undefined, '/page0.html');
  ctx.equal('summary of the chosen controller', '?c=2', await ctx.contentFrame().evaluate(() => location.search));
  ctx.equal('back on the summary', 'hidden', await ctx.selectorShown());
}
