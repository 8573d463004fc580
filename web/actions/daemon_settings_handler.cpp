#include "web/actions/daemon_settings_handler.h"

#include <cctype>
#include <cstdio>
#include <cstring>

#include "api/command_logger.h"
#include "daemon/config_store.h"
#include "daemon/language.h"
#include "daemon/listen_socket.h"
#include "daemon/login.h"
#include "daemon/mail_sender.h"
#include "web/actions/handler_frame.h"
#include "web/pages/daemon_settings_page.h"

namespace {

constexpr const char* kTarget = "/page4.html";
constexpr int kHostSize = 64;        // at most 63 characters of the Host header
constexpr int kMailTextMax = 127;    // characters of a stored mail setting
constexpr int kMailValueSize = 512;  // room for a mail setting URL-encoded
constexpr int kCurrentPasswordSize = 128;
constexpr int kPasswordSize = 64;
constexpr int kLargestRefresh = 1440;  // minutes: one day
constexpr int kLargestPort = 65535;

// Catalogue texts (category 19 unless noted).
enum : int {
    kTestMailBody = 105,
    kTestMailFailed = 106,
    kTestMailCheck = 107,
    kMailDisabled = 109,
    kMailEnabled = 110,
    kUnknownSetting = 111,
    kMailSettingsUnchanged = 112,
    kMailSettingsChanged = 113,
    kSeverityChanged = 115,
    kRefreshDisabled = 117,
    kRefreshSetTo = 118,
    kRefreshUnchanged = 116,
    kRemoteDisabled = 120,
    kRemoteEnabled = 121,
    kLanguageUnchanged = 122,
    kLanguageChanged = 123,
    kPortUnchanged = 124,
    kSamePort = 125,
    kInvalidPort = 126,
    kPasswordUnchanged = 127,
    kUnknownLogin = 134,
    kTestMailSentAuth = 524,
    kTestMailSent = 525,
    kCommandLogging = 562,
    kLoggingDisabled = 563,
    kLoggingEnabled = 564,
    kNotSaved = 595,
    kMailEnableUnchanged = 108,
    kSeverityUnchanged = 114,
    kRemoteUnchanged = 119,
    kListenFailed = 5,      // 12: the listening socket could not be opened
    kMailPortFailed = 30,   // 12: storing the mail server's port failed
    kPasswordsDiffer = 18,  // 12: the two new passwords differ
    kOperationAborted = 31,  // 12
};

// A mail setting that the daemon refuses to store.
const char* const kBadMailText =
    "An e-mail setting holds a control character or more than 127 characters";

// The message of a test mail that failed, by the mail sender's result
// (daemon texts).
struct MailFailure {
    int result;
    int text;
};
constexpr MailFailure kMailFailures[] = {{1, 11}, {2, 12}, {3, 13}, {4, 14}, {5, 29}};
constexpr int kMailRefused = 5;  // the server refused the mail: its reply is shown

struct Settings {
    DaemonContext* context;
    PageBuilder* page;
    const PageRequest& request;
    ConfigStore* config;
};

int redirect(const Settings& s, const ActionMessage& message, int code) {
    return message.redirect(s.page, kTarget, code);
}

// A change the configuration file could not take (a full or read-only
// disk): it has not been made, and the answer says so with the action's
// "unchanged" text (a catalogue text of category 19, or of 12 when daemon
// is set). Nothing is logged.
int not_saved(const Settings& s, int unchanged_text, bool daemon = false) {
    ActionMessage message(s.context);
    message.web(kNotSaved).text(" : ");
    if (daemon)
        message.daemon(unchanged_text);
    else
        message.web(unchanged_text);
    return redirect(s, message, kRedirectFailed);
}

// A value that is a plain decimal number of at most nine digits.
bool plain_number(const char* text, int* out) {
    const size_t n = std::strlen(text);
    if (n == 0 || n > 9) return false;
    int v = 0;
    for (size_t i = 0; i < n; ++i) {
        if (!std::isdigit(static_cast<unsigned char>(text[i]))) return false;
        v = v * 10 + (text[i] - '0');
    }
    *out = v;
    return true;
}

// --- Test mail.

int send_test_mail(const Settings& s) {
    ActionMessage message(s.context);
    StringBuilder body;
    body.append(s.context->message(19, kTestMailBody));
    MailSender sender(s.config);
    const int result = sender.send_alert(body.c_str());
    const MailFailure* failure = nullptr;
    for (const MailFailure& f : kMailFailures)
        if (f.result == result) failure = &f;
    if (failure != nullptr) {
        message.daemon(failure->text).text(" : ").web(kTestMailFailed);
        if (result == kMailRefused) message.text(" - ").value(sender.last_reply());
    } else {
        const bool authenticated =
            (result == 112 || result == 113) && (s.config->get_email_server_port_flag() != 0 ||
                                                 s.config->get_email_server_login()[0] != '\0');
        message.web(authenticated ? kTestMailSentAuth : kTestMailSent)
            .text(" ")
            .web(kTestMailCheck);
    }
    s.context->log_command("Sent Test E-mail");
    return redirect(s, message, kRedirectDone);
}

// --- E-mail notification on or off.

int change_email_enable(const Settings& s, const char* value) {
    ActionMessage message(s.context);
    if (value[0] == '0' || value[0] == '1') {
        const int on = value[0] == '1';
        if (s.config->set_email_enable(on) != 0) return not_saved(s, kMailEnableUnchanged);
        message.web(on ? kMailEnabled : kMailDisabled);
        s.context->log_command(on ? "Enabled e-mail notification" : "Disabled e-mail notification");
    } else {
        message.web(kUnknownSetting);
    }
    return redirect(s, message, kRedirectDone);
}

// --- Mail settings.

// One mail text of the request: absent, or decoded and checked.
struct MailText {
    const char* key;
    bool present;
    bool usable;
    char text[kMailValueSize];
};

// The byte of "%XX" at p, or -1.
int escaped_byte(const char* p) {
    if (p[0] != '%' || !std::isxdigit(static_cast<unsigned char>(p[1])) ||
        !std::isxdigit(static_cast<unsigned char>(p[2])))
        return -1;
    char hex[3] = {p[1], p[2], '\0'};
    return static_cast<int>(std::strtol(hex, nullptr, 16));
}

bool is_control(int c) { return c < 0x20 || c == 0x7F; }

// Reads and decodes the key's value. It is usable when it arrived whole,
// holds no control character (escaped or not) and decodes to at most
// kMailTextMax characters.
void read_mail_text(const char* url, MailText& t) {
    t.present = get_value(url, t.key, t.text);
    t.usable = true;
    if (!t.present) return;
    if (std::strlen(t.text) >= sizeof t.text - 1) t.usable = false;
    for (const char* p = t.text; *p != '\0' && t.usable; ++p) {
        const int escaped = escaped_byte(p);
        if (is_control(static_cast<unsigned char>(*p)) || (escaped >= 0 && is_control(escaped)))
            t.usable = false;
    }
    QueryParams::url_decode(t.text);
    if (std::strlen(t.text) > static_cast<size_t>(kMailTextMax)) t.usable = false;
}

int change_mail_settings(const Settings& s) {
    const char* url = s.request.url;
    MailText sender{"EmailSender=", false, false, {}};
    MailText recipient{"EmailRecipient=", false, false, {}};
    MailText server{"EmailServer=", false, false, {}};
    MailText passwd{"EmailServerPasswd=", false, false, {}};
    MailText login{"EmailServerLogin=", false, false, {}};
    MailText* const texts[] = {&sender, &recipient, &server, &passwd, &login};
    ActionMessage message(s.context);
    // Nothing is stored unless every text can be.
    for (MailText* t : texts) {
        read_mail_text(url, *t);
        if (!t->usable)
            return redirect(s, message.text(kBadMailText).text(" : ").web(kMailSettingsUnchanged),
                            kRedirectFailed);
    }
    // Each setting is one write of the file, in the form's order; the first
    // that cannot be written ends the action (those before it stay stored).
    int stored = s.config->set_email_sender(sender.text);
    if (stored == 0 && recipient.present) stored = s.config->set_email_recipient(recipient.text);
    if (stored == 0 && server.present) stored = s.config->set_email_server(server.text);
    if (stored == 0 && passwd.present) stored = s.config->set_email_server_passwd(passwd.text);
    if (stored == 0 && login.present) stored = s.config->set_email_server_login(login.text);
    std::memset(passwd.text, 0, sizeof passwd.text);
    if (stored != 0) return not_saved(s, kMailSettingsUnchanged);

    char value[kValueSize];
    if (get_value(url, "EmailServerPort=", value)) {
        int port = 0;
        if (!plain_number(value, &port) || port < 1 || port > kLargestPort)
            return redirect(s,
                            message.daemon(kMailPortFailed).text(" : ").web(kMailSettingsUnchanged),
                            kRedirectNotPermitted);
        if (s.config->set_email_server_port_last_set_to(port) != 0)
            return not_saved(s, kMailSettingsUnchanged);
    }
    if (get_value(url, "EmailSecurePort=", value) && (value[0] == '0' || value[0] == '1') &&
        s.config->set_email_server_port_flag(value[0] == '1') != 0)
        return not_saved(s, kMailSettingsUnchanged);

    StringBuilder line;
    line.append("Changed e-mail settings: sender=").append(sender.text);
    line.append(" recipient=").append(recipient.text).append(" server=").append(server.text);
    s.context->log_command(line.c_str());
    return redirect(s, message.web(kMailSettingsChanged), kRedirectDone);
}

// --- Severity, refresh, remote access, command logging, language.

const char* severity_name(int severity) {
    switch (severity) {
        case 1:
            return "ERROR";
        case 2:
            return "WARNING";
        case 3:
            return "INFO";
        default:
            return "UNKNOWN SEVERITY";
    }
}

int change_severity(const Settings& s, const char* value) {
    const int severity = std::atoi(value);
    if (s.config->set_email_severity(severity) != 0) return not_saved(s, kSeverityUnchanged);
    StringBuilder line;
    line.append("Changed e-mail notification severity to ").append(severity_name(severity));
    s.context->log_command(line.c_str());
    ActionMessage message(s.context);
    return redirect(s, message.web(kSeverityChanged), kRedirectDone);
}

int change_refresh(const Settings& s, const char* value) {
    ActionMessage message(s.context);
    int minutes = 0;
    if (!plain_number(value, &minutes) || minutes > kLargestRefresh)
        return redirect(s, message.web(kUnknownSetting).text(" : ").web(kRefreshUnchanged),
                        kRedirectFailed);
    if (s.config->set_refresh(minutes) != 0) return not_saved(s, kRefreshUnchanged);
    if (minutes == 0)
        message.web(kRefreshDisabled);
    else
        message.web(kRefreshSetTo).number(minutes);
    return redirect(s, message, kRedirectDone);
}

// A switch of the form "0" or "1": stored by set, the message of the state,
// or "Unknown setting" and nothing stored.
int change_switch(const Settings& s, const char* value, int (ConfigStore::*set)(int), int off_text,
                  int on_text, int unchanged_text) {
    ActionMessage message(s.context);
    if (std::strcmp(value, "0") == 0 || std::strcmp(value, "1") == 0) {
        const int on = value[0] == '1';
        if ((s.config->*set)(on) != 0) return not_saved(s, unchanged_text);
        message.web(on ? on_text : off_text);
    } else {
        message.web(kUnknownSetting);
    }
    return redirect(s, message, kRedirectDone);
}

int change_remote_access(const Settings& s, const char* value) {
    return change_switch(s, value, &ConfigStore::set_remote_access, kRemoteDisabled,
                         kRemoteEnabled, kRemoteUnchanged);
}

int change_command_log(const Settings& s, const char* value) {
    ActionMessage message(s.context);
    if (std::strcmp(value, "0") != 0 && std::strcmp(value, "1") != 0)
        return redirect(s, message.web(kUnknownSetting), kRedirectDone);
    const int on = value[0] == '1';
    if (s.config->set_command_log(on) != 0) return not_saved(s, kOperationAborted, true);
    s.context->command_logger()->set_enabled(static_cast<uint8_t>(on));
    message.web(kCommandLogging).text(" ").web(on ? kLoggingEnabled : kLoggingDisabled);
    return redirect(s, message, kRedirectDone);
}

int change_language(const Settings& s, const char* value) {
    ActionMessage message(s.context);
    int language = 0;
    if (!plain_number(value, &language) || language >= kLanguageCount)
        return redirect(s, message.web(kUnknownSetting).text(" : ").web(kLanguageUnchanged),
                        kRedirectFailed);
    if (s.config->set_language(language) != 0) return not_saved(s, kLanguageUnchanged);
    // In the new language.
    return redirect(s, message.web(kLanguageChanged), kRedirectLanguageChanged);
}

// --- Listening port.

int change_port(const Settings& s, const char* value) {
    ActionMessage message(s.context);
    int port = 0;
    const bool number = plain_number(value, &port);
    if (number && port == s.config->get_port())
        return redirect(s, message.web(kSamePort), kRedirectDone);
    if (!number || port < 1 || port > kLargestPort)
        return redirect(s, message.web(kInvalidPort), kRedirectDone);
    // The daemon moves only to a port it can listen on.
    if (!port_can_listen(port))
        return redirect(s, message.daemon(kListenFailed).text(" : ").web(kPortUnchanged),
                        kRedirectFailed);
    char host[kHostSize];
    if (!host_of_header(s.request.host, host, sizeof host) &&
        !host_of_header(s.context->get_host_name(), host, sizeof host))
        std::snprintf(host, sizeof host, "localhost");
    // The listener moves only to a port that is stored: the next start
    // listens where this one does.
    if (s.config->set_port(port) != 0) return not_saved(s, kPortUnchanged);
    char url[kHostSize + 16];
    std::snprintf(url, sizeof url, "https://%s:%d", host, port);
    return s.page->write_go_home(url);
}

// --- Passwords.

struct PasswordRole {
    int invalid_text;  // 12
    int unchanged_text;
    int changed_text;
    int redirect_code;
    const char* failed_log;
    const char* changed_log;
};

const PasswordRole kUserPassword = {15,
                                    128,
                                    129,
                                    kRedirectDone,
                                    "Failed to change User password",
                                    "Successfully changed User password"};
const PasswordRole kAdminPassword = {16,
                                     130,
                                     131,
                                     kRedirectNotPermitted,
                                     "Failed to change Administrator password",
                                     "Successfully changed Administrator password"};

// Checks the current password of the role and stores the new one; the
// administrator who changes the administrator password gets the login
// cookie of the new one, so the session goes on.
void change_role_password(const Settings& s, bool admin, const char* current, const char* fresh,
                          const char* confirmed, ActionMessage& message) {
    const PasswordRole& role = admin ? kAdminPassword : kUserPassword;
    const char* stored = admin ? s.config->get_admin_pwd() : s.config->get_ro_pwd();
    char hash[kCryptTextSize];
    bool changed = false;
    if (!crypt_text(current, kLoginSalt, hash) || std::strcmp(hash, stored) != 0) {
        message.daemon(role.invalid_text).text(" : ").web(role.unchanged_text);
    } else if (std::strcmp(fresh, confirmed) != 0) {
        message.daemon(kPasswordsDiffer).text(" : ").web(role.unchanged_text);
    } else if (!crypt_text(fresh, kLoginSalt, hash)) {
        message.web(role.unchanged_text);
    } else if ((admin ? s.config->set_admin_pwd(hash) : s.config->set_ro_pwd(hash)) != 0) {
        // The old password stays the one that logs in.
        message.web(kNotSaved).text(" : ").web(role.unchanged_text);
    } else {
        char value[kCryptTextSize];
        if (admin && login_cookie_value(hash, kAccessAdmin, value)) {
            StringBuilder cookie;
            append_login_cookie(cookie, value, nullptr);
            s.page->set_cookie(cookie.c_str());
        }
        message.web(role.changed_text);
        changed = true;
    }
    s.context->log_command(changed ? role.changed_log : role.failed_log);
}

int change_password(const Settings& s) {
    const char* body = s.request.body != nullptr ? s.request.body : "";
    char current[kCurrentPasswordSize];
    char who[kPasswordSize];
    char fresh[kPasswordSize];
    char confirmed[kPasswordSize];
    get_value(body, "curpwd=", current);
    get_value(body, "whopwd=", who);
    get_value(body, "newpwd=", fresh);
    get_value(body, "cfmpwd=", confirmed);

    ActionMessage message(s.context);
    int code;
    if (s.request.level != kAccessAdmin) {
        message.refusal(kRefusalColon).web(kPasswordUnchanged);
        code = kRedirectNotPermitted;
    } else if (who[0] == 'u' || who[0] == 'a') {
        change_role_password(s, who[0] == 'a', current, fresh, confirmed, message);
        code = who[0] == 'a' ? kAdminPassword.redirect_code : kUserPassword.redirect_code;
    } else {
        message.web(kUnknownLogin);
        code = kRedirectFailed;
    }
    std::memset(current, 0, sizeof current);
    std::memset(fresh, 0, sizeof fresh);
    std::memset(confirmed, 0, sizeof confirmed);
    return redirect(s, message, code);
}

// --- The action keys.

using ValueAction = int (*)(const Settings&, const char* value);

struct SettingsKey {
    const char* key;
    ValueAction action;     // null: the key's own function below
    const char* separator;  // of the administrator refusal; null: anyone may
    int refusal_category;
    int refusal_text;
};

// In the order tested; "EmailServerPort=" and "EmailSecurePort=" hold
// "Port=" but travel only with "EmailSender=", which comes first.
const SettingsKey kSettingsKeys[] = {
    {"SendTestEmail=", nullptr, nullptr, 0, 0},
    {"ChangeEmailEnable=", change_email_enable, kRefusalColon, 19, 108},
    {"EmailSender=", nullptr, kRefusalColon, 19, 112},
    {"EmailSeverity=", change_severity, kRefusalColon, 19, 114},
    {"Refresh=", change_refresh, kRefusalColon, 19, 116},
    {"RemoteAccess=", change_remote_access, kRefusalColon, 19, 119},
    {"CommandLog=", change_command_log, kRefusalColon, 12, 31},
    {"Language=", change_language, kRefusalColon, 19, 122},
    {"Port=", change_port, kRefusalJoined, 19, kPortUnchanged},
};

int act(const Settings& s, const SettingsKey& k) {
    if (k.separator != nullptr && s.request.level != kAccessAdmin) {
        ActionMessage message(s.context);
        message.refusal(k.separator);
        if (k.refusal_category == 12)
            message.daemon(k.refusal_text);
        else
            message.web(k.refusal_text);
        return redirect(s, message, kRedirectNotPermitted);
    }
    if (k.action == nullptr)
        return k.separator == nullptr ? send_test_mail(s) : change_mail_settings(s);
    char value[kValueSize];
    get_value(s.request.url, k.key, value);
    return k.action(s, value);
}

}  // namespace

bool host_of_header(const char* host, char* out, int size) {
    if (size < 1) return false;
    out[0] = '\0';
    if (host == nullptr || std::strlen(host) >= kHostSize) return false;
    size_t n;
    const char* allowed;
    if (host[0] == '[') {
        const char* end = std::strchr(host, ']');
        if (end == nullptr || end == host + 1) return false;
        n = static_cast<size_t>(end - host) + 1;
        if (std::strspn(host + 1, "0123456789abcdefABCDEF:.") != n - 2) return false;
        allowed = nullptr;
    } else {
        n = std::strcspn(host, ":");
        allowed = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789.-";
    }
    if (n == 0 || n >= static_cast<size_t>(size)) return false;
    if (allowed != nullptr && std::strspn(host, allowed) < n) return false;
    std::memcpy(out, host, n);
    out[n] = '\0';
    return true;
}

bool page4_has_action(const char* url) { return first_key(url, kSettingsKeys) != nullptr; }

bool port_can_listen(int port) {
    ListenSocket probe;
    return probe.open(port) == 0;
}

int handle_page4(DaemonContext* context, PageBuilder* page, const PageRequest& request) {
    const Settings s{context, page, request, context->config()};
    if (const SettingsKey* k = first_key(request.url, kSettingsKeys)) return act(s, *k);
    if (has_key(request.body, "curpwd=")) return change_password(s);
    return write_page4(*page, context->get_param_c(request.url), context->get_param_u(request.url));
}
