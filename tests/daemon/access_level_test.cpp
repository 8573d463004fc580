// The access level a login cookie gives, against the stored password hashes.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "tests/daemon/context_fixture.h"
#include "daemon/config_store.h"
#include "daemon/daemon_context.h"
#include "daemon/http_codes.h"
#include "daemon/login.h"
#include "driver/message_catalogue.h"

namespace {

// crypt(3) with the login salt of "pyv2" and "userpw", and the cookies
// their hashes give (computed apart from this program).
const char kHashPyv2[] = "gZvut5gu9qKCM";
const char kHashUserpw[] = "gZXnTEG76PKSE";
const char kAdminCookiePyv2[] = "mJmyR92BjuCos";
const char kUserCookiePyv2[] = "jUH8V5yT/afEs";
const char kUserCookieUserpw[] = "jUd0cQMQXd7yk";

using AccessLevelTest = ContextFixture;

TEST_F(AccessLevelTest, CookieLinesAgainstTheStoredHashes)
{
    struct Case {
        const char* ro_pwd;
        const char* admin_pwd;
        std::string cookie_line;
        int level;
    };
    const std::string w = "WOXUSER=";
    const Case cases[] = {
        // Both levels on the default password: the salts keep them apart.
        {kHashPyv2, kHashPyv2, w + kUserCookiePyv2, kAccessUser},
        {kHashPyv2, kHashPyv2, w + kAdminCookiePyv2, kAccessAdmin},
        {kHashUserpw, kHashPyv2, w + kUserCookieUserpw, kAccessUser},
        {kHashUserpw, kHashPyv2, w + kUserCookiePyv2, kAccessNone},
        // Only the value's length is compared, at the start of the line or
        // after "; "; the name inside another cookie's name or value is not
        // the login cookie.
        {kHashPyv2, kHashPyv2, w + kAdminCookiePyv2 + "junk", kAccessAdmin},
        {kHashPyv2, kHashPyv2, "a=1; " + w + kAdminCookiePyv2 + "; b=2", kAccessAdmin},
        {kHashPyv2, kHashPyv2, "x" + w + kAdminCookiePyv2, kAccessNone},
        {kHashPyv2, kHashPyv2, "a=1;" + w + kAdminCookiePyv2, kAccessNone},
        {kHashPyv2, kHashPyv2, "a=" + w + kAdminCookiePyv2, kAccessNone},
        {kHashPyv2, kHashPyv2, "x" + w + "1; " + w + kUserCookiePyv2, kAccessUser},
        {kHashPyv2, kHashPyv2, w + std::string(kAdminCookiePyv2).substr(0, 12), kAccessNone},
        // A changed administrator password ends the old cookie.
        {kHashPyv2, kHashUserpw, w + kAdminCookiePyv2, kAccessNone},
        {kHashPyv2, kHashPyv2, "", kAccessNone},
        {kHashPyv2, kHashPyv2, "WOXUSER=", kAccessNone},
        {kHashPyv2, kHashPyv2, std::string("other=") + kAdminCookiePyv2, kAccessNone},
        // Stored texts that are no hashes match no cookie of the other text.
        {"", "*", w + kAdminCookiePyv2, kAccessNone},
    };
    for (const Case& c : cases) {
        ASSERT_EQ(config_->set_ro_pwd(c.ro_pwd), 0);
        ASSERT_EQ(config_->set_admin_pwd(c.admin_pwd), 0);
        EXPECT_EQ(context_->get_access_level(c.cookie_line.c_str()), c.level) << c.cookie_line;
    }
    EXPECT_EQ(context_->get_access_level(nullptr), kAccessNone);
}

TEST(LoginCookie, AttributesFollowTheSpecifiedText)
{
    struct Case {
        const char* tail;
        const char* cookie;
    };
    const Case cases[] = {
        {nullptr, "WOXUSER=v; Secure; HttpOnly; SameSite=Strict"},
        {";Expires=Tue, 11-Jun-2024 12:15:00 GMT;",
         "WOXUSER=v;Expires=Tue, 11-Jun-2024 12:15:00 GMT; Secure; HttpOnly; SameSite=Strict"},
    };
    for (const Case& c : cases) {
        StringBuilder out;
        append_login_cookie(out, "v", c.tail);
        EXPECT_STREQ(out.c_str(), c.cookie);
    }
}

}  // namespace
