// The Pyv2 Settings page: five tables of settings, each value read from the
// configuration when the page is written. Stored texts are HTML-escaped;
// the stored mail server password is shown to an administrator only, who
// alone may change it.
#include "web/pages/daemon_settings_page.h"

#include <cstdint>

#include "daemon/config_store.h"
#include "daemon/http_codes.h"
#include "daemon/string_builder.h"
#include "web/pages/escape.h"
#include "web/pages/page_builder.h"

namespace {

constexpr int kRefreshChoices = 10;  // the select offers Never and 1 to 10 minutes

// Severity choices of the mail filter: value and its catalogue text.
struct Severity {
    int value;
    int text;
};
constexpr Severity kSeverities[] = {{3, 240}, {2, 11}, {1, 12}};

enum : int {
    kEnabled = 183,
    kDisabled = 184,
    kYes = 362,
    kNo = 363,
};

struct SettingsPage {
    PageBuilder& page;
    StringBuilder& out;
    ConfigStore& config;

    const char* text(int code) { return page.web_text(code); }

    void open_table(const char* form, int title) {
        out.append("<table border=\"0\">\n");
        if (form != nullptr) out.append(form).append("\n");
        title_row(title);
    }
    void title_row(int title) {
        out.append("<tr>\n<td colspan=\"2\" class=\"tabletitle12\">").append(text(title));
        out.append("</td>\n</tr>\n");
    }
    void close_table(bool with_form) {
        if (with_form) out.append("</form>\n");
        out.append("</table>\n<br>\n");
    }
    // The start of a row up to the inside of its value cell.
    void row(int label) {
        out.append("<tr>\n<td width=\"250\" class=\"tabledata\"><b>&nbsp;&nbsp;")
            .append(text(label));
        out.append("</b></td>\n<td width=\"400\" class=\"tabledata\">");
    }
    void end_row() { out.append("</td>\n</tr>\n"); }
    // A row of one button; `tail` closes the input (its onClick or "disabled").
    void button_row(int label, const char* tail) {
        out.append("<tr>\n<td width=\"250\" class=\"tabledata\">&nbsp;</td>\n");
        out.append("<td width=\"400\" class=\"tabledata\"><input type=\"button\" value=\"");
        out.append(text(label)).append(tail).append("</td>\n</tr>\n");
    }
    void input(const char* type, const char* name, const char* value) {
        out.append("<input type=\"").append(type).append("\" name=\"").append(name);
        out.append("\" size=\"32\" value=\"");
        append_html(out, value);
        out.append("\">");
    }
    // A radio button: checked, or with onClick.
    void radio(bool checked, const char* on_click, int label) {
        out.append("<input type=\"radio\" ");
        if (checked)
            out.append("checked");
        else
            out.append("onClick=\"").append(on_click).append("\"");
        out.append(">").append(text(label));
    }
    // Enabled and Disabled, the one in force checked; the other calls
    // function with 1 or 0.
    void on_off(int value, const char* enable_call, const char* disable_call) {
        radio(value != 0, enable_call, kEnabled);
        out.append(" ");
        radio(value == 0, disable_call, kDisabled);
    }
};

void write_mail_table(SettingsPage& s, bool administrator) {
    StringBuilder& out = s.out;
    ConfigStore& config = s.config;
    s.open_table("<form name=\"ChangeMail\">", 253);

    s.row(254);
    s.on_off(config.get_email_enable(), "change_email_enable(1)", "change_email_enable(0)");
    s.end_row();

    s.row(255);
    out.append("<select name=\"Severity\" onChange=\"change_email_severity()\">\n");
    const int severity = config.get_email_severity();
    for (const Severity& choice : kSeverities) {
        out.append("<option value=\"").append_int(choice.value).append("\"");
        if (choice.value == severity) out.append(" selected");
        out.append(">").append(s.text(choice.text)).append("</option>\n");
    }
    out.append("</select>");
    s.end_row();

    s.row(256);
    out.append("<font face=\"\">");
    s.input("text", "Sender", config.get_email_sender());
    out.append("</font>");
    s.end_row();
    s.row(257);
    s.input("text", "Recipient", config.get_email_recipient());
    s.end_row();
    s.row(258);
    s.input("text", "Server", config.get_email_server());
    s.end_row();
    s.row(501);
    s.input("text", "ServerLogin", config.get_email_server_login());
    s.end_row();
    s.row(502);
    s.input("password", "ServerPasswd", administrator ? config.get_email_server_passwd() : "");
    s.end_row();

    s.row(559);
    const bool ssl = config.get_email_server_port_flag() != 0;
    out.append("<input type=\"radio\" name=\"SecurePortYes\"").append(ssl ? " checked" : "");
    out.append(" onClick=\"change_email_securedport(1, this)\">").append(s.text(kYes)).append(" ");
    out.append("<input type=\"radio\" name=\"SecurePortNo\"").append(ssl ? "" : " checked");
    out.append(" onClick=\"change_email_securedport(0, this)\">").append(s.text(kNo));
    s.end_row();

    s.button_row(259, "\" onClick=\"change_email_info()\">");
    s.button_row(260, "\" onClick=\"send_test_email()\">");
    s.close_table(true);
}

void write_password_table(SettingsPage& s, int c, int u, bool administrator) {
    StringBuilder& out = s.out;
    s.open_table(nullptr, 261);
    out.append("<form name=\"chpwd\" method=\"post\" action=\"page4.html?c=").append_int(c);
    out.append("&u=").append_int(u).append("&cp=1\">\n");
    s.row(262);
    out.append("<select name=\"whopwd\">\n<option name=\"pwuser\" value=\"u\">")
        .append(s.text(275));
    out.append("</option>\n<option name=\"pwadmin\" value=\"a\">").append(s.text(276));
    out.append("</option>\n</select>");
    s.end_row();
    const struct {
        int label;
        const char* name;
    } fields[] = {{263, "curpwd"}, {264, "newpwd"}, {265, "cfmpwd"}};
    for (const auto& field : fields) {
        s.row(field.label);
        s.input("password", field.name, "");
        s.end_row();
    }
    s.button_row(266, administrator ? "\" onClick=\"submit_changepwd();\">" : "\" disabled>");
    s.close_table(true);
}

void write_refresh_table(SettingsPage& s) {
    StringBuilder& out = s.out;
    s.open_table("<form name=\"ChangeRefresh\">", 267);
    s.row(268);
    out.append("<select name=\"refresh\" onChange=\"change_refresh()\">\n");
    out.append("<option value=\"0\">").append(s.text(277)).append("</option>\n");
    const int refresh = s.config.get_refresh();
    for (int minutes = 1; minutes <= kRefreshChoices; ++minutes) {
        out.append("<option value=\"").append_int(minutes).append("\"");
        if (minutes == refresh) out.append(" selected");
        out.append(">").append_int(minutes).append("</option>\n");
    }
    out.append("</select>");
    s.end_row();
    s.close_table(true);
}

void write_port_table(SettingsPage& s) {
    StringBuilder& out = s.out;
    s.open_table("<form name=\"ChangePort\">", 273);
    s.row(274);
    out.append(
        "<font face=\"\"><input type=\"text\" name=\"Port\" size=\"5\" maxlength=\"5\" value=\"");
    out.append_int(s.config.get_port()).append("\"></font>");
    s.end_row();
    s.button_row(193, "\" onClick=\"change_port()\">");
    s.close_table(true);
}

void write_server_table(SettingsPage& s) {
    s.open_table("<form>", 561);
    s.row(270);
    s.on_off(s.config.get_remote_access(), "change_remote_access(1, this)",
             "change_remote_access(0,this)");
    s.end_row();
    s.row(562);
    s.on_off(s.config.get_command_log(), "change_command_logging(1, this)",
             "change_command_logging(0,this)");
    s.end_row();
    s.close_table(true);
}

}  // namespace

int write_page4(PageBuilder& page, int c, int u) {
    page.begin_page(page.web_text(151), "Pyv2 Settings", nullptr, nullptr, page.refresh_timeout(),
                    c);
    write_change_email_enable(page);
    write_change_email_securedport(page);
    write_change_email_info(page);
    write_send_test_email(page);
    write_change_email_severity(page);
    write_change_refresh(page);
    write_change_remote_access(page);
    write_change_command_logging(page);
    write_change_language(page);
    write_change_port(page);
    write_submit_changepwd(page);
    page.end_head();

    const bool administrator = page.get_access_level() == static_cast<uint32_t>(kAccessAdmin);
    SettingsPage s{page, page.text_body(), *page.config()};
    write_mail_table(s, administrator);
    write_password_table(s, c, u, administrator);
    write_refresh_table(s);
    write_port_table(s);
    write_server_table(s);
    page.end_page(1);
    return 0;
}
