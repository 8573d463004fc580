// The frame set ("/", "/index.html") and the menu frame ("/menu.html"): the
// frame set holds the browser-side state every page shares; the menu shows
// who is logged in, the menus, the page title, the controller selector and
// the message banner.
#include <cstring>

#include "daemon/http_codes.h"
#include "daemon/snapshot_records.h"
#include "daemon/string_builder.h"
#include "web/pages/escape.h"
#include "web/pages/frame_set.h"
#include "web/pages/page_builder.h"

namespace {

constexpr const char* kItemColour = "#004080";

// One item of the menu: its cell id, label (19:code), the drop-down it
// belongs to (null: the top row) or opens, and its click action.
struct MenuItem {
    const char* id;
    int label;
    const char* parent_menu;  // the drop-down holding it; null for the top row
    const char* opens;        // the drop-down it opens
    const char* on_click;
};

const MenuItem kMenuItems[] = {
    {"itemCell0", 138, nullptr, nullptr, "go_page('0')"},
    {"itemCell1", 139, nullptr, "info", nullptr},
    {"itemCell2", 143, nullptr, "manage", nullptr},
    {"itemCell3", 147, nullptr, "monitor", nullptr},
    {"itemCell4", 151, nullptr, nullptr, "go_page('4')"},
    {"itemCell5", 152, nullptr, nullptr, "goto_help_page('5')"},
    {"itemCellRefresh", 153, nullptr, nullptr, "refresh_content()"},
    {"itemCell1_0", 140, "info", nullptr, "go_page('1_0')"},
    {"itemCell1_1", 141, "info", nullptr, "go_page('1_1')"},
    {"itemCell1_2", 142, "info", nullptr, "go_page('1_2')"},
    {"itemCell2_0", 144, "manage", nullptr, "go_page('2_0')"},
    {"itemCell2_1", 145, "manage", nullptr, "go_page('2_1')"},
    {"itemCell2_2", 146, "manage", nullptr, "go_page('2_2')"},
    {"itemCell3_0", 148, "monitor", nullptr, "go_page('3_0')"},
    {"itemCell3_1", 149, "monitor", nullptr, "go_page('3_1')"},
    {"itemCell3_2", 150, "monitor", nullptr, "go_page('3_2')"},
};

const char* const kDropDowns[] = {"info", "manage", "monitor"};
constexpr const char* kRefreshItem = "itemCellRefresh";
constexpr int kRefreshStatus = 155;

// The help page of each content page. A page with a choice key opens the
// second file when its URL holds the key with a value other than -2.
struct HelpPage {
    const char* page;
    const char* file;
    const char* choice_key;
    const char* chosen_file;
};

const HelpPage kHelpPages[] = {
    {"page1_0", "/help/Controller_Details.html", nullptr, nullptr},
    {"page1_0_1", "/help/Controller_Phy_Summary.html", nullptr, nullptr},
    {"page1_1", "/help/Unit_Information.html", "u=", "/help/Unit_Details.html"},
    {"page1_2", "/help/Drive_Information.html", "p=", "/help/Drive_Details.html"},
    {"page2_0", "/help/Controller_Settings.html", nullptr, nullptr},
    {"page2_1", "/help/Scheduling.html", nullptr, nullptr},
    {"page2_2", "/help/Maintenance.html", nullptr, nullptr},
    {"page3_0", "/help/Alarms.html", nullptr, nullptr},
    {"page3_1", "/help/Battery_Backup.html", nullptr, nullptr},
    {"page3_2", "/help/Enclosure_Information.html", "e=", "/help/Enclosure_Details.html"},
    {"page3_3", "/help/Enclosure_Details.html", nullptr, nullptr},
    {"page4", "/help/Pyv2_Settings.html", nullptr, nullptr},
};
constexpr const char* kDefaultHelp = "/help/OLH_Pyv_2_First.html";

// The frame set's login state of an access level: 1 nobody, 2 user, 3 administrator.
int who_of(int access_level)
{
    return access_level == kAccessUser ? 2 : access_level == kAccessAdmin ? 3 : 1;
}

// How update_login shows a login state: the level's word (19:code) and its colour.
struct LoginShown {
    int who;
    int word;
    const char* colour;
    bool enabled;
};

const LoginShown kLoginShown[] = {
    {2, 275, "#0000FF", true},
    {3, 276, "#FF0000", true},
    {1, 304, "#AAAAAA", false},
};

const char kMenuStyle[] =
    "<style type=\"text/css\">\n"
    "body\n{\n  margin-top: 1px;\n  margin-left: 5px;\n  font-family: sans-serif;\n  font-size: 12pt;\n}\n"
    "td.itemcell\n{\n  background-color: #336699;\n  width: 125px;\n  height: 20px;\n  vertical-align: middle;\n}\n"
    "font.machineinfo\n{\n  color: #E0A000;\n  font-family: sans-serif;\n  font-size: 8pt;\n  font-weight: bold;\n}\n"
    "</style>\n";

// The menu's script functions that hold no text of their own.
const char kMenuScript[] =
    "var IE = document.all ? true : false;\n"
    "var menuactive = 0;\n"
    "var timeon = null;\n"
    "var onmenu = null;\n"
    "var overitem = \"\";\n"
    "function getElement(id)\n{\n  return IE ? document.all[id] : document.getElementById(id);\n}\n"
    // The logout button's enabled flag gates the menus and the help.
    "function logout_enabled()\n{\n  return !getElement('logoutbutton').disabled;\n}\n"
    "function getImagePageLeft(cell)\n{\n  var x = 0;\n"
    "  for (var el = getElement(cell); el != null; el = el.offsetParent) x += el.offsetLeft;\n"
    "  if (navigator.vendor == 'KDE') x += 5;\n  return x;\n}\n"
    "function getImagePageTop(cell)\n{\n  var y = 0;\n"
    "  for (var el = getElement(cell); el != null; el = el.offsetParent) y += el.offsetTop;\n  return y;\n}\n"
    "function ShowMenu(menuname, menucell)\n{\n  HideMenu();\n  if (!logout_enabled()) return false;\n"
    "  var m = getElement(menuname);\n"
    "  m.style.left = (getImagePageLeft(menucell) - 2) + 'px';\n"
    "  m.style.top = (getImagePageTop(menucell) + 22) + 'px';\n"
    "  m.style.visibility = 'visible';\n  onmenu = menuname;\n  return true;\n}\n"
    "function HideMenu()\n{\n  if (onmenu != null) {\n    getElement(onmenu).style.visibility = 'hidden';\n"
    "    clearTimeout(timeon);\n    timeon = null;\n    onmenu = null;\n  }\n}\n"
    "function timerHideMenu()\n{\n  if (menuactive == 0) timeon = setTimeout('HideMenu()', 400);\n}\n"
    "function OverItem(item, level)\n{\n  if (!logout_enabled()) return false;\n"
    "  if (item == overitem || level > 0) {\n    clearTimeout(timeon);\n    timeon = null;\n  }\n"
    "  overitem = item;\n  getElement(item).bgColor = '#E0A000';\n  parent.status = statustext[item];\n"
    "  return true;\n}\n"
    "function OutItem(item, level)\n{\n  if (level > 0) menuactive = 0;\n  if (onmenu != null) timerHideMenu();\n"
    "  getElement(item).bgColor = '#004080';\n}\n"
    "function update_selctlr()\n{\n  var sel = getElement('selctlr');\n"
    "  for (var i = 0; i < sel.options.length; i++)\n"
    "    if (sel.options[i].value == parent.cur_controller) sel.selectedIndex = i;\n}\n"
    "function change_controller()\n{\n  var sel = getElement('selctlr');\n"
    "  parent.cur_controller = sel.options[sel.selectedIndex].value;\n"
    // Without a query the URL is the query alone, relative to the page shown.
    "  var url = String(parent.content.location.href);\n  var q = url.indexOf('?');\n"
    "  url = q >= 0 ? url.substring(0, q) : '';\n"
    "  parent.content.location.href = url + '?c=' + parent.cur_controller + '&u=-2';\n}\n"
    "function updateclist(num, the_list, sel)\n{\n  var s = getElement('selctlr');\n  s.options.length = 0;\n"
    "  for (var i = 0; i < num; i++) s.options[i] = new Option(the_list[i], i);\n  s.selectedIndex = sel;\n}\n"
    "function refresh_content()\n{\n  parent.content.location.reload();\n}\n"
    "function has_choice(url, key)\n{\n  var k = url.indexOf(key);\n"
    "  return k >= 0 && url.substring(k, k + 4) != key + '-2';\n}\n"
    "function go_page(i)\n{\n  var url = 'page' + i + '.html?c=' + parent.cur_controller;\n  HideMenu();\n"
    "  if (i == '1_1') url += '&u=-2';\n  if (i == '2_2') url += '&AvailListSort=1';\n"
    "  if (i.length > 1) getElement('itemCell' + i).bgColor = '#004080';\n"
    "  parent.content.location.href = url;\n}\n"
    "function hide_message()\n{\n  getElement('messagetable').style.visibility = 'hidden';\n"
    "  getElement('lastmessage').innerHTML = '&nbsp';\n}\n"
    "function show_message()\n{\n  getElement('lastmessage').innerHTML = parent.lastmessage;\n"
    "  getElement('messagetable').style.visibility = 'visible';\n}\n"
    "function change_title(title)\n{\n  getElement('menutitle').innerHTML = title;\n}\n"
    "function toggle_select_controller(on)\n{\n  getElement('selA').style.visibility = on;\n"
    "  getElement('selB').style.visibility = on;\n}\n";

// "<html>", "<head>" and the no-cache, charset and content-language lines.
void append_head_start(PageBuilder& page)
{
    static const char* const kLanguageCodes[] = {"en", "de", "ja", "zh", "zh", "fr", "es", "it"};
    page.text_body()
        .append("<html>\n<head>\n<meta http-equiv=\"Pragma\" content=\"no-cache\">\n")
        .append("<meta http-equiv=\"content-type\" content=\"text/html; charset=utf-8\">\n")
        .append("<meta http-equiv=\"content-language\" content=\"")
        .append(kLanguageCodes[page.language()])
        .append("\">\n");
}

// A menu item's cell.
void append_item_cell(PageBuilder& page, const MenuItem& item)
{
    StringBuilder& b = page.text_body();
    int level = item.parent_menu == nullptr ? 0 : 1;
    b.append("<td class=\"itemcell\"><table border=\"0\" cellspacing=\"0\" style=\"width:125px;height:20px;\"><tr>");
    b.append("<td id=\"").append(item.id).append("\" onMouseOver=\"OverItem('").append(item.id).append("',");
    b.append_int(level).append(");");
    if (item.opens != nullptr)
        b.append("ShowMenu('").append(item.opens).append("','").append(item.id).append("');");
    if (std::strcmp(item.id, "itemCell3_2") == 0) {
        b.append("parent.status='");
        append_js_catalogue(b, page.web_text(item.label));
        b.append("';");
    }
    b.append("return true;\" onMouseOut=\"OutItem('").append(item.id).append("',").append_int(level);
    b.append(");parent.status='';return true;\"");
    if (item.on_click != nullptr)
        b.append(" onClick=\"").append(item.on_click).append("\"");
    b.append(" bgColor=\"").append(kItemColour).append("\" style=\"text-align:center;padding-bottom:3;cursor:pointer;\">");
    b.append("<font color=\"#FFFFFF\" style=\"font-weight:bold;font-size:80%;\"");
    if (std::strcmp(item.id, kRefreshItem) == 0) {
        b.append(" onClick=\"parent.status='");
        append_js_catalogue(b, page.web_text(kRefreshStatus));
        b.append("'\"");
    }
    b.append(">").append(page.web_text(item.label)).append("</font></td></tr></table></td>\n");
}

const MenuItem* find_item(const char* id)
{
    for (const MenuItem& item : kMenuItems)
        if (std::strcmp(item.id, id) == 0)
            return &item;
    return nullptr;
}

void append_help_script(StringBuilder& b)
{
    b.append("function goto_help_page(i)\n{\n");
    b.append("  if (i.length > 1) getElement('itemCell' + i).bgColor = '#004080';\n");
    b.append("  if (!logout_enabled()) return false;\n");
    b.append("  var url = String(parent.content.location.href);\n");
    b.append("  var path = String(parent.content.location.pathname);\n");
    b.append("  var p = path.indexOf('page');\n  var e = path.indexOf('.html', p);\n");
    b.append("  var page = p < 0 ? '' : (e < 0 ? path.substring(p) : path.substring(p, e));\n");
    b.append("  var help = '").append(kDefaultHelp).append("';\n");
    for (const HelpPage& h : kHelpPages) {
        b.append("  if (page == '").append(h.page).append("') help = ");
        if (h.choice_key != nullptr)
            b.append("has_choice(url, '").append(h.choice_key).append("') ? '").append(h.chosen_file).append("' : ");
        b.append("'").append(h.file).append("';\n");
    }
    b.append("  var w = window.open(help, '_online_help');\n  if (w) w.focus();\n  return false;\n}\n");
}

void append_login_script(PageBuilder& page, int access_level)
{
    StringBuilder& b = page.text_body();
    b.append("function update_login()\n{\n  var text;\n  var enabled;\n");
    for (const LoginShown& shown : kLoginShown) {
        b.append(shown.who == 1 ? "  else {\n" : shown.who == 2 ? "  if (parent.who == 2) {\n" : "  else if (parent.who == 3) {\n");
        b.append("    text = \"<font style='font-size: 8pt;font-family: sans-serif;'><b><font color='")
            .append(shown.colour)
            .append("'>");
        append_js_catalogue(b, page.web_text(shown.word));
        b.append("</font></b> ");
        append_js_catalogue(b, page.web_text(324));
        b.append("</font>\";\n    enabled = ").append(shown.enabled ? "true" : "false").append(";\n  }\n");
    }
    b.append("  getElement('whos_loggedin').innerHTML = text;\n");
    b.append("  getElement('logoutbutton').disabled = !enabled;\n}\n");

    b.append("function logout()\n{\n  if (parent.who == 1) return false;\n  if (confirm(\"");
    append_js_catalogue(b, page.web_text(0));
    b.append("\")) parent.content.location.replace('/logout.html');\n  return false;\n}\n");

    b.append("function init()\n{\n  if (parent.menu == null) {\n    alert(\"");
    append_js_catalogue(b, page.daemon_text(21));
    b.append("\");\n    window.location.replace(\"/index.html\");\n    return;\n  }\n");
    b.append("  parent.who = ").append_int(who_of(access_level)).append(";\n  update_login();\n}\n");

    b.append("var statustext = {\n");
    for (const MenuItem& item : kMenuItems) {
        b.append("  \"").append(item.id).append("\": \"");
        append_js_catalogue(b, page.web_text(std::strcmp(item.id, kRefreshItem) == 0 ? kRefreshStatus : item.label));
        b.append("\",\n");
    }
    b.append("  \"\": \"\"\n};\n");
}

void append_controller_options(PageBuilder& page, const ControllerIdList* list, const ControllerRecord* records)
{
    StringBuilder& b = page.text_body();
    int count = list == nullptr ? -888 : static_cast<int>(list->count);
    if (count < 1 || count > 255 || records == nullptr) {
        b.append("<option value=\"0\">-- ").append(page.web_text(1)).append(" --</option>\n");
        return;
    }
    for (int i = 0; i < count; i++) {
        const ControllerRecord& r = records[i];
        b.append("<option value=\"").append_int(i).append("\">").append(page.web_text(3)).append(" ");
        b.append_int(r.controller_index).append(" (");
        if (r.family == -1)
            b.append(page.web_text(2));
        else
            append_html(b, r.model);
        b.append(")</option>\n");
    }
}

}  // namespace

int write_index(PageBuilder& page, const char* host_name, int access_level)
{
    StringBuilder& b = page.text_body();
    append_head_start(page);
    b.append("<script>\nvar cur_controller = 0;\nvar cur_unit = -2;\nvar lastmessage = \"\"\n");
    b.append("var who = ").append_int(who_of(access_level)).append(";\n");
    b.append("var lang = ").append_int(page.language()).append(";\n");
    b.append("function init()\n{\n  window.menu.document.location.replace('/menu.html');\n");
    b.append("  setTimeout(\"window.content.document.location.replace('/page0.html?c=0')\", 500);\n}\n</script>\n");
    b.append("<title>Pyv2 - ");
    append_html(b, host_name);
    b.append(" - Summary</title>\n</head>\n");
    b.append("<noscript>").append(page.daemon_text(19)).append("</noscript>\n");
    b.append("<frameset frameborder=\"no\" rows=\"138,*\" onLoad=\"init()\">\n");
    b.append("<frame name=\"menu\" scrolling=\"no\" noresize src=\"/blank.html\">\n");
    b.append("<frame name=\"content\" src=\"/blank.html\">\n");
    b.append("<noframes><body><p>").append(page.daemon_text(20)).append("</p></body></noframes>\n");
    b.append("</frameset>\n</html>\n");
    return 0;
}

int write_menu(PageBuilder& page, const char* host_name, const char* os_text, const ControllerIdList* list,
               const ControllerRecord* records, int access_level)
{
    StringBuilder& b = page.text_body();
    append_head_start(page);
    b.append(kMenuStyle);
    b.append("<script language=\"Javascript\">\n").append(kMenuScript);
    append_help_script(b);
    append_login_script(page, access_level);
    b.append("</script>\n</head>\n<body bgcolor=\"#FFFFFF\" onLoad=\"init();\">\n");

    b.append("<table border=\"0\" cellspacing=\"0\" cellpadding=\"3\">\n<tr>\n");
    b.append("<td colspan=\"4\" width=\"518\"><div style=\"width:510px;overflow:hidden;white-space:nowrap;\">");
    b.append("<img src=\"/logo.gif\" name=\"logo\" border=\"0\" align=\"bottom\">");
    b.append("<img src=\"/plogo.gif\" name=\"logo\" border=\"0\" align=\"bottom\">&nbsp;<font class=\"machineinfo\">");
    append_html(b, host_name);
    b.append(" (");
    append_html(b, os_text);
    b.append(")</font></div></td>\n");
    b.append("<form name=\"logoutform\"><td colspan=\"4\" align=\"right\"><span id=\"whos_loggedin\"></span>&nbsp;");
    b.append("<font style=\"font-size: 10pt;\"><input type=\"button\" id=\"logoutbutton\" name=\"logoutbutton\" "
             "onClick=\"logout()\" value=\"");
    append_html(b, page.web_text(192));
    b.append("\"></font></td></form>\n</tr>\n<tr>\n");
    for (const MenuItem& item : kMenuItems)
        if (item.parent_menu == nullptr && std::strcmp(item.id, kRefreshItem) != 0)
            append_item_cell(page, item);
    b.append("</tr>\n<form name=\"menuform\">\n<tr>\n");
    append_item_cell(page, *find_item(kRefreshItem));
    b.append("<td colspan=\"2\" bgcolor=\"#E0A000\"><font color=\"#FFFFFF\"><b><span id=\"menutitle\"></span></b></font></td>\n");
    b.append("<td class=\"itemcell\"><span id=\"selA\" style=\"visibility:hidden;\"><font color=\"#FFFFFF\"><b>")
        .append(page.web_text(154))
        .append("</b></font></span></td>\n");
    b.append("<td colspan=\"2\" class=\"itemcell\"><span id=\"selB\" style=\"visibility:hidden;\">");
    b.append("<select id=\"selctlr\" name=\"selctlr\" onChange=\"change_controller()\">\n");
    append_controller_options(page, list, records);
    b.append("</select></span></td>\n</tr>\n</form>\n</table>\n");

    b.append("<div id=\"messagetable\" style=\"position:relative;visibility:hidden;\">");
    b.append("<table width=\"786\" border=\"0\" cellspacing=\"0\" cellpadding=\"2\"><tr><td bgcolor=\"#336699\">");
    b.append("<table width=\"100%\" border=\"0\" cellspacing=\"0\" cellpadding=\"2\"><tr><td bgcolor=\"#FFFFEA\">");
    b.append("<span id=\"lastmessage\">&nbsp;</span></td></tr></table></td></tr></table></div>\n");
    b.append("<hr width=\"100%\" align=\"left\">\n");

    for (const char* menu : kDropDowns) {
        b.append("<div id=\"").append(menu).append("\" style=\"position:absolute;z-index:1;visibility:hidden;\">");
        b.append("<table border=\"0\" cellspacing=\"0\" cellpadding=\"0\">\n");
        for (const MenuItem& item : kMenuItems) {
            if (item.parent_menu == nullptr || std::strcmp(item.parent_menu, menu) != 0)
                continue;
            b.append("<tr>");
            append_item_cell(page, item);
            b.append("</tr>\n");
        }
        b.append("</table></div>\n");
    }
    // Last in the body: the content frame's pages wait for it before they
    // touch the menu, whose elements are all there once it has run.
    b.append("<script>\nvar menu_ready = true;\n</script>\n");
    b.append("</body>\n</html>\n");
    return 0;
}
