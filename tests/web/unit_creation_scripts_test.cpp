// The maintenance page's unit creation and migration scripts, run in node
// against a stand-in for the page: the drives checked (their count, kind,
// spare and exported marks, the row order after a sort) decide the RAID
// types, stripe sizes and drives-per-subunit choices offered, the checks
// refuse with their alerts, and OK loads the request the handler reads.
#include <gtest/gtest.h>

#include <string>

#include "daemon/snapshot_records.h"
#include "daemon/string_builder.h"
#include "tests/web/page_test_support.h"
#include "web/pages/script_writer.h"

namespace {

using pagetest::PageEnv;
using pagetest::section;

struct Controller {
    int family = 6;
    int raid6 = 1;
    int extended = 0;
    int battery = 1;  // 0 none, 1 present and ready, 2 present, not ready
};

// A first-series controller: no RAID 6, no battery.
constexpr Controller kFirstSeries{.family = 3, .raid6 = 0, .battery = 0};

void fill_record(ControllerRecord& record, const Controller& c) {
    record.controller_index = 3;
    record.family = c.family;
    record.raid6_allowed = static_cast<uint8_t>(c.raid6);
    record.extended_device_info = c.extended;
    if (c.battery != 0) {
        record.battery = new BatteryRecord();
        record.battery->bbu_present = 1;
        record.battery->ready = c.battery == 1 ? 8 : 2;
    }
}

// The scripts a page of this controller carries, in the page's order.
std::string scripts_of(PageEnv& env, const Controller& c) {
    ControllerRecord record;
    fill_record(record, c);
    ScriptWriter writer(&env.config(), &env.catalogue());
    StringBuilder body;
    writer.write_show_createpopup(body);
    writer.write_update_create_drives(body, record);
    writer.write_update_options(body);
    writer.write_update_stripe_options(body, record);
    writer.write_modify_unit(body);
    writer.write_create_unit(body, record);
    writer.write_validate_name(body);
    writer.write_update_raidtype(body, record);
    if (c.family > 3) {
        writer.write_show_modifypopup(body);
        writer.write_update_modify_drives(body, record);
        writer.write_set_qm_recovery_create(body);
        writer.write_update_modraidtype(body, record);
    }
    return body.c_str();
}

// The page as the scripts see it: its variables, forms, spans and pop-ups,
// built by machine() from a list of available drives and units; dialogs,
// timers and requests recorded in calls.
const char* const kPage = R"JS(
const assert = require('assert');
let calls = [];
let answers = [];
function alert(m) { calls.push(['alert', m]); }
function confirm(m) { calls.push(['confirm', m]); return answers.length ? answers.shift() : true; }
function setTimeout(f, ms) { calls.push(['setTimeout', f, ms]); return 99; }
function clearTimeout(t) { calls.push(['clearTimeout', t]); }
function find(kind) { return calls.filter(c => c[0] === kind).map(c => c[1]); }
class Option { constructor(text, value) { this.text = text; this.value = value; } }
let elements = {};
let forms = {};
var window = { pageYOffset: 120 };
var document = { all: undefined, forms: forms, body: { scrollTop: 0 },
  getElementById(id) { return elements[id] || null; },
  location: { replace(u) { calls.push(['replace', u]); } } };
var parent = { cur_controller: 2 };
var refreshTimer = 7, TimeOut = 180000;
var rebuildpopupopen, createpopupopen, modifypopupopen, numcreatechecked, numcreateSASchecked,
    numcreateSATAchecked, nummodchecked, whichunitchecked, maxcreateallowed, activedrivesused,
    maxdrivesperactiveunit, createdrivelist, numavaildrives, availSortColumn, availdrivelist,
    availdrivemodel, availdrivetype, availdrivecapacity, availdrivestatus, isaspare,
    partofexportedunit, availTableCells;
function gettablecell(row, col) { return availTableCells[row][col]; }

function span(id, html) {
  elements[id] = { id: id, innerHTML: html === undefined ? '' : html, style: { visibility: 'hidden' } };
}
function select(name, values, chosen) {
  const options = (values || []).map(v => new Option(v, v));
  return { type: 'select-one', name: name, options: options, selectedIndex: chosen || 0 };
}
function box(name, value, checked) {
  return { type: 'checkbox', name: name, value: String(value), checked: !!checked };
}
function form(name, list) {
  const f = { name: name, elements: list };
  for (const e of list) if (!(e.name in f)) f[e.name] = e;
  forms[name] = f;
}
// drives: {port, kind, spare, exported}, in the page's (port) order;
// sorted: the ports in the order the table shows them; units: {number,
// drives, type, dpers}.
function machine(setup) {
  calls = [];
  answers = [];
  elements = {};
  for (const f in forms) delete forms[f];
  rebuildpopupopen = createpopupopen = modifypopupopen = 0;
  numcreatechecked = numcreateSASchecked = numcreateSATAchecked = nummodchecked = 0;
  maxcreateallowed = setup.max || 64;
  activedrivesused = setup.used || 0;
  maxdrivesperactiveunit = setup.perunit || 32;
  availSortColumn = 3;
  createdrivelist = []; availdrivelist = []; availdrivemodel = []; availdrivetype = [];
  availdrivecapacity = []; availdrivestatus = []; isaspare = []; partofexportedunit = [];
  const drives = setup.drives;
  numavaildrives = drives.length;
  drives.forEach((d, i) => {
    availdrivelist[i] = d.port;
    availdrivemodel[d.port] = 'Model ' + d.port;
    availdrivetype[d.port] = d.kind || 'SAS';
    availdrivecapacity[d.port] = '931.32 GB';
    availdrivestatus[d.port] = 'OK';
    isaspare[d.port] = d.spare ? 1 : 0;
    partofexportedunit[d.port] = d.exported ? 1 : 0;
  });
  const shown = setup.sorted || drives.map(d => d.port);
  availTableCells = shown.map(p => [p, p, availdrivemodel[p], '931.32 GB', availdrivetype[p], '--', '--', 'OK']);
  form('createmaint', drives.map(d => box('drive', d.port)).concat([{ type: 'button', name: 'create' }]));
  let row = 0;
  for (const d of drives) {
    if (d.spare) continue;
    for (const s of ['Port', 'Model', 'Type', 'Capacity', 'Status']) span('CreateDrive' + s + row);
    row++;
  }
  const options = [select('raidtype'), { type: 'text', name: 'unitname', value: '' },
    select('stripesize'), select('DperS'), box('cacheon', 'on', true),
    box('autoverifyon', 'on', true), box('queuingEnabled', 'on', true), box('ignoreeccon', 'on', false),
    select('readcache', ['0', '1', '2'], 2), select('pervault', ['0', '1', '2'], 1),
    select('qm_recovery', ['3', '1', '0'], 0)];
  form('createform', options.filter(e => !(setup.without || []).includes(e.name)));
  for (const s of ['stripespan', 'DperSspan', 'writecachespan', 'queuingspan', 'ignoreeccspan',
                   'readcachespan', 'pervaultspan', 'qm_recoveryspan', 'modstripespan', 'modDperSspan',
                   'createpopup', 'modifypopup', 'ModifyUnitID', 'ModifyUnitNumDrives', 'ModifyUnitType',
                   'ModifyUnitCapacity', 'ModifyUnitStatus'])
    if (!(setup.without || []).includes(s)) span(s);
  const units = setup.units || [];
  form('unitmaint', units.map(u => box('unit', u.number)));
  for (const u of units) {
    span('unumdrives' + u.number, u.drives + (u.drives == 1 ? ' drive' : ' drives'));
    span('utype' + u.number, u.type);
    span('uDperS' + u.number, u.dpers ? '<font style="font-size: 8pt;">' + u.dpers + ' Drives per subunit</font>' : '0');
    span('usize' + u.number, '1.82 TB');
    span('ustatus' + u.number, '<font style="color: #009900;font-weight: bold;">OK</font>');
  }
  const migratable = drives.filter(d => !d.spare && !d.exported);
  form('modifyform', migratable.map(d => box('drive', d.port)).concat(
    [select('modraidtype'), select('modstripesize'), select('modDperS')]));
  migratable.forEach((d, i) => {
    for (const s of ['Port', 'Model', 'Type', 'Capacity', 'Status']) span('ModifyDrive' + s + i);
  });
}
// The create pop-up of a first-series controller lacks these.
const FIRST_SERIES = { without: ['unitname', 'autoverifyon', 'queuingEnabled', 'ignoreeccon', 'readcache',
  'pervault', 'qm_recovery', 'readcachespan', 'pervaultspan', 'qm_recoveryspan', 'queuingspan', 'ignoreeccspan'] };
// Checks the rows the table shows at these positions.
function check_rows(rows) { for (const r of rows) forms.createmaint.elements[r].checked = true; }
function values(name, formname) { return forms[formname || 'createform'][name].options.map(o => o.value); }
function texts(name, formname) { return forms[formname || 'createform'][name].options.map(o => o.text); }
function chosen(name, formname) {
  const s = forms[formname || 'createform'][name];
  return s.options[s.selectedIndex].value;
}
function visible(id) { return elements[id].style.visibility === 'visible'; }
function free(n, kind) {
  const drives = [];
  for (let p = 0; p < n; p++) drives.push({ port: p + 8, kind: kind });
  return drives;
}
// Opens the create pop-up with the first n free drives checked.
function open_create(n, extra) {
  machine(Object.assign({ drives: free(Math.max(n, 1)) }, extra || {}));
  check_rows([...Array(n).keys()]);
  show_createpopup(1);
}
function choose(name, value, formname) {
  const s = forms[formname || 'createform'][name];
  s.selectedIndex = s.options.findIndex(o => o.value === value);
  assert.ok(s.selectedIndex >= 0, value);
}
)JS";

// The web texts the scripts show, in a message file of a language where
// each is marked, so a test can see which one a dialog showed.
std::string marked_catalogue() {
    return section(0x13, {{13, "Unit"},
                          {16, "Port"},
                          {476, "VPort"},
                          {285, "T285 no battery"},
                          {293, "T293 check a drive"},
                          {294, "T294 one unit"},
                          {295, "T295 check a unit"},
                          {396, "T396 invalid name"},
                          {397, "T397 one more drive"},
                          {406, "T406 performance"},
                          {407, "T407 battery not ready"},
                          {416, "T416 limit of "},
                          {519, "T519 mixed"},
                          {520, "T520 unit limit"},
                          {536, "T536 quickmend"},
                          {576, "T576 configured"},
                          {592, "T592 verify first"}});
}

class UnitCreationScripts : public ::testing::Test {
  protected:
    UnitCreationScripts() : env_("Language 1\n") { env_.write_messages("de", marked_catalogue()); }

    // Runs the controller's scripts in the stand-in page, then the checks.
    void run(const Controller& c, const std::string& checks) {
        std::string script = std::string(kPage) + scripts_of(env_, c) + "\n" + checks + "\n";
        std::string path = env_.dir().file("scripts.js");
        ASSERT_TRUE(pagetest::write_file(path, script));
        std::string output;
        EXPECT_EQ(pagetest::run_node("", path, &output), 0) << output;
    }

    PageEnv env_;
};

TEST_F(UnitCreationScripts, CheckedDrivesDecideTheTypesOffered) {
    // drives checked | types offered, the selected one marked *
    const char* const kSecondSeries = R"JS(
function offered(n) {
  open_create(n);
  assert.strictEqual(createpopupopen, 1, 'pop-up open for ' + n);
  return values('raidtype').map((v, i) => i == forms.createform.raidtype.selectedIndex ? v + '*' : v).join(',');
}
const cases = [
  [1, 'Single Disk*'],
  [2, 'RAID 0,RAID 1*'],
  [3, 'RAID 0,RAID 5*'],
  [4, 'RAID 0,RAID 5*,RAID 10'],
  [5, 'RAID 0,RAID 5*,RAID 6'],
  [6, 'RAID 0,RAID 5*,RAID 6,RAID 10,RAID 50'],
  [7, 'RAID 0,RAID 5*,RAID 6'],
  [11, 'RAID 0,RAID 5*,RAID 6'],
  [12, 'RAID 0,RAID 5*,RAID 6,RAID 10,RAID 50'],
  [25, 'RAID 0,RAID 5*,RAID 6'],
  [36, 'RAID 0,RAID 5*,RAID 6,RAID 10,RAID 50'],
];
for (const [n, expected] of cases) assert.strictEqual(offered(n), expected, 'drives: ' + n);
// The option texts are the values.
open_create(4);
assert.deepStrictEqual(texts('raidtype'), values('raidtype'));
)JS";
    run(Controller{}, kSecondSeries);

    run(Controller{.family = 6, .raid6 = 0}, R"JS(
for (const [n, expected] of [[5, 'RAID 0,RAID 5'], [6, 'RAID 0,RAID 5,RAID 10,RAID 50']]) {
  open_create(n);
  assert.deepStrictEqual(values('raidtype').join(','), expected);
}
)JS");

    run(kFirstSeries, R"JS(
for (const [n, expected] of [[1, 'JBOD'], [2, 'RAID 0,RAID 1'], [6, 'RAID 0,RAID 5,RAID 10']]) {
  open_create(n, FIRST_SERIES);
  assert.deepStrictEqual(values('raidtype').join(','), expected);
}
)JS");
}

TEST_F(UnitCreationScripts, StripeSizesFollowTheTypeAndSeries) {
    run(Controller{}, R"JS(
open_create(6);
const stripes = {};
for (const type of values('raidtype')) {
  choose('raidtype', type);
  update_options('create');
  stripes[type] = [texts('stripesize').join(','), values('stripesize').join(','), chosen('stripesize'), visible('stripespan')];
}
assert.deepStrictEqual(stripes, {
  'RAID 0': ['16k,64k,256k', '5,7,9', '9', true],
  'RAID 5': ['16k,64k,256k', '5,7,9', '9', true],
  'RAID 6': ['64k,256k', '7,9', '9', true],
  'RAID 10': ['16k,64k,256k', '5,7,9', '9', true],
  'RAID 50': ['16k,64k,256k', '5,7,9', '9', true],
});
// A single disk has no stripe to choose, and still sends 64k.
open_create(1);
assert.deepStrictEqual([values('stripesize').join(','), chosen('stripesize'), visible('stripespan')], ['7', '7', false]);
)JS");

    run(kFirstSeries, R"JS(
open_create(4);
const stripes = {};
for (const type of values('raidtype')) {
  choose('raidtype', type);
  update_options('create');
  stripes[type] = [values('stripesize').join(','), chosen('stripesize'), visible('stripespan')];
}
assert.deepStrictEqual(stripes, {
  'RAID 0': ['7,8,9,10,11', '7', true],
  'RAID 5': ['7', '7', true],
  'RAID 10': ['7,8,9,10,11', '7', true],
});
choose('raidtype', 'RAID 0');
update_options('create');
assert.deepStrictEqual(texts('stripesize'), ['64k', '128k', '256k', '512k', '1024k']);
)JS");
}

TEST_F(UnitCreationScripts, Raid50OffersTheDrivesPerSubunitThatDivideTheDrives) {
    run(Controller{}, R"JS(
function dpers(n) {
  open_create(n, { max: 128, perunit: 64 });
  choose('raidtype', 'RAID 50');
  update_options('create');
  return [values('DperS').join(','), visible('DperSspan') ? chosen('DperS') : 'hidden'];
}
assert.deepStrictEqual(dpers(6), ['3', '3']);
assert.deepStrictEqual(dpers(12), ['3,4,6', '4']);
assert.deepStrictEqual(dpers(24), ['6,8,12', '12']);
assert.deepStrictEqual(dpers(34), ['17', '17']);
// 36 drives: RAID 50 is offered, but no split is, and none is sent.
assert.deepStrictEqual(dpers(36), ['', 'hidden']);
create_unit();
assert.match(find('replace')[0], /&CreateType=RAID 50&.*&CreateDperS=0&/);
// Another type hides the choice.
dpers(12);
choose('raidtype', 'RAID 5');
update_options('create');
assert.strictEqual(visible('DperSspan'), false);
)JS");
}

TEST_F(UnitCreationScripts, CreatePopupRefusesSelectionsThatMakeNoUnit) {
    run(Controller{}, R"JS(
function refused(setup, rows) {
  machine(setup);
  check_rows(rows);
  const result = show_createpopup(1);
  assert.strictEqual(createpopupopen, 0);
  assert.strictEqual(visible('createpopup'), false);
  assert.deepStrictEqual(find('clearTimeout'), [7], 'the refresh stays stopped');
  return [result, find('alert')];
}
assert.deepStrictEqual(refused({ drives: free(3) }, []), [false, ['T293 check a drive']]);
assert.deepStrictEqual(refused({ drives: free(3), max: 16, used: 14 }, [0, 1, 2]),
                       [false, ['T416 limit of (16) ']]);
assert.deepStrictEqual(refused({ drives: [{ port: 1, kind: 'SAS' }, { port: 2, kind: 'SATA' }] }, [0, 1]),
                       [false, ['T519 mixed']]);
assert.deepStrictEqual(refused({ drives: [{ port: 1 }, { port: 2, spare: 1 }] }, [0, 1]),
                       [false, ['T576 configured']]);
assert.deepStrictEqual(refused({ drives: [{ port: 1 }, { port: 2, exported: 1 }] }, [1]),
                       [false, ['T576 configured']]);
// Over the limit with one drive only is allowed.
machine({ drives: free(3), max: 16, used: 16 });
check_rows([2]);
show_createpopup(1);
assert.strictEqual(createpopupopen, 1);
assert.deepStrictEqual(find('alert'), []);
// SATA drives together are fine.
machine({ drives: free(3, 'SATA') });
check_rows([0, 1, 2]);
show_createpopup(1);
assert.strictEqual(createpopupopen, 1);
// While a pop-up is open, opening another does nothing.
modifypopupopen = 1;
createpopupopen = 0;
show_createpopup(1);
assert.strictEqual(createpopupopen, 0);
)JS");
}

TEST_F(UnitCreationScripts, CreatePopupListsTheDrivesShownInTheCheckedRows) {
    run(Controller{}, R"JS(
// Sorted by capacity the table shows port 12 first and port 3 last; the
// checkboxes keep the port order of the page.
machine({ drives: [{ port: 3 }, { port: 5 }, { port: 12 }], sorted: [12, 5, 3] });
check_rows([0, 2]);
show_createpopup(1);
assert.deepStrictEqual(createdrivelist.slice(0, numcreatechecked), [12, 3]);
assert.strictEqual(elements.CreateDrivePort0.innerHTML, '<b>Port 12</b>');
assert.strictEqual(elements.CreateDriveModel0.innerHTML, 'Model 12');
assert.strictEqual(elements.CreateDrivePort1.innerHTML, '<b>Port 3</b>');
assert.strictEqual(elements.CreateDriveStatus2.innerHTML, '&nbsp;');
// Shown below the scroll position, over the page.
assert.deepStrictEqual([elements.createpopup.style.top, elements.createpopup.style.zIndex, visible('createpopup')],
                       ['160px', 10, true]);
// Cancel hides it and the option groups, and restarts the refresh.
show_createpopup(0);
assert.deepStrictEqual([createpopupopen, visible('createpopup'), elements.createpopup.style.zIndex,
                        visible('stripespan'), visible('writecachespan')], [0, false, -1, false, false]);
assert.deepStrictEqual(find('setTimeout').length, 1);
assert.deepStrictEqual(calls.find(c => c[0] === 'setTimeout').slice(1), ['document.location.reload(true)', 180000]);
)JS");

    run(Controller{.family = 7, .extended = 1}, R"JS(
machine({ drives: [{ port: 4 }] });
check_rows([0]);
show_createpopup(1);
assert.strictEqual(elements.CreateDrivePort0.innerHTML, '<b>VPort 4</b>');
)JS");
}

TEST_F(UnitCreationScripts, OptionGroupsFollowTheType) {
    run(Controller{}, R"JS(
open_create(4);
const groups = ['writecachespan', 'readcachespan', 'queuingspan', 'pervaultspan', 'qm_recoveryspan', 'ignoreeccspan'];
function shown() { return groups.filter(visible).join(','); }
assert.strictEqual(shown(), groups.join(','));  // RAID 5
choose('raidtype', 'RAID 0');
update_options('create');
assert.strictEqual(shown(), 'writecachespan,readcachespan,queuingspan,pervaultspan');
open_create(1);
assert.strictEqual(shown(), 'writecachespan,readcachespan,queuingspan,pervaultspan');
// JBOD has no cache options (first-series types on a page without them).
forms.createform.raidtype.options = [new Option('JBOD', 'JBOD')];
forms.createform.raidtype.selectedIndex = 0;
update_options('create');
assert.strictEqual(shown(), '');
update_options('other');
// Quickmend "Disable" warns, and keeps the choice.
set_qm_recovery_create('1');
set_qm_recovery_create('0');
assert.deepStrictEqual(find('alert'), ['T536 quickmend']);
)JS");
}

TEST_F(UnitCreationScripts, CreateUnitSendsEveryChoiceInItsOrder) {
    // Battery ready: no battery question.
    run(Controller{}, R"JS(
open_create(3, { drives: [{ port: 2 }, { port: 4 }, { port: 9 }] });
forms.createform.unitname.value = 'bad name';
create_unit();
assert.deepStrictEqual(find('alert'), ['T396 invalid name']);
assert.deepStrictEqual(find('replace'), []);
forms.createform.unitname.value = 'Data_01';
forms.createform.ignoreeccon.checked = true;
choose('stripesize', '5');
create_unit();
assert.deepStrictEqual(find('confirm'), []);
assert.deepStrictEqual(find('replace'), ['/page2_2.html?CreateDrives=2,4,9&CreateType=RAID 5&UnitName=Data_01' +
  '&CreateStripe=5&CreateDperS=0&CacheOn=1&AutoVerify=1&IgnoreECC=1&Queuing=1&Pervault=1&c=2' +
  '&Readcache=2&QM_Recovery=3&AvailListSort=3']);
// Performance asks first; Cancel sends nothing.
calls = [];
choose('pervault', '2');
answers = [false];
create_unit();
assert.deepStrictEqual([find('confirm'), find('replace')], [['T406 performance'], []]);
// The name goes encoded, so that "#", "+", "=" and "?" reach the daemon as
// they were typed.
calls = [];
choose('pervault', '1');
forms.createform.unitname.value = 'v#1+a=b?';
create_unit();
assert.deepStrictEqual(find('replace').map((u) => u.match(/&UnitName=[^&]*&/)[0]),
                       ['&UnitName=v%231%2Ba%3Db%3F&']);
)JS");

    run(Controller{.battery = 0}, R"JS(
open_create(2);
answers = [false];
create_unit();
assert.deepStrictEqual([find('confirm'), find('replace')], [['T285 no battery'], []]);
// Without the write cache nothing is asked.
forms.createform.cacheon.checked = false;
create_unit();
assert.match(find('replace')[0], /CreateType=RAID 1&.*&CacheOn=0&/);
assert.strictEqual(find('confirm').length, 1);
)JS");

    run(Controller{.family = 9, .extended = 1, .battery = 2}, R"JS(
open_create(3, { perunit: 4 });
answers = [false];
create_unit();
// Cancel takes the write cache off; OK again creates without it.
assert.deepStrictEqual([find('confirm'), find('replace'), forms.createform.cacheon.checked],
                       [['T407 battery not ready'], [], false]);
create_unit();
assert.match(find('replace')[0], /&CacheOn=0&/);
// More drives than a unit may hold.
open_create(5, { perunit: 4 });
create_unit();
assert.deepStrictEqual([find('alert'), find('replace')], [['T520 unit limit'], []]);
// Performance needs no battery question: the cache goes unprotected on purpose.
open_create(3, { perunit: 4 });
choose('pervault', '2');
create_unit();
assert.deepStrictEqual(find('confirm'), ['T406 performance']);
)JS");

    run(kFirstSeries, R"JS(
open_create(1, FIRST_SERIES);
create_unit();
assert.deepStrictEqual(find('confirm'), []);
assert.deepStrictEqual(find('replace'), ['/page2_2.html?CreateDrives=8&CreateType=JBOD&UnitName=&CreateStripe=7' +
  '&CreateDperS=0&CacheOn=1&AutoVerify=0&IgnoreECC=0&Queuing=0&Pervault=&c=2&Readcache=0&QM_Recovery=0&AvailListSort=3']);
)JS");
}

TEST_F(UnitCreationScripts, MigrationOffersTypesTheUnitsDataFits) {
    run(Controller{}, R"JS(
// unit: its type and drives; extra: free drives checked in the pop-up.
function offered(unit, extra) {
  machine({ drives: free(4).concat([{ port: 20, spare: 1 }, { port: 21, exported: 1 }]),
            units: [Object.assign({ number: 1 }, unit), { number: 2, type: 'RAID 0', drives: 2 }] });
  forms.unitmaint.elements[0].checked = true;
  show_modifypopup(1);
  for (let i = 0; i < extra; i++) {
    const b = forms.modifyform.elements[i];
    b.checked = true;
    nummodchecked++;
    update_modraidtype();
    update_options('modify');
  }
  return texts('modraidtype', 'modifyform').map((v, i) =>
    i == forms.modifyform.modraidtype.selectedIndex ? v + '*' : v).join(',');
}
assert.strictEqual(offered({ type: 'RAID 1', drives: 2 }, 0), 'RAID 0,RAID 1*,Single Disk');
assert.strictEqual(offered({ type: 'RAID 5', drives: 3 }, 1), 'RAID 0,RAID 5*,RAID 10');
assert.strictEqual(offered({ type: 'RAID 5', drives: 3 }, 2), 'RAID 0,RAID 5*,RAID 6');
assert.strictEqual(offered({ type: 'RAID 0', drives: 2 }, 0), 'RAID 0*');
assert.strictEqual(offered({ type: 'SINGLE DISK', drives: 1 }, 1), 'RAID 0,RAID 1*');
assert.strictEqual(offered({ type: 'SINGLE DISK', drives: 1 }, 0), '--------*');
assert.strictEqual(offered({ type: 'RAID 10', drives: 4 }, 2), 'RAID 0,RAID 5,RAID 10*,RAID 50,RAID 6');
assert.strictEqual(offered({ type: 'RAID 50', drives: 6, dpers: 3 }, 0), 'RAID 0,RAID 5,RAID 50*,RAID 6');
assert.strictEqual(offered({ type: 'RAID 6', drives: 5 }, 1), 'RAID 0,RAID 5,RAID 10,RAID 50,RAID 6*');
// A RAID 50 of 12 offers its drives per subunit.
offered({ type: 'RAID 5', drives: 10 }, 2);
choose('modraidtype', 'RAID 50', 'modifyform');
update_options('modify');
assert.deepStrictEqual([values('modDperS', 'modifyform').join(','), chosen('modDperS', 'modifyform'), visible('modDperSspan')],
                       ['3,4,6', '4', true]);
assert.deepStrictEqual([values('modstripesize', 'modifyform').join(','), visible('modstripespan')], ['5,7,9', true]);
)JS");
}

TEST_F(UnitCreationScripts, MigratePopupAndRequest) {
    run(Controller{}, R"JS(
function open(units, checked) {
  machine({ drives: [{ port: 6 }, { port: 7, spare: 1 }, { port: 9, exported: 1 }, { port: 11 }],
            units: units });
  for (const i of checked) forms.unitmaint.elements[i].checked = true;
  return show_modifypopup(1);
}
const units = [{ number: 0, type: 'RAID 5', drives: 3 }, { number: 3, type: 'RAID 10', drives: 4, dpers: 2 }];
assert.strictEqual(open(units, [0, 1]), false);
assert.deepStrictEqual([find('alert'), modifypopupopen], [['T294 one unit'], 0]);
assert.strictEqual(open(units, []), false);
assert.deepStrictEqual(find('alert'), ['T295 check a unit']);

open(units, [1]);
assert.deepStrictEqual([modifypopupopen, visible('modifypopup'), whichunitchecked, nummodchecked], [1, true, '3', 4]);
assert.strictEqual(elements.ModifyUnitID.innerHTML, '<b>Unit 3</b>');
assert.strictEqual(elements.ModifyUnitNumDrives.innerHTML, '4 drives');
assert.strictEqual(elements.ModifyUnitType.innerHTML,
                   'RAID 10 <b>(<font style="font-size: 8pt;">2 Drives per subunit</font>)</b>');
assert.strictEqual(elements.ModifyUnitCapacity.innerHTML, '1.82 TB');
// The rows hold the drives that are neither spares nor exported, as the
// checkboxes do.
assert.deepStrictEqual([elements.ModifyDrivePort0.innerHTML, elements.ModifyDrivePort1.innerHTML],
                       ['<b>Port 6</b>', '<b>Port 11</b>']);
assert.deepStrictEqual(forms.modifyform.elements.filter(e => e.name == 'drive').map(e => e.value), ['6', '11']);

// OK with one more drive asks for a verify first; Cancel sends nothing.
open([{ number: 0, type: 'RAID 5', drives: 3 }], [0]);
forms.modifyform.elements[1].checked = true;
nummodchecked++;
update_modraidtype();
update_options('modify');
answers = [false];
modify_unit();
assert.deepStrictEqual([find('confirm'), find('replace')], [['T592 verify first'], []]);
modify_unit();
assert.deepStrictEqual(find('replace'), ['/page2_2.html?ModifyUnit=0&ModifyDrives=11&ModifyType=RAID 5' +
  '&ModifyStripe=9&ModifyDperS=0&CacheOn=0&AutoVerify=0&IgnoreECC=0&c=2&AvailListSort=3']);

// Nothing to migrate to.
open([{ number: 5, type: 'SINGLE DISK', drives: 1 }], [0]);
modify_unit();
assert.deepStrictEqual([find('alert'), find('replace')], [['T397 one more drive'], []]);

// Cancel closes it and restarts the refresh.
show_modifypopup(0);
assert.deepStrictEqual([modifypopupopen, visible('modifypopup'), visible('modstripespan'), find('setTimeout').length],
                       [0, false, false, 1]);
)JS");
}

// Catalogue texts of any content keep every script well formed.
TEST_F(UnitCreationScripts, HostileCatalogueTextsStayInsideTheirLiterals) {
    const char* hostile = "x\" + alert(1) + \"</script><!-- 'q' \\ \\n end";
    std::vector<pagetest::Entry> entries;
    for (int code :
         {13, 16, 285, 293, 294, 295, 396, 397, 406, 407, 416, 476, 519, 520, 536, 576, 592})
        entries.push_back({code, hostile});
    std::string file = "#0x13:" + std::to_string(entries.size()) + "\n";
    for (const pagetest::Entry& e : entries) {
        char line[32];
        snprintf(line, sizeof line, "0x%04X:\"", e.code);
        file += line;
        file += e.text;
        file += "\"\n";
    }
    env_.write_messages("de", file);
    for (int family : {3, 6, 9}) {
        std::string script =
            scripts_of(env_, Controller{.family = family, .battery = family == 6 ? 2 : 0});
        EXPECT_EQ(script.find("</script"), std::string::npos);
        std::string path = env_.dir().file("hostile.js");
        ASSERT_TRUE(pagetest::write_file(path, script));
        std::string output;
        EXPECT_EQ(pagetest::run_node("--check", path, &output), 0) << output << script;
    }
    run(Controller{}, R"JS(
open_create(0);
assert.deepStrictEqual(find('alert'), ['x" + alert(1) + "</script><!-- \'q\' \\ \n end']);
)JS");
}

}  // namespace
