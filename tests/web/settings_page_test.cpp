// The Controller Settings page: what it shows of each kind of controller and
// unit, that every text from outside is escaped and every script parses
// whatever the texts hold, and what its scripts request, ask and refuse,
// run in node against a stand-in for the browser.
#include "web/pages/settings_page.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "daemon/http_codes.h"
#include "daemon/snapshot_records.h"
#include "tests/web/page_test_support.h"
#include "web/pages/page_builder.h"
#include "web/pages/record_access.h"

namespace {

using pagetest::PageEnv;
using pagetest::section;

struct UnitSpec {
    int number;
    int type;
    const char* name = "";
    int write_cache = 1;
    int read_cache = 2;
    int auto_verify = 0;
    int ecc = 0;
    int queuing = 1;
    int pervault = 0;
    int quickmend = 3;
};

// One controller at position 0 with the given family and units.
struct Machine {
    explicit Machine(int family, std::vector<UnitSpec> units = {}) {
        list.count = 1;
        ControllerRecord& r = records[0];
        r.position = 0;
        r.controller_index = 4;
        r.family = family;
        r.rebuild_rate = 3;
        r.verify_rate = 2;
        r.rebuild_mode = 0;
        r.verify_mode = 0;
        r.ports.count = 8;
        r.spinups_allowed = 2;
        r.stagger_time = 6;
        r.carve_size_gb = 2048;
        r.battery = new BatteryRecord();
        r.units.count = static_cast<uint32_t>(units.size());
        if (units.empty()) return;
        r.unit_records = new UnitRecord[units.size()];
        r.unit_cache_records = new UnitCacheRecord[units.size()];
        for (size_t i = 0; i < units.size(); ++i) {
            const UnitSpec& s = units[i];
            UnitRecord& u = r.unit_records[i];
            u.number = static_cast<uint8_t>(s.number);
            u.type = s.type;
            snprintf(u.name, sizeof u.name, "%s", s.name);
            u.auto_verify = static_cast<uint8_t>(s.auto_verify);
            u.ecc_on_rebuild = static_cast<uint8_t>(s.ecc);
            u.queuing = static_cast<uint8_t>(s.queuing);
            u.protection_mode = static_cast<uint8_t>(s.pervault);
            u.recovery_policy = static_cast<uint8_t>(s.quickmend);
            r.unit_cache_records[i].write_cache = static_cast<uint8_t>(s.write_cache);
            r.unit_cache_records[i].read_cache_mode = static_cast<uint8_t>(s.read_cache);
        }
    }
    ControllerRecord& r() { return records[0]; }
    ControllerIdList list{};
    ControllerRecord records[1];
};

std::string page_of(PageEnv& env, Machine& m, int verdict = 0, int level = kAccessAdmin) {
    PageBuilder page(&env.config(), &env.catalogue());
    page.set_access_level(static_cast<uint32_t>(level));
    write_page2_0(page, 0, &m.list, m.records, verdict);
    return std::string(page.get_body(), static_cast<size_t>(page.get_body_length()));
}

bool has(const std::string& html, const std::string& part) {
    return html.find(part) != std::string::npos;
}

// The page's two scripts: the head's, and set_cache's at the start of the
// body, each ended by the first "</script" after it (where a browser ends
// it). A script that a value ended early, or that holds "<!--", is not
// returned. Catalogue texts elsewhere in the body are trusted HTML.
std::vector<std::string> scripts_of(const std::string& html) {
    std::string lower = html;
    for (char& ch : lower) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
    std::vector<std::string> out;
    auto take = [&](size_t begin, const char* expected_end) {
        const size_t end = lower.find("</script", begin);
        if (end == std::string::npos ||
            html.compare(end, std::strlen(expected_end), expected_end) != 0)
            return false;
        const std::string script = html.substr(begin, end - begin);
        if (script.find("<!--") != std::string::npos) return false;
        out.push_back(script);
        return true;
    };
    const size_t head = html.find("<script>\n");
    if (head == std::string::npos || !take(head + 9, "</script>\n</head>")) return out;
    const std::string body_start = "onLoad=\"init(1);\">\n<script>\n";
    const size_t body = html.find(body_start);
    if (body != std::string::npos) take(body + body_start.size(), "</script>\n");
    return out;
}

const char* const kHostile = "Evil \"q\" 'a' </script><!-- \\ \\n \\x \xE2\x80\xA8 end\\";
const char* const kHostileName = "<b>\"'&x</b>\\";
// Fills a report's 16-byte image version whole, without a NUL.
const char* const kHostileVersion = "<i>\"'&</i>\\12345";
const char* const kHostileError = "Err \"q\" 'a' <s>&</s>";

// Every catalogue text the page's scripts carry, hostile, in German.
std::string hostile_catalogue() {
    std::string out;
    for (int code : {3, 144, 285, 385, 395, 398, 406, 413, 442, 536, 537, 555}) {
        out += section(0x13, {{code, kHostile}});
    }
    return out;
}

using MachinePtr = std::unique_ptr<Machine>;

MachinePtr hostile_machine(int family) {
    MachinePtr p(
        new Machine(family, {{0, 5, kHostileName}, {1, 13, kHostileName}, {2, 6, kHostileName}}));
    Machine& m = *p;
    snprintf(m.r().error_text, sizeof m.r().error_text, "%s", kHostileError);
    FirmwareCompatReport& report = m.r().firmware_check;
    std::memcpy(report.image_version, kHostileVersion, sizeof report.image_version);
    snprintf(report.firmware_version, sizeof report.firmware_version, "%s", kHostileVersion);
    snprintf(report.library_version, sizeof report.library_version, "%s", kHostileVersion);
    snprintf(report.driver_version, sizeof report.driver_version, "%s", kHostileVersion);
    return p;
}

TEST(SettingsPage, ScriptsParseAndOutsideTextsAreEscapedWhateverTheyHold) {
    PageEnv env("Language 1\nRefresh 3\n");
    env.write_messages("de", hostile_catalogue());
    std::string files;
    int n = 0;
    for (int family : {-1, 3, 4, 6, 8}) {
        for (int verdict : {0, 3, 4, 5, 6}) {
            for (int bbu : {0, 1}) {
                SCOPED_TRACE("family " + std::to_string(family) + " verdict " +
                             std::to_string(verdict) + " bbu " + std::to_string(bbu));
                MachinePtr m = hostile_machine(family);
                m->r().battery->bbu_present = bbu;
                const std::string html = page_of(env, *m, verdict);
                EXPECT_FALSE(has(html, "<b>\"'&x")) << "a unit name as markup";
                EXPECT_FALSE(has(html, "<i>\"'&")) << "a version as markup";
                EXPECT_FALSE(has(html, "<s>&")) << "an error text as markup";
                const std::vector<std::string> scripts = scripts_of(html);
                ASSERT_EQ(scripts.size(), 2u) << html;
                for (const std::string& script : scripts) {
                    const std::string path = env.dir().file("s" + std::to_string(n++) + ".js");
                    ASSERT_TRUE(pagetest::write_file(path, script));
                    files += "'" + path + "',";
                }
            }
        }
    }
    // Each script compiled on its own, in one run of node.
    const std::string check = env.dir().file("check.js");
    ASSERT_TRUE(pagetest::write_file(
        check, "const fs = require('fs'); let bad = 0;\nfor (const f of [" + files +
                   "]) {\n  try { new Function(fs.readFileSync(f, 'utf8')); }\n"
                   "  catch (e) { console.log(f + ': ' + e.message); bad = 1; }\n}\n"
                   "process.exit(bad);\n"));
    std::string output;
    EXPECT_EQ(pagetest::run_node("", check, &output), 0) << output;

    PageEnv english;
    MachinePtr m = hostile_machine(8);
    const std::string html = page_of(english, *m, 3);
    EXPECT_TRUE(has(html, "value=\"&lt;b&gt;&quot;&#39;&amp;x&lt;/b&gt;\\\"")) << html;
    EXPECT_TRUE(has(html, "class=\"tabledata\">&lt;i&gt;&quot;&#39;&amp;&lt;/i&gt;\\12345</td>"))
        << html;
    MachinePtr failed = hostile_machine(-1);
    EXPECT_TRUE(
        has(page_of(english, *failed),
            "Controller ID 4  Err &quot;q&quot; &#39;a&#39; &lt;s&gt;&amp;&lt;/s&gt;</font></b>"));
}

TEST(SettingsPage, WithoutControllersSaysSoAndNothingElse) {
    PageEnv env;
    PageBuilder page(&env.config(), &env.catalogue());
    ControllerIdList list{};
    list.count = static_cast<uint32_t>(kNoneFound);
    write_page2_0(page, kNoneFound, &list, nullptr, 0);
    const std::string html(page.get_body(), static_cast<size_t>(page.get_body_length()));
    const std::string body = html.substr(html.find("<body"));
    EXPECT_TRUE(
        has(body, "<b><font color=\"#FF0000\">NO CONTROLLERS</font></b>\n<hr width=\"100%\""));
    EXPECT_FALSE(has(html, "function set_cache"));
    EXPECT_FALSE(has(body, "<table"));
}

// What each kind of controller shows and leaves out. Each case: the
// machine, parts that must be on the page and parts that must not.
struct ShownCase {
    const char* name;
    MachinePtr (*machine)();
    int verdict;
    int level;
    std::vector<std::string> shown;
    std::vector<std::string> not_shown;
};

MachinePtr first_series() {
    return MachinePtr(new Machine(3, {{0, 5}, {1, 13}, {2, 1, "", 0}, {3, 12}}));
}
MachinePtr family4() { return MachinePtr(new Machine(4, {{0, 5}, {1, 13}})); }
MachinePtr family8_modes() {
    MachinePtr p(
        new Machine(8, {{0, 0}, {1, 13}, {2, 1, "", 1, 2, 0, 0, 1, 0, 0}, {3, 11}, {4, 15}}));
    Machine& m = *p;
    m.r().task_mode_supported = 1;
    m.r().read_cache_supported = 1;
    m.r().recovery_policy_supported = 1;
    m.r().rebuild_mode = 1;
    m.r().rebuild_rate = 1;
    m.r().phys.count = 6;
    return p;
}
MachinePtr only_disks() { return MachinePtr(new Machine(8, {{0, 12}, {1, 12}})); }
MachinePtr migrating() {
    MachinePtr p(new Machine(8, {{0, 32}, {1, 32}}));
    Machine& m = *p;
    UnitRecord& u = m.r().unit_records[0];
    u.sub_units.count = 2;
    u.sub_unit_records = new UnitRecord[2];
    u.sub_unit_records[0].type = 1;
    u.sub_unit_records[1].type = 5;
    return p;
}
MachinePtr eight_units() {
    std::vector<UnitSpec> units;
    for (int i = 0; i < 8; ++i) units.push_back({i, 5});
    MachinePtr p(new Machine(8, units));
    p->r().read_cache_supported = 1;
    return p;
}
MachinePtr failed_controller() {
    MachinePtr p(new Machine(-1, {{0, 5}}));
    snprintf(p->r().error_text, sizeof p->r().error_text, "%s", "Controller not found");
    return p;
}
MachinePtr few_ports() {
    MachinePtr p(new Machine(6));
    p->r().ports.count = 1;
    return p;
}

TEST(SettingsPage, ShowsWhatEachControllerAndUnitOffers) {
    const ShownCase cases[] = {
        {"first series: one-argument rates, write cache radios, no second-series tables",
         first_series,
         0,
         kAccessAdmin,
         {"<td colspan=\"2\" class=\"tabletitle12\">Background Task (Controller ID 4)</td>",
          "<input type=\"radio\" name=\"rebuildrate\" onClick=\"change_rebuild_rate(5)\">",
          "<input type=\"radio\" name=\"rebuildrate\" onClick=\"change_rebuild_rate(3)\" checked>",
          "Unit Write Cache (Controller ID 4)",
          "<input type=\"radio\" name=\"writecache0\" checked>Enabled&nbsp;<input type=\"radio\" "
          "name=\"writecache0\" onClick=\"set_cache(0, 1, 0)\">Disabled",
          "<input type=\"radio\" name=\"writecache2\" onClick=\"set_cache(2, 1, 1)\">Enabled&nbsp;"
          "<input type=\"radio\" name=\"writecache2\" checked>Disabled",
          "[SPARE]</b></td><td width=\"530\" class=\"tabledata\">--</td>"},
         {"verifyrate", "Unit Policies", "Unit Names", "name=\"fwcheck\"",
          "javascript:goto_unit(3)"}},
        {"family 4: no queuing, Pervault or Quickmend, no auto rebuild or carve size",
         family4,
         0,
         kAccessAdmin,
         {"<td width=\"60\" class=\"tabledatacenter\"><b>&nbsp;</b></td>"
          "<td width=\"115\" class=\"tabledatacenter\"><b>&nbsp;</b></td>"
          "<td width=\"80\" class=\"tabledatacenter\"><b>&nbsp;</b></td>",
          "<td class=\"tabledatacenter\">&nbsp;</td><td class=\"tabledatacenter\">&nbsp;</td>",
          "<b>Disable Write Cache on Unit Degrade</b></td><td width=\"530\" class=\"tabledata\">No",
          "<td colspan=\"7\" class=\"tabletitle12\">Unit Policies"},
         {"Auto Rebuild", "name=\"carvesize\"", "Read&nbsp;Cache", "Number of Controller Phys"}},
        {"task modes, read cache, Quickmend, phys; spares and non-redundant units",
         family8_modes,
         0,
         kAccessAdmin,
         {"<td colspan=\"3\" class=\"tabletitle12\">Background Task",
          "<input type=\"radio\" name=\"rebuildmode\" onClick=\"change_c_BRAP(0, "
          "0xFF)\">Adaptive&nbsp;"
          "<input type=\"radio\" name=\"rebuildmode\" checked>Low Latency",
          "<input type=\"radio\" name=\"verifymode\" checked>Adaptive&nbsp;<input type=\"radio\" "
          "name=\"verifymode\" onClick=\"change_c_BVAP(1, 2)\">Low Latency",
          "&nbsp;Recommended: With Low Latency mode, use a  Rebuild/Migrate Task Rate greater than "
          "1",
          "<td colspan=\"8\" class=\"tabletitle12\">Unit Policies",
          // A spare keeps only its auto verify checkbox.
          "[SPARE]</b></td><td class=\"tabledatacenter\">--</td><td "
          "class=\"tabledatacenter\">--</td>"
          "<td class=\"tabledatacenter\"><input type=\"checkbox\" name=\"autoverify\" "
          "onClick=\"set_auto_verify(1, 1)\"></td><td class=\"tabledatacenter\">--</td>"
          "<td class=\"tabledatacenter\">--</td><td class=\"tabledatacenter\">--</td>"
          "<td class=\"tabledatacenter\">--</td></tr>",
          // RAID 0: no overwrite ECC and no Quickmend.
          "onClick=\"set_auto_verify(0, 1)\"></td><td class=\"tabledatacenter\">--</td>",
          "onChange=\"set_pervault(0, this.options[this.selectedIndex].value)\"><option "
          "value=\"0\" "
          "selected>Protection</option><option value=\"1\">Balance</option><option value=\"2\">"
          "Performance</option></select></td><td class=\"tabledatacenter\">--</td></tr>",
          // A disabled Quickmend policy cannot be changed.
          "<select name=\"qm_recovery\" onChange=\"set_qm_recovery(2, "
          "this.options[this.selectedIndex].value)\" disabled><option value=\"3\">All</option>"
          "<option value=\"1\">Rebuild</option><option value=\"0\" "
          "selected>Disable</option></select>",
          "<input type=\"checkbox\" name=\"writecache\" onClick=\"set_cache(2, 1, 0, this)\" "
          "checked>",
          "<option value=\"0\">Disabled</option><option value=\"1\">Basic</option><option "
          "value=\"2\" "
          "selected>Intelligent</option>",
          "<input type=\"checkbox\" name=\"queuing\" onClick=\"set_queuing(2, 0)\" checked>",
          "[JBOD]", "[SINGLE DISK]",
          "<input type=\"text\" name=\"carvesize\" maxlength=\"20\" value=\"2048 \">",
          "<b>Number of Drives per Spin-up</b></td><td width=\"530\" class=\"tabledata\">2</td>",
          "<b>Delay between Spin-up</b></td><td width=\"530\" class=\"tabledata\">6 second(s)</td>",
          "<a href=\"javascript:goto_physummary(-1);\" style=\"color: #0000FF; text-decoration: "
          "underline; font-weight: bold;\">6</a>",
          "<input type=\"button\" value=\"Begin Update\" onClick=\"submit_fwcheck();\">",
          "style=\"position:absolute; z-index: -1; left: 30;top: 20; visibility: hidden\"",
          "var TimeOut = 300000;", "This page will automatically refresh every 5 minute(s)"},
         {"visibility:hidden;\"><select", "Disable Write Cache on Unit Degrade", "Proceed Update"}},
        {"units of type 12 are in no table",
         only_disks,
         0,
         kAccessAdmin,
         {"<td colspan=\"7\" class=\"tabledata\"><b><font color=\"#FF0000\">NO UNITS</font></b>",
          "<td colspan=\"2\" width=\"750\" class=\"tabledata\"><b><font color=\"#FF0000\">NO "
          "UNITS"},
         {"javascript:goto_unit(", "Save Names"}},
        {"a migrating unit shows both layouts",
         migrating,
         0,
         kAccessAdmin,
         {"Unit 0</a>&nbsp;&nbsp;[RAID 1 > RAID 5]</b>", "Unit 1</a>&nbsp;&nbsp;[UNKNOWN]</b>",
          "<input type=\"checkbox\" name=\"ecc\" onClick=\"set_ecc(1, 1)\">"},
         {}},
        {"the pop-up hides the read caches of the first seven units",
         eight_units,
         5,
         kAccessAdmin,
         {"style=\"position:absolute; z-index: 20; left: 30;top: 20; visibility: visible\"",
          "<font color=\"#E0A000\">Current management tools are not compatible",
          "Recommendation: Update tools and then update the firmware.",
          "onClick=\"submit_upgrade(5);\"",
          // A reload would ask for the check again without its image.
          "var TimeOut = 0;"},
         {"automatically refresh"}},
        {"a controller whose record failed to fill: its error and no tables",
         failed_controller,
         0,
         kAccessAdmin,
         {"<body bgcolor=\"#FFFFFF\" onLoad=\"init(1);\">\n<script>\nfunction set_cache(",
          "</script>\n<b><font color=\"#FF0000\">Controller ID 4  Controller not "
          "found</font></b>\n<hr"},
         {"<table", "<form", "goto_unit(0)"}},
        {"a user's update button is disabled",
         few_ports,
         0,
         kAccessUser,
         {"<input type=\"button\" value=\"Begin Update\" disabled>",
          "<b>Number of Drives per Spin-up</b></td><td width=\"530\" class=\"tabledata\">--</td>",
          "<b>Delay between Spin-up</b></td><td width=\"530\" class=\"tabledata\">--</td>",
          "<td colspan=\"7\" class=\"tabledata\"><b><font color=\"#FF0000\">NO UNITS"},
         {"submit_fwcheck();\">", "Number of Controller Phys"}},
    };
    PageEnv env;
    for (const ShownCase& c : cases) {
        SCOPED_TRACE(c.name);
        MachinePtr m = c.machine();
        const std::string html = page_of(env, *m, c.verdict, c.level);
        for (const std::string& part : c.shown)
            EXPECT_TRUE(has(html, part)) << part << "\n" << html;
        for (const std::string& part : c.not_shown) EXPECT_FALSE(has(html, part)) << part;
    }
    // With the pop-up shown, units at positions 0 to 6 hide their read
    // cache, the eighth does not.
    MachinePtr m = eight_units();
    const std::string html = page_of(env, *m, 5);
    size_t hidden = 0;
    for (size_t at = html.find("visibility:hidden;\"><select"); at != std::string::npos;
         at = html.find("visibility:hidden;\"><select", at + 1))
        ++hidden;
    EXPECT_EQ(hidden, 7u);
    EXPECT_TRUE(
        has(html, "visibility:visible;\"><select name=\"readcache\" onChange=\"set_cache(7,"));
}

TEST(FirmwareVerdict, FromTheLibrarysAndTheDriversVerdicts) {
    struct Case {
        int library, driver, verdict;
    };
    const Case cases[] = {{1, 1, kVerdictCompatible},
                          {1, 2, kVerdictCompatible},
                          {1, 0, kVerdictDriverIncompatible},
                          {0, 1, kVerdictToolsIncompatible},
                          {0, 2, kVerdictToolsIncompatible},
                          {0, 0, kVerdictNeitherCompatible},
                          {2, 1, kVerdictNone},
                          {1, 3, kVerdictNone},
                          {255, 255, kVerdictNone}};
    for (const Case& c : cases) {
        FirmwareCompatReport report{};
        report.library_verdict = static_cast<uint8_t>(c.library);
        report.driver_verdict = static_cast<uint8_t>(c.driver);
        EXPECT_EQ(firmware_verdict(report), c.verdict) << c.library << "/" << c.driver;
    }
}

// ---- The scripts in a stand-in browser.

const char* const kBrowser = R"JS(
const assert = require('assert');
const calls = [];
let answers = [];
function confirm(m) { calls.push(['confirm', m]); return answers.length ? answers.shift() : true; }
function alert(m) { calls.push(['alert', m]); }
function setTimeout(f, ms) { calls.push(['setTimeout', f, ms]); return 7; }
function clearTimeout(t) { calls.push(['clearTimeout', t]); }
const popup = {};
var window = { pageYOffset: 100 };
var document = {
  all: undefined,
  location: { replace(u) { calls.push(['replace', u]); }, reload(f) { calls.push(['reload', f]); } },
  forms: {},
  getElementById(id) { assert.strictEqual(id, 'fwcheckpopup'); return { style: popup }; },
  body: { scrollTop: 0 },
};
var parent = { cur_controller: 2, menu: null };
function take() { return calls.splice(0); }
function sent(u) { return [['replace', u]]; }
)JS";

void run_scripts(PageEnv& env, Machine& m, const std::string& checks) {
    const std::vector<std::string> scripts = scripts_of(page_of(env, m));
    ASSERT_EQ(scripts.size(), 2u);
    const std::string source = kBrowser + scripts[0] + scripts[1] + checks;
    const std::string path = env.dir().file("run.js");
    ASSERT_TRUE(pagetest::write_file(path, source));
    std::string output;
    EXPECT_EQ(pagetest::run_node("", path, &output), 0) << output << "\n" << checks;
}

TEST(SettingsScripts, RequestTheirKeysWithTheCurrentController) {
    PageEnv env;
    Machine m(8);
    run_scripts(env, m, R"JS(
const cases = [
  [() => change_rebuild_rate(4, 0), '/page2_0.html?ChangeRebuildRate=4&c=2'],
  [() => change_verify_rate(2, 1), '/page2_0.html?ChangeVerifyRate=2&c=2'],
  [() => change_c_BRAP(0, 0xFF), '/page2_0.html?ChangeBRAP=0&c=2'],
  [() => change_c_BVAP(1, 3), '/page2_0.html?ChangeBVAP=1&c=2'],
  [() => change_c_sata_link_speed(1), '/page2_0.html?ChangeSATALinkSpeed=1&c=2'],
  [() => change_c_sas_link_speed(2), '/page2_0.html?ChangeSASLinkSpeed=2&c=2'],
  [() => set_auto_verify(3, 1), '/page2_0.html?SetAutoVerifyUnit=3&Enable=1&c=2'],
  [() => set_ecc(3, 0), '/page2_0.html?SetECCUnit=3&Enable=0&c=2'],
  [() => set_queuing(3, 1), '/page2_0.html?SetQueuing=3&Enable=1&c=2'],
  [() => set_pervault(3, '1'), '/page2_0.html?Pervault=3&Value=1&c=2'],
  [() => set_qm_recovery(3, '3'), '/page2_0.html?QM_Recovery=3&Value=3&c=2'],
  [() => set_auto_rebuild(0), '/page2_0.html?AutoRebuild=0&c=2'],
  [() => set_multi_lun(1), '/page2_0.html?MultiLun=1&c=2'],
  [() => set_cache(3, 0, '1'), '/page2_0.html?SetReadCacheUnit=3&SetCacheEnable=1&c=2'],
  [() => set_cache(3, 1, 0, {checked: false}), '/page2_0.html?SetWriteCacheUnit=3&SetCacheEnable=0&c=2'],
  [() => cancel_upgrade(), '/fwupdate_canceled.html?c=2'],
];
for (const [call, url] of cases) {
  call();
  assert.deepStrictEqual(take().filter(c => c[0] === 'replace'), sent(url), String(call));
}
)JS");
}

TEST(SettingsScripts, AskBeforeRiskySettingsAndReloadWhenRefused) {
    PageEnv env;
    Machine m(8);  // without a battery backup unit
    run_scripts(env, m, R"JS(
const lowLatency = 'Warning:  For the background task, settings of Low Latency with a Task Rate of 1 (fastest I/O) may cause the task to never complete.\nDo you wish to continue?';
for (const call of [() => change_rebuild_rate(1, 1), () => change_verify_rate(1, 1),
                    () => change_c_BRAP(1, 1), () => change_c_BVAP(1, 1)]) {
  answers = [false];
  call();
  assert.deepStrictEqual(take(), [['confirm', lowLatency], ['reload', true]], String(call));
  answers = [true];
  call();
  const c = take();
  assert.deepStrictEqual(c[0], ['confirm', lowLatency]);
  assert.strictEqual(c[1][0], 'replace');
}
// Other combinations, and the first series' one-argument call, never ask.
for (const call of [() => change_rebuild_rate(1, 0), () => change_rebuild_rate(2, 1),
                    () => change_rebuild_rate(1), () => change_c_BRAP(0, 0xFF), () => change_c_BRAP(1, 2)]) {
  call();
  assert.deepStrictEqual(take().map(c => c[0]), ['replace'], String(call));
}

answers = [false];
set_pervault(1, '2');
assert.deepStrictEqual(take(), [['confirm', 'The unit Pervault policy is set to Performance which may cause data loss in the event of power failure.  Do you wish to continue?'], ['reload', true]]);
set_pervault(1, '0');
assert.deepStrictEqual(take().map(c => c[0]), ['replace']);
answers = [false];
set_qm_recovery(1, '0');
assert.deepStrictEqual(take(), [['confirm', 'Setting Quickmend to Disable is permanent for this unit and CANNOT be changed at a later time.    Do you wish to continue?'], ['reload', true]]);

// Enabling a write cache without a battery backup unit.
const box = { checked: true };
answers = [false];
assert.strictEqual(set_cache(2, 1, 1, box), false);
assert.deepStrictEqual(take(), [['confirm', 'You do not have a battery backup unit installed, enabling write cache may cause loss of data in the event of power failure.  Do you wish to continue?']]);
assert.strictEqual(box.checked, false);
answers = [true];
set_cache(2, 1, 1, box);
assert.deepStrictEqual(take().map(c => c[0]), ['confirm', 'replace']);
set_cache(2, 1, 0, box);
assert.deepStrictEqual(take().map(c => c[0]), ['replace']);
)JS");

    // With a battery backup unit, or on the first series, it never asks.
    Machine with_battery(8);
    with_battery.r().battery->bbu_present = 1;
    Machine first(3);
    for (Machine* machine : {&with_battery, &first}) {
        run_scripts(env, *machine, R"JS(
answers = [false];
set_cache(2, 1, 1, { checked: true });
assert.deepStrictEqual(take(), sent('/page2_0.html?SetWriteCacheUnit=2&SetCacheEnable=1&c=2'));
)JS");
    }
}

TEST(SettingsScripts, RefuseCarveSizesAndNamesTheDaemonWouldRefuse) {
    PageEnv env;
    Machine m(8);
    run_scripts(env, m, R"JS(
const range = 'Invalid carve size entered!  The value is out of carve size range  1024 .. 32768';
for (const value of ['1023', '32769', 'abc', '', '1024&MultiLun=1']) {
  document.forms.ss = { elements: { carvesize: { value: value } } };
  assert.strictEqual(changecarvesize(), false);
  assert.deepStrictEqual(take(), [['alert', range]], value);
}
for (const value of ['1024', '32768 ']) {
  document.forms.ss = { elements: { carvesize: { value: value } } };
  changecarvesize();
  assert.deepStrictEqual(take(), sent('/page2_0.html?CarveSize=' + value + '&c=2'));
}

const field = (name, value) => ({ type: 'text', name: name, value: value });
document.forms.unitnamechange = { elements: [field('unitname0', 'ok'), field('unitname1', 'bad name'),
                                             { type: 'button', name: 'save' }, field('unitname12', 'a,b'),
                                             field('dummy', 'x y')] };
assert.strictEqual(changeunitnames(), false);
assert.deepStrictEqual(take(), [['alert', 'The following unit(s) have names with invalid characters: 1,12']]);
// Every name is sent, encoded, in the order of the numbers.
document.forms.unitnamechange = { elements: [field('unitname0', 'vol#1+a=b'), field('unitname1', ''),
                                             field('unitname12', 'M\u00e4rz?'), field('dummy', '')] };
changeunitnames();
assert.deepStrictEqual(take(), sent('/page2_0.html?UnitNames=vol%231%2Ba%3Db,,M%C3%A4rz%3F&UnitNums=0,1,12&c=2'));
document.forms.unitnamechange = { elements: [field('dummy', '')] };
assert.strictEqual(changeunitnames(), false);
assert.deepStrictEqual(take(), [['alert', 'No units available to rename']]);
)JS");
}

TEST(SettingsScripts, FirmwarePopUpAndUpdate) {
    PageEnv env("Refresh 3\n");
    Machine m(8);
    run_scripts(env, m, R"JS(
// The upload, after its warning.
let submitted = 0;
document.forms.fwcheck = { submit() { submitted++; } };
answers = [false];
submit_fwcheck();
assert.strictEqual(submitted, 0);
const warning = take()[0][1];
assert.ok(warning.startsWith('Warning: Updating the firmware can render'));
assert.ok(warning.includes(':\n 1) Back up your data.\n 2) '));
submit_fwcheck();
assert.strictEqual(submitted, 1);
take();

// Showing stops the refresh; a second show does nothing; hiding restarts it.
show_fwcheckpopup(1);
assert.deepStrictEqual(popup, { top: 140, zIndex: 10, visibility: 'visible' });
assert.deepStrictEqual(take(), [['clearTimeout', undefined]]);
show_fwcheckpopup(1);
assert.deepStrictEqual(take(), []);
show_fwcheckpopup(0);
assert.deepStrictEqual(popup, { top: 140, zIndex: -1, visibility: 'hidden' });
assert.deepStrictEqual(take(), [['setTimeout', 'document.location.reload(true)', 180000]]);

// Proceed updates only where the driver takes the image.
const minutes = 'While the firmware upgrade is in process, the browser may appear to be stopped.  This process may take up to several minutes, click OK to continue.';
for (const vote of [3, 5, 2, 7]) {
  submit_upgrade(vote);
  const c = take().filter(x => x[0] !== 'setTimeout');
  assert.deepStrictEqual(c, [['alert', minutes], ['replace', '/fwupdate.html?c=2']], String(vote));
  assert.strictEqual(popup.visibility, 'hidden');
}
for (const vote of [4, 6, 1, 0, 9]) {
  submit_upgrade(vote);
  assert.deepStrictEqual(take().filter(x => x[0] !== 'setTimeout'), sent('/fwupdate_canceled.html?c=2'), String(vote));
}
)JS");
}

}  // namespace
