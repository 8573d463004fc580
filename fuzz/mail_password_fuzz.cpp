// The stored mail password reader over arbitrary stored forms and logins: a
// text that does not decrypt stays as it was, and every password read back
// from its stored form under the same login is the password stored.
#include "daemon/mail_password.h"

#include <cstring>
#include <string>

#include "daemon/string_builder.h"
#include "fuzz/fuzz_input.h"
#include "fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > 4096)
        return 0;
    FuzzInput input(data, size);
    std::string login = input.random_length_string(40);
    std::string stored = input.remaining_string();
    const char* c_login = login.c_str();
    std::string c_stored(stored.c_str());

    StringBuilder text;
    text.append(c_stored.c_str());
    int r = decrypt_mail_password(c_login, text);
    FUZZ_CHECK(r == 0 || r == 1);
    if (r == 1)
        FUZZ_CHECK(c_stored == text.c_str());
    FUZZ_CHECK(static_cast<int>(std::strlen(text.c_str())) == text.length());

    // The same bytes taken as a plain password.
    StringBuilder round;
    round.append(c_stored.c_str());
    FUZZ_CHECK(encrypt_mail_password(c_login, round) == 0);
    FUZZ_CHECK(decrypt_mail_password(c_login, round) == 0);
    std::string expected = c_stored.size() > 128 ? c_stored.substr(0, 127) : c_stored;
    FUZZ_CHECK(expected == round.c_str());
    return 0;
}
