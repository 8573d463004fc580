#include "daemon/mail_password.h"

#include "daemon/base64.h"
#include "daemon/string_builder.h"

#include <openssl/evp.h>
#include <openssl/provider.h>
#include <openssl/rand.h>

#include <cstdio>
#include <cstring>
#include <memory>

namespace {

const int kKeyBytes = 16;
const int kMarkerBytes = 4;
const int kBlock = 8;
// A password longer than kLongPassword characters is cut to kCutPassword.
const size_t kLongPassword = 128;
const size_t kCutPassword = 127;

// Blowfish lives in OpenSSL's legacy provider. It is loaded into a library
// context of its own, so that no other part of the process (TLS above all)
// gets legacy algorithms. Made once, kept for the life of the process.
struct LegacyBlowfish {
    OSSL_LIB_CTX* libctx = nullptr;
    OSSL_PROVIDER* legacy = nullptr;
    OSSL_PROVIDER* base = nullptr;
    EVP_CIPHER* cipher = nullptr;
};

const EVP_CIPHER* blowfish_cbc()
{
    static LegacyBlowfish bf = [] {
        LegacyBlowfish b;
        b.libctx = OSSL_LIB_CTX_new();
        if (b.libctx == nullptr)
            return b;
        b.legacy = OSSL_PROVIDER_load(b.libctx, "legacy");
        b.base = OSSL_PROVIDER_load(b.libctx, "default");
        if (b.legacy != nullptr && b.base != nullptr)
            b.cipher = EVP_CIPHER_fetch(b.libctx, "BF-CBC", nullptr);
        return b;
    }();
    return bf.cipher;
}

struct CipherCtxFree {
    void operator()(EVP_CIPHER_CTX* c) const { EVP_CIPHER_CTX_free(c); }
};
using CipherCtx = std::unique_ptr<EVP_CIPHER_CTX, CipherCtxFree>;

void make_key(const char* login, unsigned char key[kKeyBytes])
{
    std::memset(key, 0, kKeyBytes);
    size_t n = login == nullptr ? 0 : std::strlen(login);
    std::memcpy(key, login, n < kKeyBytes ? n : kKeyBytes);
}

}  // namespace

int encrypt_mail_password(const char* login, StringBuilder& text)
{
    const EVP_CIPHER* cipher = blowfish_cbc();
    CipherCtx ctx(EVP_CIPHER_CTX_new());
    if (cipher == nullptr || ctx == nullptr) {
        std::fprintf(stderr, "Blowfish is not available: the mail password is not stored\n");
        text.clear();
        return 1;
    }
    size_t plain_len = static_cast<size_t>(text.length());
    if (plain_len > kLongPassword)
        plain_len = kCutPassword;

    unsigned char key[kKeyBytes];
    unsigned char iv[kBlock] = {0};
    make_key(login, key);
    unsigned char marker[kMarkerBytes];
    if (RAND_bytes(marker, kMarkerBytes) != 1) {
        std::fprintf(stderr, "No random bytes: the mail password is not stored\n");
        text.clear();
        return 1;
    }
    marker[0] = static_cast<unsigned char>(0x10 | (marker[0] & 0x0F));

    // marker + password + one block of padding at most
    unsigned char out[kMarkerBytes + kLongPassword + 2 * kBlock];
    int n1 = 0, n2 = 0, n3 = 0;
    bool ok = EVP_EncryptInit_ex(ctx.get(), cipher, nullptr, key, iv) == 1 &&
              EVP_EncryptUpdate(ctx.get(), out, &n1, marker, kMarkerBytes) == 1 &&
              EVP_EncryptUpdate(ctx.get(), out + n1, &n2,
                                reinterpret_cast<const unsigned char*>(text.c_str()),
                                static_cast<int>(plain_len)) == 1 &&
              EVP_EncryptFinal_ex(ctx.get(), out + n1 + n2, &n3) == 1;
    if (!ok) {
        std::fprintf(stderr, "Blowfish failed: the mail password is not stored\n");
        text.clear();
        return 1;
    }
    char encoded[base64_encoded_length(sizeof out) + 1];
    base64_encode(out, n1 + n2 + n3, encoded);
    text.clear();
    text.append(encoded);
    return 0;
}

int decrypt_mail_password(const char* login, StringBuilder& text)
{
    const EVP_CIPHER* cipher = blowfish_cbc();
    CipherCtx ctx(EVP_CIPHER_CTX_new());
    if (cipher == nullptr || ctx == nullptr)
        return 1;
    int text_len = text.length();
    std::unique_ptr<unsigned char[]> raw(new unsigned char[text_len / 4 * 3 + 2]);
    int raw_len = 0;
    base64_decode(text.c_str(), raw.get(), &raw_len);
    if (raw_len == 0)
        return 1;

    unsigned char key[kKeyBytes];
    unsigned char iv[kBlock] = {0};
    make_key(login, key);
    std::unique_ptr<unsigned char[]> plain(new unsigned char[raw_len + kBlock + 1]);
    int n1 = 0, n2 = 0;
    bool ok = EVP_DecryptInit_ex(ctx.get(), cipher, nullptr, key, iv) == 1 &&
              EVP_DecryptUpdate(ctx.get(), plain.get(), &n1, raw.get(), raw_len) == 1 &&
              EVP_DecryptFinal_ex(ctx.get(), plain.get() + n1, &n2) == 1;
    int plain_len = n1 + n2;
    // A wrong key passes the padding check now and then; the marker byte
    // tells a real stored password from such garbage.
    if (!ok || plain_len < kMarkerBytes || (plain[0] & 0xF0) != 0x10)
        return 1;
    plain[plain_len] = '\0';
    text.clear();
    text.append(reinterpret_cast<const char*>(plain.get()) + kMarkerBytes);
    return 0;
}
