#include "daemon/base64.h"
#include "daemon/mail_password.h"
#include "daemon/string_builder.h"

#include "tests/support/files.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

using test_support::read_file;
using test_support::run_capture;
using test_support::TempDir;
using test_support::write_file;

namespace {

std::string encode(const std::string& bytes)
{
    std::string out(base64_encoded_length(static_cast<int>(bytes.size())) + 1, '?');
    int n = base64_encode(reinterpret_cast<const unsigned char*>(bytes.data()),
                          static_cast<int>(bytes.size()), out.data());
    EXPECT_EQ(out[n], '\0');
    out.resize(n);
    return out;
}

std::string decode(const std::string& text)
{
    std::string out(text.size() / 4 * 3 + 2, '\0');
    int count = -1;
    int n = base64_decode(text.c_str(), reinterpret_cast<unsigned char*>(out.data()), &count);
    EXPECT_EQ(n, count);
    out.resize(count);
    return out;
}

// The 16-byte Blowfish key of a login, as openssl enc takes it (-K hex).
std::string key_hex(const std::string& login)
{
    std::string key = login.substr(0, 16);
    key.resize(16, '\0');
    std::string hex;
    char b[3];
    for (unsigned char c : key) {
        snprintf(b, sizeof b, "%02x", c);
        hex += b;
    }
    return hex;
}

std::string openssl_bf(const std::string& mode, const std::string& login)
{
    return "openssl enc " + mode + " -a -A -bf-cbc -K " + key_hex(login) +
           " -iv 0000000000000000 -provider legacy -provider default";
}

}  // namespace

TEST(Base64, KnownTexts)
{
    struct Case {
        std::string bytes;
        std::string text;
    } cases[] = {
        {"", ""},
        {"f", "Zg=="},
        {"fo", "Zm8="},
        {"foo", "Zm9v"},
        {"foob", "Zm9vYg=="},
        {"fooba", "Zm9vYmE="},
        {"foobar", "Zm9vYmFy"},
        {std::string("\0bob\0pw", 7), "AGJvYgBwdw=="},
        {"\xfb\xff\xbf", "+/+/"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(encode(c.bytes), c.text);
        EXPECT_EQ(decode(c.text), c.bytes) << c.text;
    }
}

TEST(Base64, DecodeStopsAtPaddingOrForeignCharacters)
{
    struct Case {
        const char* text;
        std::string bytes;
    } cases[] = {
        {"Zm9v!YmFy", "foo"},
        {"Zm9vYmFy\n", "foobar"},
        {"Zm9v YmFy", "foo"},
        {"Zm8", "fo"},
        {"Zg", "f"},
        {"Zm9vY", "foo"},  // one character left over gives no byte
        {"Zg==Zm9v", "f"},
        {"=Zm9v", ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(decode(c.text), c.bytes) << c.text;
}

TEST(Base64, EveryByteValueRoundTrips)
{
    std::string all;
    for (int i = 0; i < 256; i++)
        all.push_back(static_cast<char>(i));
    for (size_t len : {254u, 255u, 256u})
        EXPECT_EQ(decode(encode(all.substr(0, len))), all.substr(0, len));
}

TEST(MailPassword, RoundTripUnderTheLogin)
{
    struct Case {
        const char* login;
        std::string password;
        std::string recovered;
    } cases[] = {
        {"bob", "pw", "pw"},
        {"", "pw", "pw"},
        {"bob", "blanks and ünïcode", "blanks and ünïcode"},
        {"bob", std::string(128, 'p'), std::string(128, 'p')},
        {"bob", std::string(129, 'p'), std::string(127, 'p')},
    };
    for (const Case& c : cases) {
        StringBuilder text;
        text.append(c.password.c_str());
        ASSERT_EQ(encrypt_mail_password(c.login, text), 0);
        std::string stored = text.c_str();
        EXPECT_EQ(stored.find_first_not_of(
                      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/="),
                  std::string::npos);
        ASSERT_EQ(decrypt_mail_password(c.login, text), 0);
        EXPECT_EQ(std::string(text.c_str()), c.recovered);
    }
}

TEST(MailPassword, StoredFormsDifferEachTime)
{
    StringBuilder a, b;
    a.append("pw");
    b.append("pw");
    ASSERT_EQ(encrypt_mail_password("bob", a), 0);
    ASSERT_EQ(encrypt_mail_password("bob", b), 0);
    EXPECT_STRNE(a.c_str(), b.c_str());
}

TEST(MailPassword, OnlyTheFirst16BytesOfTheLoginAreTheKey)
{
    StringBuilder text;
    text.append("secret");
    ASSERT_EQ(encrypt_mail_password("0123456789abcdefXYZ", text), 0);
    ASSERT_EQ(decrypt_mail_password("0123456789abcdef-other", text), 0);
    EXPECT_STREQ(text.c_str(), "secret");
}

// Texts that do not decrypt under the login stay as they are: a password
// typed into the file in plain, and a stored form under another login.
TEST(MailPassword, TextsThatDoNotDecryptAreKept)
{
    StringBuilder stored;
    stored.append("pw");
    ASSERT_EQ(encrypt_mail_password("bob", stored), 0);
    std::string bob_form = stored.c_str();
    const char* const texts[] = {"secret", "", "!!!", "QUJD"};
    for (const char* t : texts) {
        StringBuilder text;
        text.append(t);
        EXPECT_EQ(decrypt_mail_password("bob", text), 1) << t;
        EXPECT_STREQ(text.c_str(), t);
    }
    int decrypted_by_others = 0;
    const char* const others[] = {"alice", "bob2", "Bob", "x", "carol", "dave", "eve", "mallory"};
    for (const char* other : others) {
        StringBuilder text;
        text.append(bob_form.c_str());
        if (decrypt_mail_password(other, text) == 0)
            decrypted_by_others++;
        else
            EXPECT_EQ(std::string(text.c_str()), bob_form);
    }
    // A wrong key passes the padding check by chance about once in 256
    // tries and the marker check once in 16 of those.
    EXPECT_LE(decrypted_by_others, 1);
}

// The stored form is plain Blowfish-CBC that the openssl tool reads and
// writes: four marker bytes (the first in 0x10..0x1F), then the password.
TEST(MailPassword, InteroperatesWithOpensslEnc)
{
    TempDir dir;
    StringBuilder text;
    text.append("my pass");
    ASSERT_EQ(encrypt_mail_password("bob", text), 0);
    write_file(dir.file("stored.txt"), text.c_str());
    std::string plain;
    ASSERT_EQ(run_capture(openssl_bf("-d", "bob") + " -in " + dir.file("stored.txt"), &plain), 0);
    ASSERT_EQ(plain.size(), 4u + 7u);
    EXPECT_EQ(static_cast<unsigned char>(plain[0]) & 0xF0, 0x10);
    EXPECT_EQ(plain.substr(4), "my pass");

    write_file(dir.file("plain.bin"), std::string("\x1a\x02\x03\x04", 4) + "from the tool");
    std::string made;
    ASSERT_EQ(run_capture(openssl_bf("-e", "alice.login@example") + " -in " + dir.file("plain.bin"), &made), 0);
    while (!made.empty() && (made.back() == '\n' || made.back() == '\r'))
        made.pop_back();
    StringBuilder from_tool;
    from_tool.append(made.c_str());
    ASSERT_EQ(decrypt_mail_password("alice.login@example", from_tool), 0);
    EXPECT_STREQ(from_tool.c_str(), "from the tool");
}
