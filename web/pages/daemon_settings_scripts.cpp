// The scripts of the Pyv2 Settings page. Each action loads "/page4.html"
// with its key and value and the current controller; the mail settings and
// the port are sent URL-encoded, so that '&', '#', '%' or '+' in what was
// typed reach the daemon as typed and cannot add keys of their own.
#include "daemon/string_builder.h"
#include "web/pages/daemon_settings_page.h"
#include "web/pages/escape.h"
#include "web/pages/page_builder.h"

namespace {

// Catalogue texts of the dialogs.
enum : int {
    kRemoteAccessQuestion = 303,   // 19: disabling remote access
    kUserPasswordUnchanged = 128,  // 19
    kReservedCharacter = 419,      // 19: '?' or '&' in a new password
    kPasswordsDiffer = 18,         // 12
};

// function NAME(PARAMS) { ...BEFORE; load "/page4.html?KEY" + VALUE }
int write_request(PageBuilder& page, const char* name, const char* params, const char* before,
                  const char* key, const char* value) {
    StringBuilder& out = page.text_body();
    out.append("function ").append(name).append("(").append(params).append(")\n{\n");
    out.append(before);
    out.append("  document.location.replace(\"/page4.html?").append(key).append("\" + ");
    out.append(value).append(" + \"&c=\" + parent.cur_controller);\n}\n");
    return 0;
}

// function NAME() { load "/page4.html?KEY" + the value chosen in the
// select ELEMENT of FORM }
int write_choice_request(PageBuilder& page, const char* name, const char* form, const char* element,
                         const char* key) {
    StringBuilder select;
    select.append("  var s = document.forms[\"").append(form).append("\"].elements[\"");
    select.append(element).append("\"];\n");
    return write_request(page, name, "", select.c_str(), key, "s.options[s.selectedIndex].value");
}

// "<web text>" or "<daemon text> : <web text>" as a double-quoted literal.
void put_alert(PageBuilder& page, int daemon_code, int web_code) {
    StringBuilder& out = page.text_body();
    out.append("\"");
    if (daemon_code != 0)
        append_js_catalogue(out, page.daemon_text(daemon_code));
    else
        append_js_catalogue(out, page.web_text(kReservedCharacter));
    out.append(" : ");
    append_js_catalogue(out, page.web_text(web_code));
    out.append("\"");
}

}  // namespace

int write_change_email_enable(PageBuilder& page) {
    return write_request(page, "change_email_enable", "enable", "", "ChangeEmailEnable=", "enable");
}

int write_change_email_securedport(PageBuilder& page) {
    page.text_body().append(R"JS(function change_email_securedport(enable, radio)
{
  var f = document.forms["ChangeMail"];
  f.elements["SecurePortYes"].checked = false;
  f.elements["SecurePortNo"].checked = false;
  if (enable == 1) {
    f.elements["SecurePortYes"].checked = true;
  } else {
    f.elements["SecurePortNo"].checked = true;
  }
}
)JS");
    return 0;
}

int write_change_email_info(PageBuilder& page) {
    return write_request(
        page, "change_email_info", "",
        "  var f = document.forms[\"ChangeMail\"];\n"
        "  var secureportflag = f.elements[\"SecurePortYes\"].checked ? 1 : 0;\n",
        "EmailSender=",
        "encodeURIComponent(f.elements[\"Sender\"].value)"
        " + \"&EmailRecipient=\" + encodeURIComponent(f.elements[\"Recipient\"].value)"
        " + \"&EmailServer=\" + encodeURIComponent(f.elements[\"Server\"].value)"
        " + \"&EmailServerLogin=\" + encodeURIComponent(f.elements[\"ServerLogin\"].value)"
        " + \"&EmailServerPasswd=\" + encodeURIComponent(f.elements[\"ServerPasswd\"].value)"
        " + \"&EmailSecurePort=\" + secureportflag");
}

int write_send_test_email(PageBuilder& page) {
    return write_request(page, "send_test_email", "", "", "SendTestEmail=", "1");
}

int write_change_email_severity(PageBuilder& page) {
    return write_choice_request(page, "change_email_severity", "ChangeMail", "Severity",
                                "EmailSeverity=");
}

int write_change_refresh(PageBuilder& page) {
    return write_choice_request(page, "change_refresh", "ChangeRefresh", "refresh", "Refresh=");
}

int write_change_remote_access(PageBuilder& page) {
    StringBuilder ask;
    ask.append("  if (enable == 0) {\n    if (!confirm(\"");
    append_js_catalogue(ask, page.web_text(kRemoteAccessQuestion));
    ask.append("\")) {\n      radio.checked = false;\n      return false;\n    }\n  }\n");
    return write_request(page, "change_remote_access", "enable, radio", ask.c_str(),
                         "RemoteAccess=", "enable");
}

int write_change_command_logging(PageBuilder& page) {
    return write_request(page, "change_command_logging", "enable, radio", "",
                         "CommandLog=", "enable");
}

int write_change_language(PageBuilder& page) {
    return write_choice_request(page, "change_language", "ChangeLanguage", "Language", "Language=");
}

int write_change_port(PageBuilder& page) {
    return write_request(
        page, "change_port", "", "",
        "Port=", "encodeURIComponent(document.forms[\"ChangePort\"].elements[\"Port\"].value)");
}

int write_submit_changepwd(PageBuilder& page) {
    StringBuilder& out = page.text_body();
    out.append(R"JS(function submit_changepwd()
{
  var f = document.forms["chpwd"];
  var newpwd = f.elements["newpwd"].value;
  var cfmpwd = f.elements["cfmpwd"].value;
  if (newpwd != cfmpwd) {
    alert()JS");
    put_alert(page, kPasswordsDiffer, kUserPasswordUnchanged);
    out.append(R"JS();
    return false;
  }
  if (newpwd.indexOf("?") != -1 || newpwd.indexOf("&") != -1) {
    alert()JS");
    put_alert(page, 0, kUserPasswordUnchanged);
    out.append(R"JS();
    return false;
  }
  f.submit();
}
)JS");
    return 0;
}
