// The drive and unit maintenance scripts of the Maintenance page. The
// functions are written from templates in which "@N@" stands for the web
// interface text N of the catalogue, written as a double-quoted JavaScript
// string literal in the configured language.
#include "web/pages/maintenance_scripts.h"

#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>

#include "daemon/string_builder.h"
#include "web/pages/escape.h"
#include "web/pages/page_builder.h"
#include "web/pages/status_texts.h"

namespace {

constexpr int kPortLabel = 16;    // "Port"
constexpr int kVPortLabel = 476;  // "VPort"

// Appends the template with each "@N@" replaced by the quoted text N and
// each "@P@" by the quoted text port_label.
int write_script(PageBuilder& page, const char* js, int port_label = kPortLabel) {
    StringBuilder& out = page.text_body();
    const char* p = js;
    while (*p != '\0') {
        const char* at = std::strchr(p, '@');
        if (at == nullptr) {
            out.append(p);
            break;
        }
        out.append(std::string(p, at).c_str());
        char* end = nullptr;
        long code = std::strtol(at + 1, &end, 10);
        if (at[1] == 'P' && at[2] == '@') {
            code = port_label;
            end = const_cast<char*>(at + 2);
        }
        if (end == at + 1 || *end != '@') {  // no marker: the character itself
            out.append("@");
            p = at + 1;
            continue;
        }
        out.append("\"");
        append_js_catalogue(out, page.web_text(static_cast<int>(code)));
        out.append("\"");
        p = end + 1;
    }
    return 0;
}

// The template with each "%NAME%" replaced by its text, pairs of (name,
// text) in order.
std::string filled(const char* js,
                   std::initializer_list<std::pair<const char*, const char*>> fields) {
    std::string out = js;
    for (const auto& [name, text] : fields)
        for (size_t at = out.find(name); at != std::string::npos; at = out.find(name, at))
            out.replace(at, std::strlen(name), text);
    return out;
}

// The start of a drive action %NAME%: the ports of the checked rows of the
// available drives into %LIST%, counted in %COUNT% (set to 0 by %RESET%);
// none checked is refused.
const char* const kCheckedDrives = R"JS(function %NAME%()
{
  var boxes = document.forms["createmaint"].elements;
  var row = 0;
  %RESET%
  for (var i = 0; i < boxes.length; i++) {
    if (boxes[i].type == "checkbox" && boxes[i].name == "drive") {
      if (boxes[i].checked) {
        %LIST%[%COUNT%] = gettablecell(row, 1);
        %COUNT%++;
      }
      row++;
    }
  }
  if (%COUNT% == 0) {
    alert(@293@);
    return false;
  }
)JS";

int write_drive_action(PageBuilder& page, const char* name, const char* list, const char* count,
                       const char* reset, const char* rest) {
    const std::string js =
        filled(kCheckedDrives,
               {{"%NAME%", name}, {"%LIST%", list}, {"%COUNT%", count}, {"%RESET%", reset}}) +
        rest;
    return write_script(page, js.c_str());
}

// remove_unit and delete_unit: the checked units, confirmed, in one request.
const char* const kUnitList = R"JS(function %NAME%()
{
  if (rebuildpopupopen == 1 || createpopupopen == 1 || modifypopupopen == 1) {
    return;
  }
  var boxes = document.forms["unitmaint"].elements;
  var units = "";
  for (var i = 0; i < boxes.length; i++) {
    if (boxes[i].type == "checkbox" && (boxes[i].name == "unit" || boxes[i].name == "degunit") && boxes[i].checked) {
      units += (units == "" ? "" : ",") + boxes[i].value;
    }
  }
  if (units == "") {
    alert(%NONE%);
    return false;
  }
  if (!confirm(%ASK% + ": " + units)) {
    return false;
  }
  document.location.replace("/page2_2.html?%KEY%=" + units + "&c=" + parent.cur_controller%TAIL%);
}
)JS";

// The one checked unit of the unit table in `unit`; none or more than one
// are refused.
const char* const kOneUnit = R"JS(  var boxes = document.forms["unitmaint"].elements;
  var unit = "";
  for (var i = 0; i < boxes.length; i++) {
    if (boxes[i].type == "checkbox" && boxes[i].checked) {
      if (unit != "") {
        alert(%MANY%);
        return false;
      }
      unit = boxes[i].value;
    }
  }
  if (unit == "") {
    alert(%NONE%);
    return false;
  }
)JS";

}  // namespace

int write_stop_verify(PageBuilder& page) {
    return write_script(page, R"JS(function stop_verify(unit)
{
  document.location.replace("/page2_2.html?StopVerifyUnit=" + unit + "&c=" + parent.cur_controller + "&AvailListSort=" + availSortColumn);
}
)JS");
}

int write_remove_drive(PageBuilder& page) {
    return write_script(page, R"JS(function remove_drive(port)
{
  if (!confirm(@305@ + port + "?")) {
    return;
  }
  document.location.replace("/page2_2.html?RemoveDrive=" + port + "&c=" + parent.cur_controller + "&AvailListSort=" + availSortColumn);
}
)JS");
}

int write_verify_unit(PageBuilder& page) {
    const std::string js =
        std::string(R"JS(function verify_unit()
{
  if (rebuildpopupopen == 1 || createpopupopen == 1 || modifypopupopen == 1) {
    return;
  }
)JS") + filled(kOneUnit, {{"%MANY%", "@289@"}, {"%NONE%", "@290@"}}) +
        R"JS(  document.location.replace("/page2_2.html?VerifyUnit=" + unit + "&c=" + parent.cur_controller + "&AvailListSort=" + availSortColumn);
}
)JS";
    return write_script(page, js.c_str());
}

int write_show_rebuildpopup(PageBuilder& page, const ControllerRecord* controller) {
    const int label =
        controller != nullptr && later_generation(*controller) ? kVPortLabel : kPortLabel;
    const std::string js = std::string(R"JS(function show_rebuildpopup(show)
{
  if ((rebuildpopupopen == 1 || createpopupopen == 1 || modifypopupopen == 1) && show != 0) {
    return;
  }
  var popup = document.all ? document.all["rebuildpopup"] : document.getElementById("rebuildpopup");
  if (show == 1) {
    clearTimeout(refreshTimer);
)JS") + filled(kOneUnit, {{"%MANY%", "@291@"}, {"%NONE%", "@292@"}}) +
                           R"JS(    unittorebuild = unit;
    for (var i = 0; i < numavaildrives; i++) {
      var p = availdrivelist[i];
      var cells = [["RebuildDrivePort", "<b>" + @P@ + " " + p + "</b>"],
                   ["RebuildDriveModel", availdrivemodel[p]],
                   ["RebuildDriveType", availdrivetype[p]],
                   ["RebuildDriveCapacity", availdrivecapacity[p]],
                   ["RebuildDriveStatus", availdrivestatus[p]]];
      for (var k = 0; k < cells.length; k++) {
        var span = document.all ? document.all[cells[k][0] + i] : document.getElementById(cells[k][0] + i);
        if (span) {
          span.innerHTML = cells[k][1];
        }
      }
    }
    var top = document.all ? document.body.scrollTop : window.pageYOffset;
    popup.style.top = (top + 40) + "px";
    popup.style.zIndex = 10;
    popup.style.visibility = "visible";
    rebuildpopupopen = 1;
  } else {
    popup.style.zIndex = -1;
    popup.style.visibility = "hidden";
    rebuildpopupopen = 0;
    if (TimeOut != 0) {
      refreshTimer = setTimeout('document.location.reload(true)', TimeOut);
    }
  }
}
)JS";
    return write_script(page, js.c_str(), label);
}

int write_rebuild_unit(PageBuilder& page) {
    return write_script(page, R"JS(function rebuild_unit()
{
  var form = document.forms["rebuildmaint"];
  var drives = "";
  for (var i = 0; i < form.elements.length; i++) {
    var e = form.elements[i];
    if (e.type == "checkbox" && e.name == "drive" && e.checked) {
      drives += (drives == "" ? "" : ",") + e.value;
    }
  }
  if (drives == "") {
    alert(@297@);
    return false;
  }
  var ecc = form.elements["ignoreECC"];
  var ignoreecc = (ecc && ecc.checked) ? 1 : 0;
  show_rebuildpopup(0);
  document.location.replace("/page2_2.html?RebuildUnit=" + unittorebuild + "&RebuildDrives=" + drives + "&ignoreECC=" + ignoreecc + "&c=" + parent.cur_controller + "&AvailListSort=" + availSortColumn);
}
)JS");
}

// The checked available drives are read by their row: after a sort, row i
// shows the drive of availTableCells row i, whatever value its checkbox was
// written with.
int write_remove_drives(PageBuilder& page) {
    return write_drive_action(
        page, "remove_drives", "removedrivelist", "numremovechecked", "numremovechecked = 0;",
        R"JS(  var list = removedrivelist.slice(0, numremovechecked).join(",");
  if (!confirm(@305@ + list + "?")) {
    return;
  }
  var key = numremovechecked == 1 ? "RemoveDrive=" : "RemoveDrives=";
  document.location.replace("/page2_2.html?" + key + list + "&c=" + parent.cur_controller + "&AvailListSort=" + availSortColumn);
}
)JS");
}

int write_mark_spares(PageBuilder& page) {
    return write_drive_action(page, "mark_spares", "sparedrivelist", "count", "var count = 0;",
                              R"JS(  for (var i = 0; i < count; i++) {
    if (partofexportedunit[sparedrivelist[i]] == 1 || isaspare[sparedrivelist[i]] == 1) {
      alert(@576@);
      return false;
    }
  }
  alert(@521@);
  var key = count == 1 ? "SpareDrive=" : "SpareDrives=";
  document.location.replace("/page2_2.html?" + key + sparedrivelist.slice(0, count).join(",") + "&c=" + parent.cur_controller + "&AvailListSort=" + availSortColumn);
}
)JS");
}

int write_clear_driveconfig(PageBuilder& page) {
    return write_drive_action(page, "clear_driveconfig", "sparedrivelist", "count",
                              "var count = 0;", R"JS(  for (var i = 0; i < count; i++) {
    if (partofexportedunit[sparedrivelist[i]] == 0 && isaspare[sparedrivelist[i]] == 0) {
      alert(@575@);
      return false;
    }
  }
  document.location.replace("/page2_2.html?ClearDrivesConfig=" + sparedrivelist.slice(0, count).join(",") + "&c=" + parent.cur_controller + "&AvailListSort=" + availSortColumn);
}
)JS");
}

// A removal keeps the configuration on the drives: the page comes back
// sorted by port.
int write_remove_unit(PageBuilder& page) {
    const std::string js = filled(kUnitList, {{"%NAME%", "remove_unit"},
                                              {"%NONE%", "@298@"},
                                              {"%ASK%", "@299@"},
                                              {"%KEY%", "RemoveUnits"},
                                              {"%TAIL%", ""}});
    return write_script(page, js.c_str());
}

int write_delete_unit(PageBuilder& page) {
    const std::string js =
        filled(kUnitList, {{"%NAME%", "delete_unit"},
                           {"%NONE%", "@300@"},
                           {"%ASK%", "@301@"},
                           {"%KEY%", "DeleteUnits"},
                           {"%TAIL%", " + \"&AvailListSort=\" + availSortColumn"}});
    return write_script(page, js.c_str());
}

int write_rescan_controller(PageBuilder& page) {
    return write_script(page, R"JS(function rescan_controller()
{
  if (rebuildpopupopen == 1 || createpopupopen == 1 || modifypopupopen == 1) {
    return;
  }
  document.location.replace("/page2_2.html?RescanController=1" + "&c=" + parent.cur_controller + "&AvailListSort=" + availSortColumn);
}
)JS");
}

// selectalldrives and deselectalldrives: every available drive checked or
// not, and the text offering the opposite.
const char* const kSelectAll = R"JS(function %NAME%()
{
  selectallavaildrives = %FLAG%;
  var boxes = document.forms["createmaint"].elements;
  for (var i = 0; i < boxes.length; i++) {
    if (boxes[i].type == "checkbox" && boxes[i].name == "drive") {
      boxes[i].checked = %CHECKED%;
    }
  }
  var span = document.all ? document.all["SelectAllDrivesSpan"] : document.getElementById("SelectAllDrivesSpan");
  span.innerHTML = %WORD% + " " + @533@ + " " + @424@;
}
)JS";

int write_selectalldrives(PageBuilder& page) {
    const std::string js = filled(kSelectAll, {{"%NAME%", "selectalldrives"},
                                               {"%FLAG%", "1"},
                                               {"%CHECKED%", "true"},
                                               {"%WORD%", "@568@"}});
    return write_script(page, js.c_str());
}

int write_deselectalldrives(PageBuilder& page) {
    const std::string js = filled(kSelectAll, {{"%NAME%", "deselectalldrives"},
                                               {"%FLAG%", "0"},
                                               {"%CHECKED%", "false"},
                                               {"%WORD%", "@567@"}});
    return write_script(page, js.c_str());
}

int write_update_available_drives(PageBuilder& page) {
    return write_script(page, R"JS(function update_available_drives()
{
  var spans = ["", "AvailDriveListID", "AvailDriveListModel", "AvailDriveListCap", "AvailDriveListType", "AvailDriveListPhy", "AvailDriveListSlot", "AvailDriveListStatus"];
  for (var q = 0; q < numavaildrives; q++) {
    for (var k = 1; k < spans.length; k++) {
      var span = document.all ? document.all[spans[k] + q] : document.getElementById(spans[k] + q);
      if (span) {
        span.innerHTML = availTableCells[q][k];
      }
    }
  }
}
)JS");
}

int write_update_page_sort_column(PageBuilder& page) {
    return write_script(page, R"JS(function update_page_sort_column(i)
{
  var url = parent.content.location.href;
  var k = url.indexOf("AvailListSort=");
  if (k >= 0) {
    url = url.substring(0, k) + "AvailListSort=" + i + url.substring(k + 15);
  } else {
    url = url + "&" + "AvailListSort=" + i;
  }
  document.location.href = url;
}
)JS");
}
