#include "web/pages/script_writer.h"

#include <cstring>

#include "daemon/config_store.h"
#include "daemon/language.h"
#include "daemon/snapshot_records.h"
#include "daemon/string_builder.h"
#include "driver/message_catalogue.h"
#include "web/pages/escape.h"

namespace {

constexpr int kWebTexts = 19;
constexpr int kDaemonTexts = 12;
constexpr int kMaxControllers = 255;

// The start of the menu banner's HTML inside a double-quoted literal.
const char* const kBannerStart =
    "<font style=\\\"color: #FF0000;font-size: 10pt; font-weight: bold; "
    "font-family:Arial,Helvetica;\\\">&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;";
const char* const kBannerEnd = "</font>";

// Pages that show no controller selector.
const char* const kPagesWithoutSelector[] = {"Login", "No Remote Access", "Summary", "Pyv2 Settings",
                                             "Help"};

bool hides_selector(const char* page_name) {
    for (const char* name : kPagesWithoutSelector)
        if (page_name != nullptr && strcmp(page_name, name) == 0) return true;
    return false;
}

// One branch of the login-state check: the access level the daemon sees,
// the frame set's condition that disagrees with it, the state it becomes and
// the daemon text that explains it.
struct LoginCheck {
    int access_level;
    const char* who_disagrees;
    int who;
    int message;
};

const LoginCheck kLoginChecks[] = {
    {0, "parent.who == 2 || parent.who == 3", 1, 26},
    {1, "parent.who != 2", 2, 27},
    {2, "parent.who != 3", 3, 28},
};

// The frame-set state each redirect code changes.
const char* redirect_action(int code) {
    switch (code) {
        case kRedirectUserLoggedIn: return "  parent.who = 2;\n  parent.menu.update_login();\n";
        case kRedirectAdminLoggedIn: return "  parent.who = 3;\n  parent.menu.update_login();\n";
        case kRedirectLoggedOut: return "  parent.who = 1;\n  parent.menu.update_login();\n";
        default: return nullptr;
    }
}

}  // namespace

ScriptWriter::ScriptWriter(ConfigStore* config, MessageCatalogue* catalogue)
    : config_(config), catalogue_(catalogue) {}

const char* ScriptWriter::text(int category, int code) {
    return catalogue_->lookup(category, code, config_->get_msg_path(),
                              checked_language(config_->get_language()));
}

void ScriptWriter::write_banner_catalogue(StringBuilder& body, const char* message) {
    body.append("parent.lastmessage = \"").append(kBannerStart);
    append_js_catalogue(body, message);
    body.append(kBannerEnd).append("\";\n");
}

int ScriptWriter::write_init(StringBuilder& body, const char* title, const char* page_name,
                             const ControllerIdList* list, const ControllerRecord* records,
                             int timeout_ms, int current_controller, int access_level) {
    const int timeout = timeout_ms > 0 ? timeout_ms : 0;
    const int language = checked_language(config_->get_language());
    const int c = current_controller;
    // The title is most often a catalogue text, which the lookups below may
    // release: it is quoted before any of them.
    StringBuilder quoted_title;
    append_js_catalogue(quoted_title, title);

    body.append("var refreshTimer;\nvar TimeOut = ").append_int(timeout).append(";\n");
    body.append("function init(messageclear)\n{\n");
    body.append("  if (parent.menu == null) {\n    alert(\"");
    append_js_catalogue(body, text(kDaemonTexts, 21));
    body.append("\");\n    window.location.replace(\"/index.html\");\n    return;\n  }\n");
    // The content page can be there before the menu it updates (a loaded
    // daemon answers the two one after the other): it waits for the menu.
    body.append("  if (!parent.menu.menu_ready) {\n");
    body.append("    setTimeout('init(' + messageclear + ')', 100);\n    return;\n  }\n");

    const int count = list != nullptr ? static_cast<int32_t>(list->count) : 0;
    if (records != nullptr && count > 0 && count <= kMaxControllers) {
        body.append("  var the_list = new Array(").append_int(count).append(");\n");
        for (int i = 0; i < count; ++i) {
            const ControllerRecord& record = records[i];
            // The model is a fixed-size field filled from the controller.
            char model[sizeof(record.model) + 1];
            memcpy(model, record.model, sizeof(record.model));
            model[sizeof(record.model)] = '\0';
            body.append("  the_list[").append_int(i).append("] = \"");
            append_js_catalogue(body, text(kWebTexts, 3));
            body.append(" ").append_int(record.controller_index).append(" (");
            if (record.family == -1)
                append_js_catalogue(body, text(kWebTexts, 2));
            else
                append_js_string(body, model);
            body.append(")\";\n  parent.menu.updateclist(").append_int(count).append(", the_list, ");
            body.append_int(c).append(");\n");
        }
    }

    body.append("  if (parent.cur_controller != ").append_int(c).append(" && ").append_int(c);
    body.append(" > -1) {\n    parent.cur_controller = ").append_int(c).append(";\n  } else if (");
    body.append_int(c).append(" < 0) {\n    parent.cur_controller = 0;\n  }\n");

    body.append("  if (parent.lang != ").append_int(language).append(") {\n    parent.lang = ");
    body.append_int(language).append(";\n    parent.menu.location.reload();\n");
    body.append("    setTimeout('init(' + messageclear + ')', 500);\n    return;\n  }\n");

    body.append("  parent.menu.change_title(\"&nbsp;&nbsp;").append(quoted_title.c_str()).append("\");\n");
    body.append("  parent.menu.toggle_select_controller('")
        .append(hides_selector(page_name) ? "hidden" : "visible")
        .append("');\n");
    body.append("  parent.document.title = \"Tavix Pyv2 - ").append(quoted_title.c_str()).append("\";\n");
    body.append("  document.title = \"Tavix Pyv2 - ").append(quoted_title.c_str()).append("\";\n");
    body.append("  parent.menu.update_selctlr();\n");

    const char* branch = "  if (";
    for (const LoginCheck& check : kLoginChecks) {
        body.append(branch).append_int(access_level).append(" == ").append_int(check.access_level);
        body.append(" && (").append(check.who_disagrees).append(")) {\n");
        body.append("    parent.who = ").append_int(check.who).append(";\n");
        body.append("    parent.menu.update_login();\n    ");
        write_banner_catalogue(body, text(kDaemonTexts, check.message));
        body.append("    messageclear = 0;\n  }");
        branch = " else if (";
    }
    body.append("\n");

    body.append("  if (parent.lastmessage != \"\") {\n    parent.menu.show_message();\n");
    body.append("    parent.lastmessage = \"\";\n  } else if (messageclear == 1) {\n");
    body.append("    parent.menu.hide_message();\n  }\n");

    body.append("  if (navigator.cookieEnabled == false) {\n    alert(\"");
    append_js_catalogue(body, text(kDaemonTexts, 25));
    body.append("\");\n  }\n");

    body.append("  if (TimeOut != 0) {\n    refreshTimer = setTimeout(function () {\n");
    body.append("      var u = document.location.href;\n");
    body.append("      if (u.indexOf(\"&auto=1\") == -1) {\n        u = u + \"&auto=1\";\n      }\n");
    body.append("      document.location.replace(u);\n    }, TimeOut);\n  }\n}\n");
    return 0;
}

int ScriptWriter::write_redirect_page(StringBuilder& body, const char* target, const char* message,
                                      int code) {
    const bool has_query = target != nullptr && strchr(target, '?') != nullptr;
    body.append("var url;\nfunction redirect_page()\n{\n");
    body.append("  if (!parent.menu.menu_ready) {\n    setTimeout(redirect_page, 100);\n    return;\n  }\n");
    body.append("  parent.menu.hide_message();\n");
    body.append("  url = \"");
    append_js_string(body, target);
    body.append(has_query ? "&c=" : "?c=").append("\" + parent.cur_controller;\n");
    if (message != nullptr) {
        body.append("  parent.lastmessage = \"").append(kBannerStart);
        append_js_string_one_line(body, message);
        body.append(kBannerEnd).append("\";\n");
    }
    const char* action = redirect_action(code);
    if (action != nullptr) body.append(action);
    if (code == kRedirectLanguageChanged) {
        body.append("  parent.lang = ").append_int(checked_language(config_->get_language()));
        body.append(";\n  parent.menu.location.reload();\n");
    }
    body.append("  setTimeout(function () { document.location.replace(url); }, 250);\n}\n");
    return 0;
}

int ScriptWriter::write_validate_name(StringBuilder& body) {
    body.append(R"JS(function validate_name(thename)
{
  var reserved = /[%&,;:"'{}|\\~`*\[\]<>()@\s]/;
  if (reserved.test(thename)) {
    return false;
  }
  return true;
}
)JS");
    return 0;
}

int ScriptWriter::write_goto_controller(StringBuilder& body) {
    body.append(R"JS(function goto_controller(i)
{
  if (parent.cur_controller != i) {
    parent.cur_controller = i;
  }
  document.location.href = "/page1_1.html" + "?c=" + parent.cur_controller + "&u=-2";
}
)JS");
    return 0;
}

int ScriptWriter::write_goto_enclosure(StringBuilder& body) {
    body.append(R"JS(function goto_enclosure(e_index, slot)
{
  document.location.href = "/page3_3.html" + "?e=" + e_index + "&c=" + parent.cur_controller + "&slot=" + slot;
}
)JS");
    return 0;
}

int ScriptWriter::write_goto_unit(StringBuilder& body) {
    body.append(R"JS(function goto_unit(i)
{
  document.location.href = "/page1_1.html" + "?c=" + parent.cur_controller + "&u=" + i;
}
)JS");
    return 0;
}

int ScriptWriter::write_goto_physummary(StringBuilder& body) {
    body.append(R"JS(function goto_physummary(phy)
{
  document.location.href = "/page1_0_1.html" + "?c=" + parent.cur_controller + "&y=" + phy;
}
)JS");
    return 0;
}

int ScriptWriter::write_goto_drivesummary(StringBuilder& body) {
    body.append(R"JS(function goto_drivesummary(drive)
{
  document.location.href = "/page1_2.html" + "?c=" + parent.cur_controller + "&d=" + drive;
}
)JS");
    return 0;
}
