// Unit 0 of the second controller of the default machine (a RAID 5 of
// three drives) migrated through the Maintenance page's pop-up with the
// free drive of port 4: the layouts offered grow with the drive, the page
// recommends a verify first, the unit table shows the migration and the
// unit's tree its new layout in a pop-up.
import { migrationPopUp, openMaintenance } from './common.mjs';

export default async function migrate(page, ctx) {
  const { content } = ctx;
  await openMaintenance(ctx, 1);
  await content.locator('form[name=unitmaint] input[name=unit][value="0"]').check();
  await content.locator('input[type=button][value="Migrate Unit"]').click();
  await content.locator('#modifypopup').waitFor({ state: 'visible' });
  ctx.equal('unit to migrate', ['Unit 0', '3 drives', 'RAID 5'],
            [await content.locator('#ModifyUnitID').innerText(), await content.locator('#ModifyUnitNumDrives').innerText(),
             await content.locator('#ModifyUnitType').innerText()]);
  const modraidtype = content.locator('select[name=modraidtype]');
  ctx.equal('types for its own drives', ['RAID 0', 'RAID 5'], await modraidtype.locator('option').allInnerTexts());
  const rows = (await content.locator('span[id^=ModifyDrivePort]').allInnerTexts()).map((r) => r.trim());
  await content.locator('form[name=modifyform] input[name=drive]').nth(rows.indexOf('Port 4')).check();
  ctx.equal('types with one more drive', ['RAID 0', 'RAID 5', 'RAID 10'],
            await modraidtype.locator('option').allInnerTexts());
  ctx.equal('type kept', 'RAID 5', await modraidtype.inputValue());
  await ctx.shot('migrate-pop-up');
  await content.locator('form[name=modifyform] input[type=button][value=OK]').click();
  ctx.equal('verify recommended first',
            'Recommended: Perform Verify Unit to its completion first prior to Migrate Unit to minimize the possibility of encountering a bad disk sector.',
            await ctx.nextDialog());
  await ctx.outcome('migration', 'Successfully started Migrate on unit 0');
  await ctx.at('/page2_2.html', 'AvailListSort=1', 'c=1');
  await content.locator('#utype0').filter({ hasText: '>' }).waitFor();
  ctx.equal('unit migrating', 'RAID 5 > RAID 5', await content.locator('#utype0').innerText());

  await ctx.go('itemCell1', 'itemCell1_1', '/page1_1.html');
  await content.locator('a[href="javascript:goto_unit(0)"]').click();
  await ctx.shown('/page1_1.html', '?c=1&u=0');
  await migrationPopUp(ctx, 'RAID 5');
}
