#include "daemon/login.h"

#include <crypt.h>

#include <cstring>
#include <new>

#include "daemon/config_store.h"
#include "daemon/daemon_context.h"
#include "daemon/http_codes.h"
#include "daemon/login_throttle.h"
#include "daemon/monotonic_clock.h"
#include "daemon/request_checks.h"
#include "daemon/string_builder.h"
#include "web/pages/page_builder.h"

const char kClearedCookie[] = "WOXUSER=; expires=Thu, 01-Jan-1970 00:00:01 GMT;";
const char kLoginCookieAttributes[] = "; Secure; HttpOnly; SameSite=Strict";

namespace {

constexpr int kPasswordSize = 64;  // at most 63 characters are read

// The current controller of a request, bounded to a controller index.
int bounded_controller(const char* url)
{
    int c = QueryParams::get_param_c(url);
    return c < 0 || c > 254 ? 0 : c;
}

struct LoginRole {
    int level;
    int invalid_message;  // category 12
    int done_message;     // category 19
    int redirect_code;
    const char* failed_log;
    const char* done_log;
};

const LoginRole kRoles[] = {
    {kAccessUser, 15, 132, kRedirectUserLoggedIn, "Failed attempt at User login", "User successfully logged in"},
    {kAccessAdmin, 16, 133, kRedirectAdminLoggedIn, "Failed attempt at Administrator login",
     "Administrator successfully logged in"},
};

// Answers the redirect page to the summary with a catalogue message, copied
// first: the page writer looks up texts of its own before it uses it.
int redirect_to_summary(PageBuilder* page, const char* message, int code)
{
    StringBuilder copy;
    copy.append(message);
    return page->write_redirect("/page0.html", copy.c_str(), code);
}

}  // namespace

int crypt_text(const char* key, const char* salt, char* out)
{
    out[0] = '\0';
    crypt_data* data = new (std::nothrow) crypt_data();
    if (data == nullptr)
        return 0;
    const char* hash = crypt_r(key == nullptr ? "" : key, salt, data);
    int ok = hash != nullptr && std::strlen(hash) == kCryptTextSize - 1;
    if (ok)
        std::memcpy(out, hash, kCryptTextSize);
    delete data;
    return ok;
}

int login_cookie_value(const char* stored_hash, int level, char* out)
{
    return crypt_text(stored_hash, level == kAccessAdmin ? kAdminCookieSalt : kUserCookieSalt, out);
}

void append_login_cookie(StringBuilder& out, const char* value, const char* tail)
{
    out.append("WOXUSER=").append(value);
    if (tail == nullptr || tail[0] == '\0') {
        out.append(kLoginCookieAttributes);
        return;
    }
    out.append(tail);
    // A tail that already ends its last attribute with ';' needs no second one.
    out.append(tail[std::strlen(tail) - 1] == ';' ? kLoginCookieAttributes + 1 : kLoginCookieAttributes);
}

int DaemonContext::get_access_level(const char* cookie_line)
{
    int found = cookie_line == nullptr ? -1 : find_login_cookie(cookie_line, static_cast<int>(std::strlen(cookie_line)));
    if (found < 0)
        return kAccessNone;
    const char* at = cookie_line + found;
    char value[kCryptTextSize];
    for (int level : {kAccessUser, kAccessAdmin}) {
        const char* stored = level == kAccessUser ? config_->get_ro_pwd() : config_->get_admin_pwd();
        if (login_cookie_value(stored, level, value) && std::strncmp(at, value, kCryptTextSize - 1) == 0)
            return level;
    }
    return kAccessNone;
}

int handle_login(DaemonContext* context, PageBuilder* page, const char* url, const char* body, const char* peer,
                 int level)
{
    (void)level;
    int c = bounded_controller(url);
    char password[kPasswordSize];
    if (QueryParams::get_parameter(body, "thepwd=", password, sizeof password) == nullptr) {
        page->write_login(c);
        return 0;
    }
    char who[kPasswordSize];
    const LoginRole* role = nullptr;
    if (QueryParams::get_parameter(body, "whopwd=", who, sizeof who) != nullptr) {
        if (who[0] == 'u')
            role = &kRoles[0];
        else if (who[0] == 'a')
            role = &kRoles[1];
    }
    if (role == nullptr) {
        redirect_to_summary(page, context->message(19, 134), kRedirectFailed);
        return 0;
    }
    // An address that failed too often waits before its next password is
    // checked; what it posts meanwhile is refused unchecked and unlogged.
    LoginThrottle& throttle = login_throttle();
    long long now = monotonic_ms();
    if (!throttle.may_check(peer, now)) {
        std::memset(password, 0, sizeof password);
        redirect_to_summary(page, context->message(12, role->invalid_message), kRedirectFailed);
        return 0;
    }
    ConfigStore* config = context->config();
    const char* stored = role->level == kAccessUser ? config->get_ro_pwd() : config->get_admin_pwd();
    char entered[kCryptTextSize];
    bool match = crypt_text(password, kLoginSalt, entered) && std::strcmp(entered, stored) == 0;
    std::memset(password, 0, sizeof password);
    char value[kCryptTextSize];
    if (match && login_cookie_value(stored, role->level, value)) {
        throttle.succeeded(peer);
        StringBuilder cookie;
        append_login_cookie(cookie, value, nullptr);
        page->set_cookie(cookie.c_str());
        context->log_command(role->done_log);
        redirect_to_summary(page, context->message(19, role->done_message), role->redirect_code);
    } else {
        throttle.failed(peer, now);
        context->log_command(role->failed_log);
        redirect_to_summary(page, context->message(12, role->invalid_message), kRedirectFailed);
    }
    return 0;
}

int handle_logout(DaemonContext* context, PageBuilder* page, const char* url, int level)
{
    (void)url;
    bool logged_in = level == kAccessUser || level == kAccessAdmin;
    if (logged_in)
        page->set_cookie(kClearedCookie);
    return redirect_to_summary(page, context->message(19, logged_in ? 135 : 134), kRedirectLoggedOut);
}
