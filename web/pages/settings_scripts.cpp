#include "web/pages/settings_scripts.h"

#include "daemon/snapshot_records.h"
#include "daemon/string_builder.h"
#include "web/pages/escape.h"
#include "web/pages/page_builder.h"

namespace {

// Catalogue texts of the dialogs.
enum : int {
    kNoBatteryWriteCache = 285,
    kNoUnitsToRename = 385,
    kInvalidNames = 395,
    kUpdateTakesMinutes = 398,
    kPerformanceRisk = 406,
    kInvalidCarveSize = 413,
    kUpdateWarning = 442,
    kQuickmendDisablePermanent = 536,
    kContinueQuestion = 537,
    kLowLatencyRateOne = 555,
};

constexpr int kSmallestCarveSize = 1024;
constexpr int kLargestCarveSize = 32768;

// Appends the catalogue text as the inside of a double-quoted literal.
void put_text(PageBuilder& page, int code) {
    append_js_catalogue(page.text_body(), page.web_text(code));
}

// A function that requests "/page2_0.html?" with its key and the value of
// its first parameter (and a companion key with the second's) and the
// current controller. When its condition holds it asks first, with one or
// two catalogue texts; a refusal reloads the page, so the clicked control
// shows the stored value again.
struct Question {
    const char* condition;  // null: never asks
    int text;
    const char* between;  // what stands between the two texts
    int second_text;      // 0: none
};

struct Request {
    const char* name;
    const char* params;
    const char* key;
    const char* first;
    const char* second_key;  // null: one value
    const char* second;
    Question ask;
};

constexpr Question kNeverAsks = {nullptr, 0, "", 0};

// The question of a rate of 1 with the Low Latency mode.
constexpr Question low_latency(const char* condition) {
    return {condition, kLowLatencyRateOne, "", kContinueQuestion};
}

void write_request(PageBuilder& page, const Request& r) {
    StringBuilder& out = page.text_body();
    out.append("function ").append(r.name).append("(").append(r.params).append(")\n{\n");
    if (r.ask.condition != nullptr) {
        out.append("  if (").append(r.ask.condition).append(") {\n    if (!confirm(\"");
        put_text(page, r.ask.text);
        out.append(r.ask.between);
        if (r.ask.second_text != 0) put_text(page, r.ask.second_text);
        out.append(
            "\")) {\n      document.location.reload(true);\n      return false;\n    }\n  }\n");
    }
    out.append("  document.location.replace(\"/page2_0.html?").append(r.key).append("\" + ");
    out.append(r.first);
    if (r.second_key != nullptr)
        out.append(" + \"&").append(r.second_key).append("\" + ").append(r.second);
    out.append(" + \"&c=\" + parent.cur_controller);\n}\n");
}

void write_validate_carvesize(PageBuilder& page) {
    StringBuilder& out = page.text_body();
    // A value that is no number at all is refused too.
    out.append("function validate_carvesize(sizeInGB)\n{\n");
    out.append("  if (isNaN(sizeInGB) || sizeInGB < ").append_int(kSmallestCarveSize);
    out.append(" || sizeInGB > ").append_int(kLargestCarveSize);
    out.append(") {\n    return false;\n  }\n  return true;\n}\n");
}

void write_changecarvesize(PageBuilder& page) {
    StringBuilder& out = page.text_body();
    out.append("function changecarvesize()\n{\n");
    out.append("  var size = document.forms[\"ss\"].elements[\"carvesize\"].value;\n");
    out.append("  if (!validate_carvesize(size)) {\n    alert(\"");
    put_text(page, kInvalidCarveSize);
    out.append(" ").append_int(kSmallestCarveSize).append(" .. ").append_int(kLargestCarveSize);
    out.append("\");\n    return false;\n  }\n");
    out.append("  document.location.replace(\"/page2_0.html?CarveSize=\" + size + \"&c=\" + ");
    out.append("parent.cur_controller);\n}\n");
}

void write_changeunitnames(PageBuilder& page) {
    StringBuilder& out = page.text_body();
    // Each name is sent encoded, so that characters the names may hold
    // ("#", "+", "=", "?") reach the daemon as they were typed; the names
    // are joined by "," and the numbers by ",", in the same order.
    out.append(R"JS(function changeunitnames()
{
  var form = document.forms["unitnamechange"];
  var numunits = 0;
  var unitnums = "";
  var unitnames = "";
  var badunits = "";
  for (var i = 0; i < form.elements.length; i++) {
    var e = form.elements[i];
    if (e.type != "text" || e.name.substr(0, 8) != "unitname") {
      continue;
    }
    var num = e.name.substr(8);
    if (!validate_name(e.value)) {
      if (badunits != "") {
        badunits += ",";
      }
      badunits += num;
    }
    if (numunits > 0) {
      unitnums += ",";
      unitnames += ",";
    }
    unitnums += num;
    unitnames += encodeURIComponent(e.value);
    numunits++;
  }
  if (badunits != "") {
    alert(")JS");
    put_text(page, kInvalidNames);
    out.append(R"JS(" + badunits);
    return false;
  }
  if (numunits == 0) {
    alert(")JS");
    put_text(page, kNoUnitsToRename);
    out.append(R"JS(");
    return false;
  }
  document.location.replace("/page2_0.html?UnitNames=" + unitnames + "&UnitNums=" + unitnums + "&c=" + parent.cur_controller);
}
)JS");
}

void write_submit_upgrade(PageBuilder& page) {
    StringBuilder& out = page.text_body();
    out.append(R"JS(function submit_upgrade(vote)
{
  show_fwcheckpopup(0);
  if (vote == 1) {
    document.location.replace("/fwupdate_canceled.html?c=" + parent.cur_controller);
  } else if (vote == 6 || vote == 4) {
    document.location.replace("/fwupdate_canceled.html?c=" + parent.cur_controller);
  } else if (vote == 2 || vote == 3 || vote == 7 || vote == 5) {
    alert(")JS");
    put_text(page, kUpdateTakesMinutes);
    out.append(R"JS(");
    document.location.replace("/fwupdate.html?c=" + parent.cur_controller);
  } else {
    document.location.replace("/fwupdate_canceled.html?c=" + parent.cur_controller);
  }
}
)JS");
}

void write_cancel_upgrade(PageBuilder& page) {
    page.text_body().append(R"JS(function cancel_upgrade()
{
  show_fwcheckpopup(0);
  document.location.replace("/fwupdate_canceled.html?c=" + parent.cur_controller);
}
)JS");
}

void write_show_fwcheckpopup(PageBuilder& page) {
    page.text_body().append(R"JS(function show_fwcheckpopup(show)
{
  var popup;
  var scroll;
  if (fwcheckpopupopen == 1 && show != 0) {
    return;
  }
  if (document.all != null) {
    popup = eval('document.all.fwcheckpopup.style');
    scroll = document.body.scrollTop;
  } else {
    popup = document.getElementById('fwcheckpopup').style;
    scroll = window.pageYOffset;
  }
  if (show == 1) {
    clearTimeout(refreshTimer);
    popup.top = scroll + 40;
    popup.zIndex = 10;
    popup.visibility = 'visible';
    fwcheckpopupopen = 1;
  } else {
    popup.visibility = 'hidden';
    popup.zIndex = -1;
    fwcheckpopupopen = 0;
    if (TimeOut != 0) {
      refreshTimer = setTimeout('document.location.reload(true)', TimeOut);
    }
  }
}
)JS");
}

void write_submit_fwcheck(PageBuilder& page) {
    StringBuilder& out = page.text_body();
    out.append("function submit_fwcheck()\n{\n  if (confirm(\"");
    put_text(page, kUpdateWarning);
    out.append("\")) {\n    document.forms[\"fwcheck\"].submit();\n  }\n}\n");
}

// The page's head functions, in the page's order: the navigation and name
// check the pages share, the requests, and the functions written above.
struct PageFunction {
    int (ScriptWriter::*shared)(StringBuilder&);
    void (*own)(PageBuilder&);
    Request request;
};

constexpr Request kNone = {};

// clang-format off
const PageFunction kPageFunctions[] = {
    {&ScriptWriter::write_goto_unit, nullptr, kNone},
    {nullptr, nullptr, {"change_rebuild_rate", "rate, mode", "ChangeRebuildRate=", "rate", nullptr, nullptr,
                        low_latency("mode == 1 && rate == 1")}},
    {nullptr, nullptr, {"change_verify_rate", "rate, mode", "ChangeVerifyRate=", "rate", nullptr, nullptr,
                        low_latency("mode == 1 && rate == 1")}},
    {nullptr, nullptr, {"set_auto_verify", "unit, enable", "SetAutoVerifyUnit=", "unit", "Enable=", "enable",
                        kNeverAsks}},
    {nullptr, nullptr, {"set_ecc", "unit, enable", "SetECCUnit=", "unit", "Enable=", "enable", kNeverAsks}},
    {nullptr, nullptr, {"set_queuing", "unit, enable", "SetQueuing=", "unit", "Enable=", "enable", kNeverAsks}},
    {&ScriptWriter::write_validate_name, nullptr, kNone},
    {nullptr, write_changeunitnames, kNone},
    {nullptr, nullptr, {"set_auto_rebuild", "on", "AutoRebuild=", "on", nullptr, nullptr, kNeverAsks}},
    {nullptr, nullptr, {"set_multi_lun", "on", "MultiLun=", "on", nullptr, nullptr, kNeverAsks}},
    {nullptr, nullptr, {"change_c_sata_link_speed", "speed", "ChangeSATALinkSpeed=", "speed", nullptr, nullptr,
                        kNeverAsks}},
    {nullptr, nullptr, {"change_c_sas_link_speed", "speed", "ChangeSASLinkSpeed=", "speed", nullptr, nullptr,
                        kNeverAsks}},
    {&ScriptWriter::write_goto_physummary, nullptr, kNone},
    {nullptr, nullptr, {"change_c_BRAP", "policy, rate", "ChangeBRAP=", "policy", nullptr, nullptr,
                        low_latency("policy == 1 && rate == 1")}},
    {nullptr, nullptr, {"change_c_BVAP", "policy, rate", "ChangeBVAP=", "policy", nullptr, nullptr,
                        low_latency("policy == 1 && rate == 1")}},
    {nullptr, write_submit_upgrade, kNone},
    {nullptr, write_cancel_upgrade, kNone},
    {nullptr, write_submit_fwcheck, kNone},
    {nullptr, write_show_fwcheckpopup, kNone},
    {nullptr, nullptr, {"set_pervault", "unit, value", "Pervault=", "unit", "Value=", "value",
                        {"value == 2", kPerformanceRisk, "", 0}}},
    {nullptr, nullptr, {"set_qm_recovery", "unit, value", "QM_Recovery=", "unit", "Value=", "value",
                        {"value == 0", kQuickmendDisablePermanent, "  ", kContinueQuestion}}},
    {nullptr, write_validate_carvesize, kNone},
    {nullptr, write_changecarvesize, kNone},
};
// clang-format on

}  // namespace

void write_settings_scripts(PageBuilder& page) {
    for (const PageFunction& f : kPageFunctions) {
        if (f.shared != nullptr)
            (page.script().*f.shared)(page.text_body());
        else if (f.own != nullptr)
            f.own(page);
        else
            write_request(page, f.request);
    }
}

void write_set_cache(PageBuilder& page, const ControllerRecord& controller) {
    const bool asks = controller.family > 3 &&
                      (controller.battery == nullptr || controller.battery->bbu_present == 0);
    StringBuilder& out = page.text_body();
    out.append("function set_cache(unit, type, enable, checkbox)\n{\n  if (type == 0) {\n");
    out.append("    document.location.replace(\"/page2_0.html?SetReadCacheUnit=\" + unit + ");
    out.append("\"&SetCacheEnable=\" + enable + \"&c=\" + parent.cur_controller);\n");
    out.append("    return true;\n  }\n");
    if (asks) {
        out.append("  if (enable == 1) {\n    if (!confirm(\"");
        put_text(page, kNoBatteryWriteCache);
        out.append("\")) {\n      if (checkbox) {\n        checkbox.checked = false;\n      }\n");
        out.append("      return false;\n    }\n  }\n");
    }
    out.append("  document.location.replace(\"/page2_0.html?SetWriteCacheUnit=\" + unit + ");
    out.append("\"&SetCacheEnable=\" + enable + \"&c=\" + parent.cur_controller);\n");
    out.append("  return true;\n}\n");
}
