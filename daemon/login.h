// Logins: two passwords, stored as crypt(3) hashes (ROpwd for the user level,
// ADMINpwd for the administrator level). A login sets the cookie WOXUSER,
// whose value is crypt(3) of the level's stored hash with the level's cookie
// salt, so every request's level is recomputed from the cookie alone.
#pragma once

class DaemonContext;
class PageBuilder;
class StringBuilder;

constexpr const char* kLoginSalt = "gZ";
constexpr const char* kUserCookieSalt = "jU";
constexpr const char* kAdminCookieSalt = "mJ";
constexpr int kCryptTextSize = 14;  // 13 characters and the NUL

// The cookie text that makes the browser forget the login.
extern const char kClearedCookie[];
// Attributes sent with every login cookie, so that another site cannot make
// the browser send it (and the page scripts never need to read it).
extern const char kLoginCookieAttributes[];

// crypt(3) of key with the two-character salt into out (kCryptTextSize
// bytes). Returns 1 for a 13-character result, else 0 (out then empty).
int crypt_text(const char* key, const char* salt, char* out);

// The cookie value of a level (1 user, 2 administrator) for the stored hash.
int login_cookie_value(const char* stored_hash, int level, char* out);

// Appends "WOXUSER=<value>", the given tail (may be null) and the login
// cookie attributes.
void append_login_cookie(StringBuilder& out, const char* value, const char* tail);

// The login form's handler ("/login.html", and every page requested without
// a login, with an empty body). Failed logins are throttled per peer address
// (login_throttle.h): a login posted while its address waits is answered as
// a wrong password, unchecked and unlogged. Returns 0.
int handle_login(DaemonContext* context, PageBuilder* page, const char* url, const char* body, const char* peer,
                 int level);

// "/logout.html": clears the cookie of a logged-in requester and answers the
// redirect page with code 104.
int handle_logout(DaemonContext* context, PageBuilder* page, const char* url, int level);
