// The maintenance page's scripts that create units from available drives
// and migrate a unit to another RAID type: the create and migrate pop-ups,
// the RAID types, stripe sizes and drives-per-subunit choices they offer,
// the checks before a request, and the request itself. What depends on the
// controller (series, RAID 6, port label, battery) is decided here, when
// the page is written.
#include <cstring>

#include "daemon/snapshot_records.h"
#include "daemon/string_builder.h"
#include "web/pages/escape.h"
#include "web/pages/script_writer.h"
#include "web/pages/status_texts.h"

namespace {

constexpr int kWebTexts = 19;
constexpr int kFirstSeries = 3;
constexpr int kBatteryReady = 8;

// Port labels: "VPort" on later generations, else "Port".
int port_label(const ControllerRecord& controller) {
    return later_generation(controller) ? 476 : 16;
}

bool second_series(const ControllerRecord& controller) { return controller.family > kFirstSeries; }

void append_part(StringBuilder& body, const char* begin, const char* end) {
    const int n = static_cast<int>(end - begin);
    if (n <= 0) return;
    const int old = body.length();
    body.grow(static_cast<unsigned>(n));
    std::memcpy(const_cast<char*>(body.c_str()) + old, begin, static_cast<size_t>(n));
}

// Appends script, with each "@N@" replaced by the web text N and each "@L@"
// by the port label, both as they go inside a double-quoted literal.
template <typename Lookup>
void append_script(StringBuilder& body, const char* script, Lookup text, int label = 16) {
    const char* p = script;
    while (*p != '\0') {
        const char* at = std::strchr(p, '@');
        const char* close = at != nullptr ? std::strchr(at + 1, '@') : nullptr;
        if (close == nullptr) {
            body.append(p);
            return;
        }
        append_part(body, p, at);
        int code = 0;
        if (close == at + 2 && at[1] == 'L') {
            code = label;
        } else {
            for (const char* d = at + 1; d < close; ++d) code = code * 10 + (*d - '0');
        }
        append_js_catalogue(body, text(kWebTexts, code));
        p = close + 1;
    }
}

// Finds a page element: document.all where the browser has it, else by id.
const char* const kFindElement =
    "  var IE = (document.all != null);\n"
    "  function el(id) { return IE ? document.all[id] : document.getElementById(id); }\n";

const char* const kPopupOpen =
    "  if ((rebuildpopupopen == 1 || createpopupopen == 1 || modifypopupopen == 1) && show != 0) "
    "{\n"
    "    return;\n"
    "  }\n";

// Shows or hides a pop-up div at the scroll position.
const char* const kShowPopup = R"JS(  function show_popup(id) {
    var popup = el(id);
    var y = IE ? document.body.scrollTop : window.pageYOffset;
    popup.style.top = (y + 40) + "px";
    popup.style.zIndex = 10;
    popup.style.visibility = 'visible';
  }
  function hide(id) {
    var span = el(id);
    if (span) {
      span.style.visibility = 'hidden';
    }
  }
  function hide_popup(id) {
    var popup = el(id);
    popup.style.visibility = 'hidden';
    popup.style.zIndex = -1;
  }
  function restart_refresh() {
    if (TimeOut != 0) {
      refreshTimer = setTimeout('document.location.reload(true)', TimeOut);
    }
  }
)JS";

// Empties a select.
const char* const kEmptySelect = R"JS(  function empty(select) {
    for (var k = select.options.length - 1; k >= 0; k--) {
      select.options[k] = null;
    }
    select.options.length = 0;
    select.selectedIndex = 0;
  }
  function add(select, text) {
    select.options[select.options.length] = new Option(text, text);
    return select.options.length - 1;
  }
)JS";

}  // namespace

int ScriptWriter::write_show_createpopup(StringBuilder& body) {
    auto text = [this](int category, int code) { return this->text(category, code); };
    body.append("function show_createpopup(show)\n{\n").append(kFindElement).append(kShowPopup);
    body.append(kPopupOpen);
    append_script(body, R"JS(  numcreatechecked = 0;
  numcreateSASchecked = 0;
  numcreateSATAchecked = 0;
  if (show == 1) {
    clearTimeout(refreshTimer);
    var form = document.forms["createmaint"];
    var row = 0;
    for (var i = 0; i < form.elements.length; i++) {
      var box = form.elements[i];
      if (box.type != "checkbox" || box.name != "drive") {
        continue;
      }
      if (box.checked) {
        var port = gettablecell(row, 1);
        createdrivelist[numcreatechecked] = port;
        if (availdrivetype[port] == "SATA") {
          numcreateSATAchecked++;
        }
        if (availdrivetype[port] == "SAS") {
          numcreateSASchecked++;
        }
        numcreatechecked++;
      }
      row++;
    }
    if (numcreatechecked == 0) {
      alert("@293@");
      return false;
    }
    if (numcreatechecked + activedrivesused > maxcreateallowed && numcreatechecked > 1) {
      alert("@416@" + "(" + maxcreateallowed + ") ");
      return false;
    }
    if (numcreateSASchecked > 0 && numcreateSATAchecked > 0) {
      alert("@519@");
      return false;
    }
    for (var j = 0; j < numcreatechecked; j++) {
      if (partofexportedunit[createdrivelist[j]] == 1 || isaspare[createdrivelist[j]] == 1) {
        alert("@576@");
        return false;
      }
    }
    update_create_drives();
    update_raidtype();
    update_options('create');
    show_popup("createpopup");
    createpopupopen = 1;
  } else {
    hide("stripespan");
    hide("DperSspan");
    hide("writecachespan");
    hide("pervaultspan");
    hide("ignoreeccspan");
    hide("queuingspan");
    hide("readcachespan");
    hide("qm_recoveryspan");
    hide_popup("createpopup");
    createpopupopen = 0;
    restart_refresh();
  }
}
)JS",
                  text);
    return 0;
}

int ScriptWriter::write_update_create_drives(StringBuilder& body,
                                             const ControllerRecord& controller) {
    auto text = [this](int category, int code) { return this->text(category, code); };
    body.append("function update_create_drives()\n{\n").append(kFindElement);
    append_script(body, R"JS(  function fill(id, html) {
    var span = el(id);
    if (span) {
      span.innerHTML = html;
    }
  }
  var q = 0;
  for (var i = 0; i < numcreatechecked; i++, q++) {
    var port = createdrivelist[i];
    fill("CreateDrivePort" + q, "<b>" + "@L@" + " " + port + "</b>");
    fill("CreateDriveModel" + q, availdrivemodel[port]);
    fill("CreateDriveType" + q, availdrivetype[port]);
    fill("CreateDriveCapacity" + q, availdrivecapacity[port]);
    fill("CreateDriveStatus" + q, availdrivestatus[port]);
  }
  for (; el("CreateDrivePort" + q); q++) {
    fill("CreateDrivePort" + q, "&nbsp;");
    fill("CreateDriveModel" + q, "&nbsp;");
    fill("CreateDriveType" + q, "&nbsp;");
    fill("CreateDriveCapacity" + q, "&nbsp;");
    fill("CreateDriveStatus" + q, "&nbsp;");
  }
}
)JS",
                  text, port_label(controller));
    return 0;
}

int ScriptWriter::write_update_raidtype(StringBuilder& body, const ControllerRecord& controller) {
    const bool second = second_series(controller);
    body.append("function update_raidtype()\n{\n").append(kEmptySelect);
    body.append(R"JS(  var select = document.forms["createform"].raidtype;
  empty(select);
  var n = numcreatechecked;
  var selected = 0;
  if (n == 1) {
)JS");
    body.append(second ? "    add(select, \"Single Disk\");\n" : "    add(select, \"JBOD\");\n");
    body.append(R"JS(  } else if (n > 1) {
    selected = add(select, "RAID 0");
    if (n == 2) {
      selected = add(select, "RAID 1");
    } else {
      selected = add(select, "RAID 5");
)JS");
    if (controller.raid6_allowed != 0)
        body.append("      if (n >= 5) {\n        add(select, \"RAID 6\");\n      }\n");
    body.append("      if (n % 2 == 0) {\n        add(select, \"RAID 10\");\n      }\n");
    if (second)
        body.append(
            "      if (n >= 6 && [7, 11, 13, 17, 19, 23, 25, 29, 31].indexOf(n) < 0) {\n"
            "        add(select, \"RAID 50\");\n      }\n");
    body.append("    }\n  }\n  select.selectedIndex = selected;\n}\n");
    return 0;
}

int ScriptWriter::write_update_options(StringBuilder& body) {
    body.append("function update_options(which)\n{\n").append(kFindElement);
    body.append(R"JS(  function show(span, visible) {
    if (span) {
      span.style.visibility = visible ? 'visible' : 'hidden';
    }
  }
  var form, typeselect, dpers, dpersspan, eccspan, n;
  if (which == 'create') {
    form = document.forms["createform"];
    typeselect = form.raidtype;
    dpers = form.DperS;
    dpersspan = el("DperSspan");
    eccspan = el("ignoreeccspan");
    n = numcreatechecked;
  } else if (which == 'modify') {
    form = document.forms["modifyform"];
    typeselect = form.modraidtype;
    dpers = form.modDperS;
    dpersspan = el("modDperSspan");
    eccspan = el("modignoreeccspan");
    n = nummodchecked;
  } else {
    return;
  }
  update_stripe_options(which);
  var type = "";
  if (typeselect.selectedIndex >= 0 && typeselect.selectedIndex < typeselect.options.length) {
    type = typeselect.options[typeselect.selectedIndex].value;
  }
  if (type == "RAID 50") {
    // drives: the choices of drives per subunit, and the one selected
    var table = [[6, [3], 0], [8, [4], 0], [9, [3], 0], [10, [5], 0], [12, [3, 4, 6], 1],
                 [14, [7], 0], [15, [5], 0], [16, [4, 8], 1], [18, [6, 9], 1], [20, [5, 10], 1],
                 [21, [7], 0], [22, [11], 0], [24, [6, 8, 12], 2], [26, [13], 0], [27, [9], 0],
                 [28, [7, 14], 1], [30, [10, 15], 1], [32, [8, 16], 1], [33, [11], 0],
                 [34, [17], 0]];
    for (var k = dpers.options.length - 1; k >= 0; k--) {
      dpers.options[k] = null;
    }
    dpers.options.length = 0;
    var offered = false;
    for (var t = 0; t < table.length; t++) {
      if (table[t][0] != n) {
        continue;
      }
      var choices = table[t][1];
      for (var c = 0; c < choices.length; c++) {
        dpers.options[c] = new Option("" + choices[c], "" + choices[c]);
      }
      dpers.selectedIndex = table[t][2];
      offered = true;
    }
    show(dpersspan, offered);
  } else {
    show(dpersspan, false);
  }
  show(eccspan, type == "RAID 1" || type == "RAID 5" || type == "RAID 10" ||
                type == "RAID 50" || type == "RAID 6");
  if (which == 'modify') {
    return;
  }
  var cached = type != "JBOD";
  show(el("writecachespan"), cached);
  show(el("readcachespan"), cached);
  show(el("queuingspan"), cached);
  show(el("pervaultspan"), cached);
  show(el("qm_recoveryspan"), type == "RAID 5" || type == "RAID 50" || type == "RAID 6" ||
                              type == "RAID 1" || type == "RAID 10");
}
)JS");
    return 0;
}

int ScriptWriter::write_update_stripe_options(StringBuilder& body,
                                              const ControllerRecord& controller) {
    body.append("function update_stripe_options(which)\n{\n").append(kFindElement);
    body.append(R"JS(  var form, typeselect, select, span;
  if (which == 'create') {
    form = document.forms["createform"];
    typeselect = form.raidtype;
    select = form.stripesize;
    span = el("stripespan");
  } else if (which == 'modify') {
    form = document.forms["modifyform"];
    typeselect = form.modraidtype;
    select = form.modstripesize;
    span = el("modstripespan");
  } else {
    return;
  }
  var type = "";
  if (typeselect.selectedIndex >= 0 && typeselect.selectedIndex < typeselect.options.length) {
    type = typeselect.options[typeselect.selectedIndex].value;
  }
  // [text, value] of each stripe size offered, the one selected, and
  // whether the choice is shown
  var sizes = [["64k", "7"]];
  var selected = 0;
  var visible = false;
)JS");
    if (second_series(controller)) {
        body.append(
            R"JS(  if (type == "RAID 0" || type == "RAID 5" || type == "RAID 10" || type == "RAID 50") {
    sizes = [["16k", "5"], ["64k", "7"], ["256k", "9"]];
    selected = 2;
    visible = true;
  } else if (type == "RAID 6") {
    sizes = [["64k", "7"], ["256k", "9"]];
    selected = 1;
    visible = true;
  }
)JS");
    } else {
        body.append(R"JS(  if (type == "RAID 5") {
    visible = true;
  } else if (type == "RAID 0" || type == "RAID 10") {
    sizes = [["64k", "7"], ["128k", "8"], ["256k", "9"], ["512k", "10"], ["1024k", "11"]];
    visible = true;
  }
)JS");
    }
    body.append(R"JS(  for (var k = 0; k < sizes.length; k++) {
    select.options[k] = new Option(sizes[k][0], sizes[k][1]);
  }
  select.options.length = sizes.length;
  select.selectedIndex = selected;
  if (span) {
    span.style.visibility = visible ? 'visible' : 'hidden';
  }
}
)JS");
    return 0;
}

int ScriptWriter::write_set_qm_recovery_create(StringBuilder& body) {
    auto text = [this](int category, int code) { return this->text(category, code); };
    append_script(body, R"JS(function set_qm_recovery_create(value)
{
  if (value == 0) {
    alert("@536@");
  }
}
)JS",
                  text);
    return 0;
}

int ScriptWriter::write_create_unit(StringBuilder& body, const ControllerRecord& controller) {
    auto text = [this](int category, int code) { return this->text(category, code); };
    // The name is sent encoded, as the Controller Settings page sends the
    // names, so that characters a name may hold ("#", "+", "=", "?") reach
    // the daemon as they were typed.
    append_script(body, R"JS(function create_unit()
{
  var form = document.forms["createform"];
  function selected(select) {
    if (!select || select.selectedIndex < 0 || select.selectedIndex >= select.options.length) {
      return "";
    }
    return select.options[select.selectedIndex].value;
  }
  var drives = "", type = "", unitname = "", stripesize = "", pervault = "";
  var DperS = 0, writecache = 0, autoverify = 0, ignoreecc = 0, queuing = 0, readcache = 0,
      qm_recovery = 0;
  if (form.unitname) {
    unitname = form.unitname.value;
    if (validate_name(unitname) == false) {
      alert("@396@");
      return;
    }
  }
  for (var i = 0; i < numcreatechecked; i++) {
    drives += (i > 0 ? "," : "") + createdrivelist[i];
  }
  type = selected(form.raidtype);
  stripesize = selected(form.stripesize);
  if (form.pervault) {
    pervault = selected(form.pervault);
  }
  if (numcreatechecked >= 6 && form.DperS && form.DperS.options.length > 0) {
    DperS = selected(form.DperS);
  }
  if (form.cacheon && form.cacheon.checked) {
    writecache = 1;
  }
  if (form.autoverifyon && form.autoverifyon.checked) {
    autoverify = 1;
  }
  if (form.ignoreeccon && form.ignoreeccon.checked) {
    ignoreecc = 1;
  }
  if (form.readcache) {
    readcache = selected(form.readcache);
  }
  if (form.qm_recovery) {
    qm_recovery = selected(form.qm_recovery);
  }
  if (form.queuingEnabled && form.queuingEnabled.checked) {
    queuing = 1;
  }
  var url = "/page2_2.html?CreateDrives=" + drives + "&CreateType=" + type +
            "&UnitName=" + encodeURIComponent(unitname) + "&CreateStripe=" + stripesize +
            "&CreateDperS=" + DperS +
            "&CacheOn=" + writecache + "&AutoVerify=" + autoverify + "&IgnoreECC=" + ignoreecc +
            "&Queuing=" + queuing + "&Pervault=" + pervault + "&c=" + parent.cur_controller +
            "&Readcache=" + readcache + "&QM_Recovery=" + qm_recovery +
            "&AvailListSort=" + availSortColumn;
)JS",
                  text);
    if (second_series(controller)) {
        if (later_generation(controller))
            append_script(body, R"JS(  if (numcreatechecked > maxdrivesperactiveunit) {
    alert("@520@");
    return false;
  }
)JS",
                          text);
        const BatteryRecord* battery = controller.battery;
        const bool present = battery != nullptr && battery->bbu_present != 0;
        if (present && battery->ready != kBatteryReady) {
            body.append(controller.family > 4 ? "  if (writecache == 1 && pervault != 2) {\n"
                                              : "  if (writecache == 1) {\n");
            append_script(body, R"JS(    if (!confirm("@407@")) {
      form.cacheon.checked = false;
      writecache = 0;
      return false;
    }
  }
)JS",
                          text);
        } else if (!present) {
            append_script(body, R"JS(  if (writecache == 1) {
    if (!confirm("@285@")) {
      return false;
    }
  }
)JS",
                          text);
        }
    }
    if (controller.family > 4)
        append_script(body, R"JS(  if (pervault == 2) {
    if (!confirm("@406@")) {
      return false;
    }
  }
)JS",
                      text);
    body.append("  document.location.replace(url);\n}\n");
    return 0;
}

int ScriptWriter::write_show_modifypopup(StringBuilder& body) {
    auto text = [this](int category, int code) { return this->text(category, code); };
    body.append("function show_modifypopup(show)\n{\n").append(kFindElement).append(kShowPopup);
    body.append(kPopupOpen);
    append_script(body, R"JS(  whichunitchecked = 0;
  nummodchecked = 0;
  if (show == 1) {
    clearTimeout(refreshTimer);
    var form = document.forms["unitmaint"];
    var found = false;
    for (var i = 0; i < form.elements.length; i++) {
      var box = form.elements[i];
      if (box.type == "checkbox" && box.name == "unit" && box.checked) {
        if (found) {
          alert("@294@");
          return false;
        }
        found = true;
        whichunitchecked = box.value;
      }
    }
    if (!found) {
      alert("@295@");
      return false;
    }
    update_modify_drives();
    update_modraidtype();
    update_options('modify');
    show_popup("modifypopup");
    modifypopupopen = 1;
  } else {
    hide("modstripespan");
    hide("modDperSspan");
    hide_popup("modifypopup");
    modifypopupopen = 0;
    restart_refresh();
  }
}
)JS",
                  text);
    return 0;
}

int ScriptWriter::write_update_modify_drives(StringBuilder& body,
                                             const ControllerRecord& controller) {
    auto text = [this](int category, int code) { return this->text(category, code); };
    body.append("function update_modify_drives()\n{\n").append(kFindElement);
    append_script(body, R"JS(  function fill(id, html) {
    var span = el(id);
    if (span) {
      span.innerHTML = html;
    }
  }
  function content(id) {
    var span = el(id);
    return span ? span.innerHTML : "";
  }
  var N = whichunitchecked;
  var numdrives = content("unumdrives" + N);
  var dpers = content("uDperS" + N);
  fill("ModifyUnitID", "<b>" + "@13@" + " " + N + "</b>");
  fill("ModifyUnitNumDrives", numdrives);
  fill("ModifyUnitType", content("utype" + N) + (dpers != "0" ? " <b>(" + dpers + ")</b>" : ""));
  fill("ModifyUnitCapacity", content("usize" + N));
  fill("ModifyUnitStatus", content("ustatus" + N));
  var unitdrives = numdrives.charAt(1) == " " ? numdrives.substring(0, 1) : numdrives.substring(0, 2);
  nummodchecked = 0;
  var form = document.forms["modifyform"];
  for (var i = 0; i < form.elements.length; i++) {
    var box = form.elements[i];
    if (box.type == "checkbox" && box.name == "drive" && box.checked) {
      nummodchecked++;
    }
  }
  var q = 0;
  for (var j = 0; j < numavaildrives; j++) {
    var port = availdrivelist[j];
    if (isaspare[port] == 1 || partofexportedunit[port] == 1) {
      continue;
    }
    fill("ModifyDrivePort" + q, "<b>" + "@L@" + " " + port + "</b>");
    fill("ModifyDriveModel" + q, availdrivemodel[port]);
    fill("ModifyDriveType" + q, availdrivetype[port]);
    fill("ModifyDriveCapacity" + q, availdrivecapacity[port]);
    fill("ModifyDriveStatus" + q, availdrivestatus[port]);
    q++;
  }
  var count = parseInt(unitdrives, 10);
  if (count > 0) {
    nummodchecked += count;
  }
}
)JS",
                  text, port_label(controller));
    return 0;
}

int ScriptWriter::write_update_modraidtype(StringBuilder& body,
                                           const ControllerRecord& controller) {
    body.append("function update_modraidtype()\n{\n").append(kFindElement).append(kEmptySelect);
    body.append(R"JS(  function content(id) {
    var span = el(id);
    return span ? span.innerHTML : "";
  }
  var N = whichunitchecked;
  var select = document.forms["modifyform"].modraidtype;
  empty(select);
  var selected = 0;
  var T = content("utype" + N);
  var D = parseInt(content("unumdrives" + N), 10);
  var n = nummodchecked;
  function offer(type) {
    var at = add(select, type);
    if (T == type) {
      selected = at;
    }
  }
  if (n > 1) {
    // the fewest drives the unit's data needs
    var M = 1;
    if (T == "RAID 0" || T == "RAID 1") {
      M = D;
    } else if (T == "RAID 5") {
      M = D - 1;
    } else if (T == "RAID 6") {
      M = D - 2;
    } else if (T == "RAID 10") {
      M = Math.floor(D / 2);
    } else if (T == "RAID 50") {
      var dpers = content("uDperS" + N);
      var S = parseInt(dpers.substring(dpers.indexOf(">") + 1), 10);
      M = S > 0 ? (S - 1) * Math.floor(D / S) : D;
    }
    if (n >= M) {
      offer("RAID 0");
    }
    if (n > 2 && n >= M + 1) {
      offer("RAID 5");
    }
    if (n >= 4 && n % 2 == 0 && n >= 2 * M) {
      offer("RAID 10");
    }
    if (n >= 6 && [7, 11, 13, 17, 19, 23, 25, 29, 31].indexOf(n) < 0 && n >= M + 2) {
      offer("RAID 50");
    }
)JS");
    if (controller.raid6_allowed != 0)
        body.append("    if (n >= 5 && n >= M + 2) {\n      offer(\"RAID 6\");\n    }\n");
    body.append(R"JS(    if (n == 2 && T == "RAID 1") {
      selected = add(select, "RAID 1");
      add(select, "Single Disk");
    } else if (n == 2 && T == "SINGLE DISK") {
      selected = add(select, "RAID 1");
    }
  }
  if (select.options.length == 0) {
    select.options[0] = new Option("--------", "0");
    selected = 0;
  }
  select.selectedIndex = selected;
}
)JS");
    return 0;
}

int ScriptWriter::write_modify_unit(StringBuilder& body) {
    auto text = [this](int category, int code) { return this->text(category, code); };
    append_script(body, R"JS(function modify_unit()
{
  var form = document.forms["modifyform"];
  function selected(select) {
    if (!select || select.selectedIndex < 0 || select.selectedIndex >= select.options.length) {
      return "";
    }
    return select.options[select.selectedIndex].value;
  }
  var type = selected(form.modraidtype);
  var stripesize = selected(form.modstripesize);
  if (type == "0") {
    alert("@397@");
    return;
  }
  var drives = "";
  for (var i = 0; i < form.elements.length; i++) {
    var box = form.elements[i];
    if (box.type == "checkbox" && box.name == "drive" && box.checked) {
      drives += (drives == "" ? "" : ",") + box.value;
    }
  }
  var DperS = 0;
  if (nummodchecked >= 6 && form.modDperS && form.modDperS.options.length > 0) {
    DperS = selected(form.modDperS);
  }
  if (!confirm("@592@")) {
    return false;
  }
  document.location.replace("/page2_2.html?ModifyUnit=" + whichunitchecked +
                            "&ModifyDrives=" + drives + "&ModifyType=" + type +
                            "&ModifyStripe=" + stripesize + "&ModifyDperS=" + DperS +
                            "&CacheOn=0&AutoVerify=0&IgnoreECC=0&c=" + parent.cur_controller +
                            "&AvailListSort=" + availSortColumn);
}
)JS",
                  text);
    return 0;
}
