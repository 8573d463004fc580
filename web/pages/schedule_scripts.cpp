// The Scheduling page's script functions: each builds the URL of one change
// from the page's forms and loads it, so that the page's handler carries it
// out and answers with the redirect page back to the tab.
#include "web/pages/escape.h"
#include "web/pages/page_builder.h"
#include "web/pages/schedule_page.h"

namespace {

// Catalogue texts (19) of the alerts.
enum : int {
    kCheckOneSlot = 286,
    kKeepOneSlot = 529,
};

}  // namespace

int write_select_which_task(PageBuilder& page) {
    page.text_body().append(R"JS(function select_which_task()
{
  var sel = document.forms["selform"].elements["seltask"];
  var url = "/page2_1.html?WhichSched=" + sel.options[sel.selectedIndex].value + "&c=" + parent.cur_controller;
  document.location.replace(url);
}
)JS");
    return 0;
}

int write_enable_sched(PageBuilder& page) {
    page.text_body().append(R"JS(function enable_sched(which, enable)
{
  var key;
  if (which == 0) key = "RebuildSchedEnable";
  else if (which == 1) key = "VerifySchedEnable";
  else return false;
  var url = "/page2_1.html?" + key + "=" + enable + "&c=" + parent.cur_controller;
  document.location.replace(url);
}
)JS");
    return 0;
}

int write_delete_sched(PageBuilder& page) {
    StringBuilder& out = page.text_body();
    out.append(R"JS(function delete_sched(which)
{
  var key;
  var form;
  if (which == 0) { key = "RebuildSchedDelete="; form = "rebuildsched"; }
  else if (which == 1) { key = "VerifySchedDelete="; form = "verifysched"; }
  else if (which == 2) { key = "SelftestSchedDelete="; form = "selftestsched"; }
  else return false;
  var elements = document.forms[form].elements;
  var items = "";
  var checked = 0;
  var unchecked = 0;
  for (var i = 0; i < elements.length; i++) {
    var e = elements[i];
    if (e.type != "checkbox" || e.name != "sched") continue;
    if (e.checked) {
      if (checked > 0) items += ",";
      items += e.value;
      checked++;
    } else {
      unchecked++;
    }
  }
  if (checked == 0) {
    alert(")JS");
    append_js_catalogue(out, page.web_text(kCheckOneSlot));
    out.append(R"JS(");
    return false;
  }
  if (unchecked == 0) {
    alert(")JS");
    append_js_catalogue(out, page.web_text(kKeepOneSlot));
    out.append(R"JS(");
    return false;
  }
  var url = "/page2_1.html?" + key + items + "&c=" + parent.cur_controller;
  document.location.replace(url);
}
)JS");
    return 0;
}

int write_add_sched(PageBuilder& page) {
    page.text_body().append(R"JS(function add_sched(which)
{
  var key;
  var form;
  if (which == 0) { key = "RebuildSchedAdd"; form = "rebuildsched"; }
  else if (which == 1) { key = "VerifySchedAdd"; form = "verifysched"; }
  else if (which == 2) { key = "SelftestSchedAdd"; form = "selftestsched"; }
  else return false;
  var f = document.forms[form];
  var day = f.elements["day"].value;
  var hour = f.elements["hour"].value;
  var duration = 0;
  if (which != 2) duration = f.elements["duration"].value;
  var url = "/page2_1.html?" + key + "Day=" + day + "&Hour=" + hour + "&Duration=" + duration + "&WhichSched=" + which + "&c=" + parent.cur_controller;
  document.location.replace(url);
}
)JS");
    return 0;
}

int write_change_sched_tasks(PageBuilder& page) {
    page.text_body().append(R"JS(function change_sched_tasks()
{
  var mask = 0;
  var f = document.forms["selftestsched"];
  var udma = f.elements["SelfTestUDMA"];
  if (udma && udma.checked) mask |= udma.value;
  var smart = f.elements["SelfTestCheckSmart"];
  if (smart && smart.checked) mask |= smart.value;
  var url = "/page2_1.html?SelftestSchedTasks=" + mask + "&c=" + parent.cur_controller;
  document.location.replace(url);
}
)JS");
    return 0;
}

int write_set_basicverify_day_time(PageBuilder& page) {
    page.text_body().append(R"JS(function set_basicverify_day_time(which)
{
  var f = document.forms["basicverifysched"];
  var day = f.elements["bverify_day"].value;
  var hour = f.elements["bverify_hour"].value;
  var url = "/page2_1.html?" + "BasicVerifySched" + "Day=" + day + "&Hour=" + hour + "&Duration=NULL" + "&c=" + parent.cur_controller;
  document.location.replace(url);
}
)JS");
    return 0;
}
