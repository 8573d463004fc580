// The Maintenance page as its handler writes it from the simulated
// controllers: the unit table, the available drives and their data, the
// pop-ups of each controller generation, and every script parsing and
// acting in node whatever the drives and units are called.
#include "web/pages/maintenance_page.h"

#include <gtest/gtest.h>

#include <iostream>
#include <string>
#include <vector>

#include "daemon/http_codes.h"
#include "tests/api/library_machine.h"
#include "tests/daemon/context_fixture.h"
#include "tests/web/page_test_support.h"
#include "web/actions/handler_frame.h"
#include "web/actions/maintenance_actions.h"

namespace {

// Controller 0 (second series): a RAID 10 whose second half rebuilds, a
// spare, a single disk, a drive of an exported unit with a hostile model
// and a free drive. Controller 1 (first series): a RAID 1 rebuilding its
// second drive and two free drives. Controller 2 (a later generation): drives in enclosure
// slots, no unit.
PYV2_LIBRARY_MACHINE(R"(kernel release=6.1.0-sim
clock mode=virtual
driver name=dq-xxxx pairing=proc
driver name=dq-Mxxx pairing=sysfs
driver name=dq-sas pairing=sysfs
controller index=0 driver=dq-Mxxx arch=6 model="QX-6" ports=8
  drive port=0 model="SIMDISK A" capacity=976773168
  drive port=1 model="SIMDISK A" capacity=976773168
  drive port=2 model="SIMDISK A" capacity=976773168
  drive port=3 model="SIMDISK A" capacity=976773168
  drive port=4 model="<b>x\"'</script>\\" capacity=976773168 flags=1
  drive port=5 model="SIMDISK S" capacity=976773168
  drive port=6 model="SIMDISK D" capacity=976773168
  drive port=7 model="SIMDISK F" capacity=488397168
  unit number=0 type=raid10 drives=0,1/2,3 status=ok,rebuilding member=1 progress=0,461
  unit number=1 type=spare drives=5
  unit number=2 type=disk drives=6
controller index=1 driver=dq-xxxx model="QX-L" ports=4
  drive port=0 capacity=488397168
  drive port=1 capacity=488397168
  drive port=2 capacity=488397168
  drive port=3 capacity=234441648
  unit number=0 type=raid1 drives=0,1 status=rebuilding failed=1 progress=45
controller index=2 driver=dq-sas arch=8 model="QX-8" ports=4 phys=4
  drive port=0 model="SAS" interface=sas enclosure=0 slot=3
  drive port=1 model="SAS" interface=sas enclosure=0 slot=1
  drive port=2 model="SAS" interface=sas enclosure=0 slot=2
  phy number=0 expander=1
  enclosure number=0 type=ses kind=2 slots=4
)");

using pagetest::PageEnv;
using pagetest::run_node;
using pagetest::write_file;

class MaintenancePageTest : public ContextFixture {
  protected:
    // The answer to url at the access level.
    std::string answer(const std::string& url, int level = kAccessAdmin) {
        PageBuilder page(config_.get(), &catalogue_);
        page.set_access_level(static_cast<uint32_t>(level));
        const PageRequest request{url.c_str(), "127.0.0.1", "127.0.0.1", "", nullptr, level};
        EXPECT_EQ(handle_page2_2(context_.get(), &page, request), 0);
        return std::string(page.get_body(), static_cast<size_t>(page.get_body_length()));
    }

    // The page's script elements, in order.
    static std::vector<std::string> scripts_of(const std::string& html) {
        std::vector<std::string> scripts;
        for (size_t at = html.find("<script>"); at != std::string::npos;
             at = html.find("<script>", at + 1)) {
            const size_t end = html.find("</script>", at);
            if (end == std::string::npos) break;
            scripts.push_back(html.substr(at + 8, end - at - 8));
        }
        return scripts;
    }

    // Runs the page's scripts in node after a stand-in for the browser, then
    // the checks; the node output when it fails.
    void run_scripts(const std::string& html, const std::string& before,
                     const std::string& checks) {
        std::string js = kBrowser + before;
        for (const std::string& s : scripts_of(html)) js += s + "\n";
        js += checks;
        const std::string path = dir_.file("page.js");
        ASSERT_TRUE(write_file(path, js));
        std::string output;
        EXPECT_EQ(run_node("", path, &output), 0) << output;
    }

    // A browser with the frame set, dialogs that answer as told, element
    // look-ups and the forms the checks fill in.
    static constexpr const char* kBrowser = R"JS(
const assert = require('assert');
const calls = [];
let confirmAnswer = true;
function alert(m) { calls.push(['alert', m]); }
function confirm(m) { calls.push(['confirm', m]); return confirmAnswer; }
function setTimeout(f, ms) { calls.push(['setTimeout', ms]); return 1; }
function clearTimeout(t) { calls.push(['clearTimeout', t]); }
const elements = {};
const forms = {};
var window = { pageYOffset: 100 };
var document = {
  all: undefined,
  forms: forms,
  getElementById(id) { return elements[id] || (elements[id] = { innerHTML: '', style: {} }); },
  location: { replace(u) { calls.push(['replace', u]); }, href: '' },
  body: { scrollTop: 0 },
};
var parent = { cur_controller: 2, content: { location: { href: '' } }, menu: null };
function checkboxes(name, values) { return values.map(v => ({ type: 'checkbox', name: name, value: String(v), checked: false })); }
function replaced() { return calls.filter(c => c[0] === 'replace').map(c => c[1]); }
function alerts() { return calls.filter(c => c[0] === 'alert').map(c => c[1]); }
)JS";
};

TEST_F(MaintenancePageTest, UnitTableShowsUnitsWithTheirDrivesAndRemoveLinks) {
    const std::string page = answer("/page2_2.html?c=0&AvailListSort=3");
    EXPECT_NE(
        page.find(
            "onLoad=\"init(1);availTableCells.sort(sorttablecolumn3);update_available_drives()\""),
        std::string::npos);
    // The RAID 10: four drives in two sub-units, the second rebuilding.
    EXPECT_NE(page.find("<span id=\"unumdrives0\">4 drives</span>"), std::string::npos);
    EXPECT_NE(
        page.find(
            "<span id=\"uDperS0\" style=\"visibility: hidden;\"><font style=\"font-size: 8pt;\">2 "
            "Drives per subunit</font></span>"),
        std::string::npos);
    EXPECT_NE(page.find("<font style=\"font-size: smaller;\">Subunit 1</font>"), std::string::npos);
    // In the rebuilding half only the drive being rebuilt may go; in the
    // healthy half both.
    for (int port : {0, 1, 3}) {
        SCOPED_TRACE(port);
        EXPECT_NE(page.find("javascript:remove_drive(" + std::to_string(port) + ");"),
                  std::string::npos);
    }
    EXPECT_EQ(page.find("javascript:remove_drive(2);"), std::string::npos);
    // Spares and single disks are available drives, not units.
    EXPECT_EQ(page.find("unumdrives1"), std::string::npos);
    EXPECT_EQ(page.find("unumdrives2"), std::string::npos);
    EXPECT_NE(page.find("value=\"Migrate Unit\" onClick=\"show_modifypopup(1)\""),
              std::string::npos);
}

TEST_F(MaintenancePageTest, AvailableDrivesAreFreeDrivesSparesAndSingleDisks) {
    const std::string page = answer("/page2_2.html?c=0");
    EXPECT_NE(page.find("var numavaildrives = 4;"), std::string::npos);
    for (const char* line :
         {"availdrivelist[0] = 4;", "availdrivelist[1] = 5;", "availdrivelist[2] = 6;",
          "availdrivelist[3] = 7;", "isaspare[5] = 1;", "partofexportedunit[4] = 1;",
          "OK - SPARE</font>\";", "OK - u?</font>\";", "var availdrivephy  = new Array(8);",
          "var availTableCells  = new Array(4);", "for(i=0 ; i<8 ; i++)", "var maxcreateallowed = ",
          "var activedrivesused = 5;", "var createdrivelist = new Array(8);"}) {
        SCOPED_TRACE(line);
        EXPECT_NE(page.find(line), std::string::npos);
    }
    EXPECT_EQ(page.find("var maxdrivesperactiveunit"), std::string::npos);  // family 6
    // The rebuild pop-up offers every available drive, the spare marked; the
    // create pop-up the drives that are no spares; the migrate pop-up those
    // that are neither spares nor part of an exported unit, so that each of
    // its rows holds the drive its script shows there.
    EXPECT_NE(page.find("<td width=\"100\" align=\"right\">spare<input type=\"checkbox\" "
                        "name=\"drive\" value=\"5\">"),
              std::string::npos);
    EXPECT_NE(page.find("RebuildDrivePort3"), std::string::npos);
    EXPECT_EQ(page.find("RebuildDrivePort4"), std::string::npos);
    EXPECT_NE(page.find("CreateDrivePort2"), std::string::npos);
    EXPECT_EQ(page.find("CreateDrivePort3"), std::string::npos);
    EXPECT_NE(page.find("ModifyDrivePort1"), std::string::npos);
    EXPECT_EQ(page.find("ModifyDrivePort2"), std::string::npos);
    const size_t row =
        page.find("name=\"drive\" value=\"6\" onClick=\"this.checked ? nummodchecked++");
    ASSERT_NE(row, std::string::npos);
    EXPECT_LT(row, page.find("ModifyDrivePort0"));
    EXPECT_GT(page.find("name=\"drive\" value=\"7\" onClick=\"this.checked ? nummodchecked++"),
              page.find("ModifyDrivePort0"));
    EXPECT_NE(page.find("<input type=\"hidden\" name=\"ignoreECC\" value=\"0\">"),
              std::string::npos);
    EXPECT_NE(page.find("<input type=\"text\" name=\"unitname\" maxlength=\"20\">"),
              std::string::npos);
    EXPECT_NE(
        page.find(
            "<select name=\"pervault\"><option value=\"0\">Protection</option><option value=\"1\" "
            "selected>Balance</option><option value=\"2\">Performance</option></select>&nbsp;"),
        std::string::npos);
}

TEST_F(MaintenancePageTest, FirstSeriesOffersNoMigrationAndAnEccChoiceForTheRebuild) {
    const std::string page = answer("/page2_2.html?c=1");
    // The markup (the scripts name every control any controller may have).
    const std::string markup = page.substr(page.find("</head>"));
    EXPECT_EQ(markup.find("Migrate Unit"), std::string::npos);
    EXPECT_EQ(markup.find("id=\"modifypopup\""), std::string::npos);
    EXPECT_EQ(markup.find("unitname"), std::string::npos);
    EXPECT_EQ(markup.find("autoverifyon"), std::string::npos);
    EXPECT_EQ(markup.find("queuingEnabled"), std::string::npos);
    EXPECT_EQ(markup.find("pervault"), std::string::npos);
    EXPECT_EQ(page.find("function show_modifypopup("), std::string::npos);
    EXPECT_NE(page.find("<input type=\"checkbox\" name=\"ignoreECC\">Overwrite ECC"),
              std::string::npos);
    EXPECT_NE(page.find("<span id=\"ustatus0\"><font style=\"color: #D8D800;font-weight: "
                        "bold;\">REBUILDING 45%"),
              std::string::npos);
    // The drive being rebuilt may go, its mirror not.
    EXPECT_NE(page.find("javascript:remove_drive(1);"), std::string::npos);
    EXPECT_EQ(page.find("javascript:remove_drive(0);"), std::string::npos);
    EXPECT_NE(page.find("<td colspan=\"5\" width=\"550\" class=\"tabletitle14\">Available Drives "
                        "(Controller ID 1)"),
              std::string::npos);
}

TEST_F(MaintenancePageTest, LaterGenerationsShowPhysAndSlots) {
    const std::string page = answer("/page2_2.html?c=2&AvailListSort=6");
    EXPECT_NE(page.find("<td colspan=\"8\" width=\"785\" class=\"tabletitle14\">Available Drives"),
              std::string::npos);
    EXPECT_NE(
        page.find(
            "title=\"Sort by: VPort\"><font onClick=\"deselectalldrives();availTableCells.sort("
            "sorttablecolumn1);update_available_drives();update_page_sort_column(1)\"><u>VPort</"
            "u>"),
        std::string::npos);
    EXPECT_NE(page.find("AvailDriveListSlot2"), std::string::npos);
    EXPECT_NE(page.find("var maxdrivesperactiveunit = "), std::string::npos);
    EXPECT_NE(page.find("<font color=\"#FF0000\"><b>NO UNITS</b></font>"), std::string::npos);
    EXPECT_NE(page.find("value=\"Delete Unit\" onClick=\"delete_unit()\""), std::string::npos);
    // Sorted by slot, the drives come in the order of their slots.
    run_scripts(page, "", R"JS(
availTableCells.sort(sorttablecolumn6);
assert.deepStrictEqual(availTableCells.map(r => r[1]), [1, 2, 0]);
assert.ok(availdriveslot[0].indexOf("goto_enclosure(0,3);") > 0, availdriveslot[0]);
assert.strictEqual(availSortColumn, 6);
)JS");
}

TEST_F(MaintenancePageTest, EveryScriptParsesWhateverTheNamesHold) {
    ObjectId unit;
    ASSERT_EQ(make_unit_id(0, 0, &unit), 0);
    ASSERT_EQ(ctl_set_unit_name(unit, "<i>\"'\\"), 0);
    for (const char* url :
         {"/page2_2.html?c=0", "/page2_2.html?c=1", "/page2_2.html?c=2&AvailListSort=9"}) {
        SCOPED_TRACE(url);
        const std::string page = answer(url);
        // Two script elements, neither ended early by a value.
        const std::vector<std::string> scripts = scripts_of(page);
        ASSERT_EQ(scripts.size(), 2u);
        std::string all;
        for (const std::string& script : scripts) all += script + "\n";
        const std::string path = dir_.file("check.js");
        ASSERT_TRUE(write_file(path, all));
        std::string output;
        EXPECT_EQ(run_node("--check", path, &output), 0) << output;
        EXPECT_EQ(page.find("<i>"), std::string::npos);
        EXPECT_EQ(page.find("<b>x"), std::string::npos);
    }
    const std::string page = answer("/page2_2.html?c=0");
    EXPECT_NE(page.find("<br>&lt;i&gt;&quot;&#39;\\&nbsp;"), std::string::npos);
    // A model goes into innerHTML: escaped for HTML inside the literal.
    run_scripts(page, "", R"JS(
assert.strictEqual(availdrivemodel[4], "&lt;b&gt;x&quot;&#39;&lt;/script&gt;\\");
)JS");
}

TEST_F(MaintenancePageTest, ASortColumnOutsideTheColumnsSortsByPort) {
    for (const char* sort : {"0", "8", "-3", "99999999999"}) {
        SCOPED_TRACE(sort);
        const std::string page = answer(std::string("/page2_2.html?c=0&AvailListSort=") + sort);
        EXPECT_NE(page.find("availTableCells.sort(sorttablecolumn1);"), std::string::npos);
        EXPECT_NE(page.find("var availSortColumn = 1;"), std::string::npos);
    }
}

// A controller the page is given directly: the unit and drive records as a
// handler would fill them.
struct Records {
    explicit Records(int family) {
        list.count = 1;
        r.controller_index = 9;
        r.family = family;
        r.ports.count = 8;
        r.drive_records = new DriveRecord[8];
        for (int p = 0; p < 8; ++p) {
            ctl_make_port_id(9, static_cast<uint8_t>(p), &r.ports.ids[p]);
            r.drive_records[p].port = static_cast<uint8_t>(p);
            r.drive_records[p].status = 255;
        }
    }
    // Unit `number` of `type` at position i, holding the ports (255: a
    // member that is missing).
    UnitRecord& unit(int i, int number, int type, std::initializer_list<int> ports) {
        if (r.unit_records == nullptr) {
            r.unit_records = new UnitRecord[4];
            r.unit_drive_lists = new IdList[4];
        }
        r.units.count = static_cast<uint32_t>(i + 1);
        UnitRecord& u = r.unit_records[i];
        u.number = static_cast<uint8_t>(number);
        u.type = type;
        IdList& drives = r.unit_drive_lists[i];
        drives.count = 0;
        for (int port : ports) {
            ctl_make_drive_id(9, static_cast<uint8_t>(port == 255 ? 0 : port),
                              &drives.ids[drives.count]);
            if (port == 255)
                drives.ids[drives.count].b[2] = 0xFF;
            else
                r.drive_records[port].unit_path[0] = static_cast<uint8_t>(number);
            ++drives.count;
        }
        return u;
    }
    std::string page(PageEnv& env, int sort = 1) {
        PageBuilder builder(&env.config(), &env.catalogue());
        EXPECT_EQ(write_page2_2(builder, 0, -2, sort, &list, &r), 0);
        return std::string(builder.get_body(), static_cast<size_t>(builder.get_body_length()));
    }
    ControllerIdList list{};
    ControllerRecord r;
};

// The drive row of a port: from its port cell to the end of its row.
std::string drive_row(const std::string& page, int port) {
    const size_t at = page.find("<b>Port</b> " + std::to_string(port) + "</td>");
    return at == std::string::npos ? "" : page.substr(at, page.find("</tr>", at) - at);
}

TEST(MaintenancePageRecords, DriveRowsTakeTheStatusOfTheirDeepestSubUnit) {
    PageEnv env;
    Records c(6);
    UnitRecord& raid5 = c.unit(0, 0, 5, {0, 1, 255});
    raid5.status = 223;
    raid5.percent_complete = 45;
    UnitRecord& raid6 = c.unit(1, 1, 7, {2, 3});
    raid6.status = 255;
    raid6.has_degraded = 1;
    c.r.drive_records[3].status = 0x82;
    UnitRecord& raid10 = c.unit(2, 4, 6, {4, 5});  // its sub-units were not read
    c.r.drive_records[5].unit_path[1] = 1;
    const std::string page = c.page(env);

    EXPECT_NE(drive_row(page, 0).find("REBUILDING 45%</font>"), std::string::npos);
    EXPECT_NE(drive_row(page, 1).find("remove_drive(1)"), std::string::npos);
    EXPECT_NE(page.find("<td class=\"tabledata\"><font color=\"#FF0000\">NOT PRESENT</font></td>"),
              std::string::npos);
    // A degraded RAID 6 without redundancy left keeps its healthy drives.
    EXPECT_EQ(drive_row(page, 2).find("remove_drive"), std::string::npos);
    EXPECT_NE(drive_row(page, 3).find("#D8D800;font-weight: bold;\">WARNING"), std::string::npos);
    raid6.redundancy_left = 1;
    EXPECT_NE(drive_row(c.page(env), 2).find("remove_drive(2)"), std::string::npos);
    raid6.has_inoperable = 1;
    EXPECT_EQ(drive_row(c.page(env), 2).find("remove_drive"), std::string::npos);
    // Without sub-units a RAID 10 divides nothing and names its sub-unit.
    EXPECT_NE(page.find("<span id=\"uDperS4\" style=\"visibility: hidden;\">0</span>"),
              std::string::npos);
    EXPECT_NE(
        page.find(
            "<font style=\"font-size: smaller;\">Subunit 1</font></td>\n<td class=\"tabledata\" "
            "width=\"60\"><b>Port</b> 5"),
        std::string::npos);
    EXPECT_NE(drive_row(page, 4).find("remove_drive(4)"), std::string::npos);
    (void)raid10;
}

TEST(MaintenancePageRecords, CreateOptionsFollowTheControllersFeatures) {
    PageEnv env;
    // family, read cache, recovery policy | the option controls the create
    // pop-up offers
    const struct {
        int family, read_cache, recovery;
        const char* controls;
    } cases[] = {
        {3, 1, 1, "cacheon"},
        {4, 1, 1, "cacheon,autoverifyon,queuingEnabled,ignoreeccon"},
        {6, 0, 0, "cacheon,autoverifyon,queuingEnabled,ignoreeccon,pervault"},
        {6, 0, 1, "cacheon,autoverifyon,queuingEnabled,ignoreeccon,pervault,qm_recovery"},
        {6, 1, 1, "cacheon,autoverifyon,queuingEnabled,ignoreeccon,readcache,pervault,qm_recovery"},
    };
    for (const auto& k : cases) {
        SCOPED_TRACE(std::to_string(k.family) + " " + std::to_string(k.read_cache) + " " +
                     std::to_string(k.recovery));
        Records c(k.family);
        c.r.read_cache_supported = k.read_cache;
        c.r.recovery_policy_supported = k.recovery;
        const std::string page = c.page(env);
        const size_t from = page.find("<div id=\"createpopup\"");
        const std::string popup = page.substr(from, page.find("</div>", from) - from);
        std::string controls;
        for (const char* name : {"cacheon", "autoverifyon", "queuingEnabled", "ignoreeccon",
                                 "readcache", "pervault", "qm_recovery"})
            if (popup.find(std::string("name=\"") + name + "\"") != std::string::npos)
                controls += (controls.empty() ? "" : ",") + std::string(name);
        EXPECT_EQ(controls, k.controls);
    }
}

TEST(MaintenancePageRecords, WithoutAvailableDrivesThePopupsHaveNoRows) {
    PageEnv env;
    Records c(6);
    for (int p = 0; p < 8; ++p) c.r.drive_records[p].status = 0;  // no drive on any port
    const std::string page = c.page(env);
    EXPECT_NE(page.find("var numavaildrives = 0;"), std::string::npos);
    EXPECT_NE(page.find("<font color=\"#FF0000\"><b>NO DRIVES</b></font>"), std::string::npos);
    EXPECT_EQ(page.find("CreateDrivePort0"), std::string::npos);
    EXPECT_EQ(page.find("RebuildDrivePort0"), std::string::npos);
    EXPECT_NE(page.find("<b>NO DRIVES AVAILABLE TO USE FOR REBUILD</b>"), std::string::npos);
    EXPECT_EQ(page.find("onClick=\"rebuild_unit();\""), std::string::npos);
    EXPECT_NE(page.find("<b>NO DRIVES AVAILABLE TO USE FOR MIGRATE</b>"), std::string::npos);
    // The narrow layout's headers sort by port, model, capacity and status.
    for (int cell : {1, 2, 3, 7})
        EXPECT_NE(page.find("update_page_sort_column(" + std::to_string(cell) + ")\"><u>"),
                  std::string::npos)
            << cell;
    EXPECT_EQ(page.find("update_page_sort_column(4)"), std::string::npos);
}

TEST(MaintenancePageRecords, IncompatibleAndMissingControllers) {
    PageEnv env;
    Records c(-1);
    snprintf(c.r.error_text, sizeof c.r.error_text, "<b>no\"");
    const std::string page = c.page(env);
    EXPECT_NE(page.find("<font color=\"#FF0000\"><b>Controller ID 9  &lt;b&gt;no&quot;</b></font>"),
              std::string::npos);
    EXPECT_EQ(page.find("<form name=\"unitmaint\">"), std::string::npos);

    PageBuilder builder(&env.config(), &env.catalogue());
    ControllerIdList none{};
    none.count = static_cast<uint32_t>(kNoneFound);
    EXPECT_EQ(write_page2_2(builder, kNoneFound, kNoneFound, kNoneFound, &none, nullptr), 0);
    const std::string empty(builder.get_body(), static_cast<size_t>(builder.get_body_length()));
    EXPECT_NE(empty.find("</script>\n<font color=\"#FF0000\"><b>NO CONTROLLERS</b></font>"),
              std::string::npos);
    EXPECT_EQ(empty.find("<body"), std::string::npos);
    EXPECT_NE(empty.find("</html>"), std::string::npos);
}

// The browser side of the drive and unit actions, on controller 0's page
// sorted by capacity.
class MaintenanceScriptsTest : public MaintenancePageTest {
  protected:
    void run(const std::string& checks) {
        run_scripts(answer("/page2_2.html?c=0&AvailListSort=3"), "", R"JS(
forms.unitmaint = { elements: checkboxes('unit', [0]) };
forms.createmaint = { elements: checkboxes('drive', [4, 5, 6, 7]).concat([{ type: 'button', name: '' }]) };
forms.rebuildmaint = { elements: checkboxes('drive', [4, 5, 6, 7]).concat([{ type: 'hidden', name: 'ignoreECC', value: '0' }]) };
forms.rebuildmaint.elements.ignoreECC = forms.rebuildmaint.elements[4];
var refreshTimer = 7;
var TimeOut = 300000;
availTableCells.sort(sorttablecolumn3);
update_available_drives();
)JS" + checks);
    }
};

TEST_F(MaintenanceScriptsTest, ARowActsOnTheDriveItShowsAfterASort) {
    run(R"JS(
// By capacity the smaller drive on port 7 comes first.
assert.deepStrictEqual(availTableCells.map(r => r[1]), [7, 4, 5, 6]);
assert.strictEqual(elements.AvailDriveListID0.innerHTML, 7);
assert.strictEqual(elements.AvailDriveListStatus1.innerHTML, availdrivestatus[4]);
forms.createmaint.elements[0].checked = true;    // row 0
confirmAnswer = false;
remove_drives();
assert.deepStrictEqual(replaced(), []);
confirmAnswer = true;
remove_drives();
assert.deepStrictEqual(calls.filter(c => c[0] === 'confirm').map(c => c[1]),
                       ['Are you sure you want to remove the drive from port 7?',
                        'Are you sure you want to remove the drive from port 7?']);
forms.createmaint.elements[3].checked = true;    // row 3: port 6
remove_drives();
mark_spares();
assert.deepStrictEqual(replaced(), ['/page2_2.html?RemoveDrive=7&c=2&AvailListSort=3',
                                    '/page2_2.html?RemoveDrives=7,6&c=2&AvailListSort=3',
                                    '/page2_2.html?SpareDrives=7,6&c=2&AvailListSort=3']);
assert.deepStrictEqual(alerts(), ['The Spare(s) will be used to replace the same type of failed drive only.']);
)JS");
}

TEST_F(MaintenanceScriptsTest, DriveActionsCheckTheSelection) {
    run(R"JS(
remove_drives();
mark_spares();
clear_driveconfig();
forms.createmaint.elements[2].checked = true;    // row 2: the spare on port 5
mark_spares();
clear_driveconfig();
forms.createmaint.elements[2].checked = false;
forms.createmaint.elements[0].checked = true;    // row 0: the free drive on port 7
clear_driveconfig();
forms.createmaint.elements[0].checked = false;
forms.createmaint.elements[1].checked = true;    // row 1: the exported drive on port 4
mark_spares();
clear_driveconfig();
const none = 'Please check at least one available drive for the operation';
const configured = 'One or more checked drive(s) have valid configurations.  Clear the configurations first before apply this operation.';
const unconfigured = 'One or more checked drive(s) do not have valid configurations.  This operation is for drive(s) that have configurations only.';
assert.deepStrictEqual(alerts(), [none, none, none, configured, unconfigured, configured]);
assert.deepStrictEqual(replaced(), ['/page2_2.html?ClearDrivesConfig=5&c=2&AvailListSort=3',
                                    '/page2_2.html?ClearDrivesConfig=4&c=2&AvailListSort=3']);
selectalldrives();
assert.ok(forms.createmaint.elements.slice(0, 4).every(e => e.checked));
assert.strictEqual(elements.SelectAllDrivesSpan.innerHTML, 'Deselect All Drives');
deselectalldrives();
assert.ok(forms.createmaint.elements.every(e => !e.checked));
assert.strictEqual(elements.SelectAllDrivesSpan.innerHTML, 'Select All Drives');
)JS");
}

TEST_F(MaintenanceScriptsTest, UnitActionsAndTheRebuildPopup) {
    run(R"JS(
verify_unit();
show_rebuildpopup(1);
remove_unit();
delete_unit();
forms.unitmaint.elements = checkboxes('unit', [0, 2]);
forms.unitmaint.elements.forEach(e => e.checked = true);
verify_unit();
show_rebuildpopup(1);
confirmAnswer = false;
delete_unit();
confirmAnswer = true;
remove_unit();
delete_unit();
stop_verify(2);
assert.deepStrictEqual(alerts(), ['Please check a unit to verify', 'Please check a unit to rebuild',
                                  'Please check at least one unit to remove', 'Please check at least one unit to delete',
                                  'You may only check one unit to verify', 'You may only check one unit to rebuild']);
assert.deepStrictEqual(replaced(), ['/page2_2.html?RemoveUnits=0,2&c=2',
                                    '/page2_2.html?DeleteUnits=0,2&c=2&AvailListSort=3',
                                    '/page2_2.html?StopVerifyUnit=2&c=2&AvailListSort=3']);
assert.strictEqual(calls.filter(c => c[0] === 'confirm')[1][1],
                   'Are you sure you want to remove the following unit(s)?: 0,2');
// The rebuild pop-up: rows in the order the drives were written, the
// refresh stopped while it is open, and nothing else starts meanwhile.
calls.length = 0;
forms.unitmaint.elements[1].checked = false;
show_rebuildpopup(1);
assert.strictEqual(unittorebuild, '0');
assert.strictEqual(elements.RebuildDrivePort0.innerHTML, '<b>Port 4</b>');
assert.strictEqual(elements.RebuildDriveStatus1.innerHTML, availdrivestatus[5]);
assert.strictEqual(elements.rebuildpopup.style.visibility, 'visible');
assert.strictEqual(elements.rebuildpopup.style.top, '140px');
assert.deepStrictEqual(calls, [['clearTimeout', 7]]);
rescan_controller();
verify_unit();
remove_unit();
assert.deepStrictEqual(replaced(), []);
rebuild_unit();
assert.deepStrictEqual(alerts(), ['Please check a drive to use to rebuild']);
forms.rebuildmaint.elements[3].checked = true;
forms.rebuildmaint.elements[1].checked = true;
rebuild_unit();
assert.strictEqual(rebuildpopupopen, 0);
assert.strictEqual(elements.rebuildpopup.style.visibility, 'hidden');
assert.deepStrictEqual(replaced(), ['/page2_2.html?RebuildUnit=0&RebuildDrives=5,7&ignoreECC=0&c=2&AvailListSort=3']);
rescan_controller();
assert.strictEqual(replaced()[1], '/page2_2.html?RescanController=1&c=2&AvailListSort=3');
)JS");
}

TEST_F(MaintenanceScriptsTest, TheSortColumnGoesIntoTheContentAddress) {
    run(R"JS(
parent.content.location.href = 'https://h/page2_2.html?c=0&AvailListSort=1&auto=1';
update_page_sort_column(3);
assert.strictEqual(document.location.href, 'https://h/page2_2.html?c=0&AvailListSort=3&auto=1');
parent.content.location.href = 'https://h/page2_2.html?c=0';
update_page_sort_column(5);
assert.strictEqual(document.location.href, 'https://h/page2_2.html?c=0&AvailListSort=5');
)JS");
}

}  // namespace
