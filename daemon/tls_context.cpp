#include "daemon/tls_context.h"

#include "daemon/string_builder.h"
#include "daemon/temp_files.h"

#include <arpa/inet.h>
#include <errno.h>
#include <net/if.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <openssl/bn.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/rand.h>
#include <openssl/rsa.h>
#include <openssl/x509v3.h>

#include <cstdio>
#include <cstring>

namespace {

const int kKeyBits = 2048;
const long kValidFromSeconds = -86400;      // one day back
const long kValidToSeconds = 315360000;     // 3650 days ahead
const int kSerialBits = 63;
const int kProcLine = 512;

// TLS 1.2 suites: forward-secret key exchange and AEAD ciphers only. TLS 1.3
// keeps the library's own list.
const char kTls12Ciphers[] =
    "ECDHE-ECDSA-AES128-GCM-SHA256:ECDHE-RSA-AES128-GCM-SHA256:"
    "ECDHE-ECDSA-AES256-GCM-SHA384:ECDHE-RSA-AES256-GCM-SHA384:"
    "ECDHE-ECDSA-CHACHA20-POLY1305:ECDHE-RSA-CHACHA20-POLY1305";

const char* const kNameEntries[][2] = {
    {"C", "US"},
    {"L", "Tresmont"},
    {"O", "QEL Pyv2"},
    {"OU", "Pyv2 Server"},
};

// The names a client may reach this machine by: each interface address, then
// the loopback address, "localhost" and the host name.
struct ServerNames {
    char addresses[kMaxInterfaces][INET_ADDRSTRLEN];
    int address_count = 0;
    HostIdentity host;
};

void collect_server_names(ServerNames& names)
{
    in_addr addrs[kMaxInterfaces];
    int n = get_interface_addresses(addrs);
    for (int i = 0; i < n; i++)
        inet_ntop(AF_INET, &addrs[i], names.addresses[names.address_count++], INET_ADDRSTRLEN);
}

bool add_name_entries(X509_NAME* name, const ServerNames& names)
{
    auto add = [name](const char* field, const char* value) {
        return X509_NAME_add_entry_by_txt(name, field, MBSTRING_ASC,
                                          reinterpret_cast<const unsigned char*>(value), -1, -1,
                                          0) == 1;
    };
    for (const auto& e : kNameEntries)
        if (!add(e[0], e[1]))
            return false;
    for (int i = 0; i < names.address_count; i++)
        if (!add("CN", names.addresses[i]))
            return false;
    return add("CN", "127.0.0.1") && add("CN", "localhost") && add("CN", names.host.get_host_name());
}

bool add_conf_extension(X509* cert, int nid, const char* value)
{
    X509_EXTENSION* ext = X509V3_EXT_conf_nid(nullptr, nullptr, nid, value);
    if (ext == nullptr)
        return false;
    bool ok = X509_add_ext(cert, ext, -1) == 1;
    X509_EXTENSION_free(ext);
    return ok;
}

bool push_general_name(GENERAL_NAMES* list, int type, const unsigned char* bytes, int len)
{
    ASN1_STRING* s = type == GEN_IPADD ? ASN1_OCTET_STRING_new() : ASN1_IA5STRING_new();
    GENERAL_NAME* gn = GENERAL_NAME_new();
    if (s == nullptr || gn == nullptr || ASN1_STRING_set(s, bytes, len) != 1) {
        ASN1_STRING_free(s);
        GENERAL_NAME_free(gn);
        return false;
    }
    GENERAL_NAME_set0_value(gn, type, s);
    if (sk_GENERAL_NAME_push(list, gn) == 0) {
        GENERAL_NAME_free(gn);
        return false;
    }
    return true;
}

bool push_ip(GENERAL_NAMES* list, const char* text)
{
    in_addr a;
    if (inet_pton(AF_INET, text, &a) != 1)
        return false;
    return push_general_name(list, GEN_IPADD, reinterpret_cast<const unsigned char*>(&a), 4);
}

bool push_dns(GENERAL_NAMES* list, const char* text)
{
    return push_general_name(list, GEN_DNS, reinterpret_cast<const unsigned char*>(text),
                             static_cast<int>(std::strlen(text)));
}

// Browsers match names only against the subjectAltName, never the CN.
bool add_subject_alt_name(X509* cert, const ServerNames& names)
{
    GENERAL_NAMES* list = sk_GENERAL_NAME_new_null();
    if (list == nullptr)
        return false;
    bool ok = true;
    for (int i = 0; ok && i < names.address_count; i++)
        ok = push_ip(list, names.addresses[i]);
    ok = ok && push_ip(list, "127.0.0.1") && push_dns(list, "localhost") &&
         push_dns(list, names.host.get_host_name());
    ok = ok && X509_add1_ext_i2d(cert, NID_subject_alt_name, list, 0, X509V3_ADD_APPEND) == 1;
    GENERAL_NAMES_free(list);
    return ok;
}

bool set_random_serial(X509* cert)
{
    BIGNUM* bn = BN_new();
    bool ok = bn != nullptr && BN_rand(bn, kSerialBits, BN_RAND_TOP_ANY, BN_RAND_BOTTOM_ANY) == 1 &&
              BN_to_ASN1_INTEGER(bn, X509_get_serialNumber(cert)) != nullptr;
    BN_free(bn);
    return ok;
}

// The failures of a certificate that the default security level refuses.
bool refused_as_weak(unsigned long err)
{
    if (ERR_GET_LIB(err) != ERR_LIB_SSL)
        return false;
    int reason = ERR_GET_REASON(err);
    return reason == SSL_R_EE_KEY_TOO_SMALL || reason == SSL_R_CA_KEY_TOO_SMALL ||
           reason == SSL_R_CA_MD_TOO_WEAK;
}

bool load_certificate_chain(SSL_CTX* ctx, const char* path)
{
    ERR_clear_error();
    if (SSL_CTX_use_certificate_chain_file(ctx, path) == 1)
        return true;
    if (!refused_as_weak(ERR_peek_last_error()))
        return false;
    // A certificate file made by an older version (1024-bit key, MD5): keep
    // serving it rather than failing the start.
    std::fprintf(stderr, "%s: weak certificate, loaded at security level 1\n", path);
    ERR_clear_error();
    SSL_CTX_set_security_level(ctx, 1);
    return SSL_CTX_use_certificate_chain_file(ctx, path) == 1;
}

}  // namespace

int pem_passphrase_callback(char* buf, int size, int /*rwflag*/, void* user_data)
{
    const char* pass = static_cast<const char*>(user_data);
    if (pass == nullptr)
        return 0;
    int len = static_cast<int>(std::strlen(pass));
    if (size < len + 1)
        return 0;
    std::memcpy(buf, pass, static_cast<size_t>(len) + 1);
    return len;
}

int list_network_interfaces(char names[kMaxInterfaces][kInterfaceNameSize])
{
    std::memset(names, 0, sizeof(char[kMaxInterfaces][kInterfaceNameSize]));
    FILE* f = std::fopen("/proc/net/dev", "r");
    if (f == nullptr)
        return 0;
    int count = 0;
    char line[kProcLine];
    while (count < kMaxInterfaces && std::fgets(line, sizeof line, f) != nullptr) {
        char* colon = std::strchr(line, ':');
        if (colon == nullptr)
            continue;
        *colon = '\0';
        const char* name = line;
        while (*name == ' ')
            name++;
        size_t len = std::strlen(name);
        if (std::strcmp(name, "lo") == 0 || len >= kInterfaceNameSize)
            continue;
        std::memcpy(names[count++], name, len + 1);
    }
    std::fclose(f);
    return count;
}

int get_interface_addresses(in_addr addresses[kMaxInterfaces])
{
    char names[kMaxInterfaces][kInterfaceNameSize];
    int n = list_network_interfaces(names);
    int count = 0;
    for (int i = 0; i < n; i++) {
        int s = socket(AF_INET, SOCK_DGRAM, 0);
        if (s < 0)
            continue;
        ifreq req;
        std::memset(&req, 0, sizeof req);
        static_assert(sizeof req.ifr_name == kInterfaceNameSize);
        std::memcpy(req.ifr_name, names[i], kInterfaceNameSize);
        if (ioctl(s, SIOCGIFADDR, &req) == 0 && req.ifr_addr.sa_family == AF_INET) {
            sockaddr_in sin;
            std::memcpy(&sin, &req.ifr_addr, sizeof sin);
            addresses[count++] = sin.sin_addr;
        }
        close(s);
    }
    return count;
}

EVP_PKEY* generate_rsa_key()
{
    return EVP_RSA_gen(kKeyBits);
}

X509* build_self_signed_certificate(EVP_PKEY* key)
{
    ServerNames names;
    collect_server_names(names);
    X509* cert = X509_new();
    if (cert == nullptr)
        return nullptr;
    bool ok = add_name_entries(X509_get_subject_name(cert), names) &&
              add_name_entries(X509_get_issuer_name(cert), names) &&
              X509_set_pubkey(cert, key) == 1 && X509_set_version(cert, 2) == 1 &&
              set_random_serial(cert) &&
              X509_gmtime_adj(X509_getm_notBefore(cert), kValidFromSeconds) != nullptr &&
              X509_gmtime_adj(X509_getm_notAfter(cert), kValidToSeconds) != nullptr &&
              add_conf_extension(cert, NID_netscape_cert_type, "server") &&
              add_conf_extension(cert, NID_netscape_comment, "Pyv2 Server") &&
              // An extension may occur only once in a certificate (browsers
              // refuse one that repeats an extension): the server name is
              // the first of the machine's names, and the subjectAltName
              // carries all of them.
              add_conf_extension(cert, NID_netscape_ssl_server_name,
                                 names.address_count > 0 ? names.addresses[0] : "127.0.0.1") &&
              add_subject_alt_name(cert, names) &&
              add_conf_extension(cert, NID_key_usage, "critical,digitalSignature,keyEncipherment") &&
              add_conf_extension(cert, NID_ext_key_usage, "serverAuth") && X509_sign(cert, key, EVP_sha256()) > 0;
    if (!ok) {
        X509_free(cert);
        return nullptr;
    }
    return cert;
}

int write_certificate_file(const char* path, const char* pass_phrase)
{
    EVP_PKEY* key = generate_rsa_key();
    if (key == nullptr)
        return 0;
    X509* cert = build_self_signed_certificate(key);
    if (cert == nullptr) {
        EVP_PKEY_free(key);
        return 0;
    }
    // Written beside the final name with mode 0600 and renamed into place,
    // on the disk with its directory: the key is never readable by others,
    // a failure leaves nothing, and a power failure after the start keeps
    // the certificate the browsers were told to accept.
    BIO* pem = BIO_new(BIO_s_mem());
    bool ok = pem != nullptr &&
              PEM_write_bio_PrivateKey(pem, key, EVP_des_ede3_cbc(), nullptr, 0, nullptr,
                                       const_cast<char*>(pass_phrase)) == 1 &&
              PEM_write_bio_X509(pem, cert) == 1;
    char* text = nullptr;
    const long length = ok ? BIO_get_mem_data(pem, &text) : 0;
    if (ok) {
        const int written = replace_file_contents(path, text, length, true);
        // In place but not on the disk: a failed start leaves no key.
        if (written == kReplaceDirUnsynced)
            unlink(path);
        ok = written == kReplaced;
    }
    BIO_free(pem);
    X509_free(cert);
    EVP_PKEY_free(key);
    return ok ? 1 : 0;
}

SSL_CTX* create_tls_context(const char* directory, const char* file_name, const char* pass_phrase)
{
    StringBuilder path;
    path.append(directory).append("/").append(file_name);
    // A key written by a start that was killed before it was renamed into
    // place must not stay readable beside the certificate.
    remove_stale_temps(path.c_str());
    SSL_CTX* ctx = SSL_CTX_new(TLS_server_method());
    if (ctx == nullptr)
        return nullptr;
    bool ok = SSL_CTX_set_min_proto_version(ctx, TLS1_2_VERSION) == 1 &&
              SSL_CTX_set_cipher_list(ctx, kTls12Ciphers) == 1;
    // A client that half-closes its side without a TLS goodbye still gets
    // its answer; a request cut short is told by its length, not by TLS.
    // The suite is the server's first choice among those the client offers,
    // whatever the client's order.
    SSL_CTX_set_options(ctx, SSL_OP_IGNORE_UNEXPECTED_EOF | SSL_OP_CIPHER_SERVER_PREFERENCE);

    FILE* f = std::fopen(path.c_str(), "r");
    if (f != nullptr) {
        std::fclose(f);
    } else if (errno != ENOENT) {
        ok = false;  // there, but unreadable: never replaced by a new key
    } else {
        ok = ok && write_certificate_file(path.c_str(), pass_phrase) == 1;
    }
    ok = ok && load_certificate_chain(ctx, path.c_str());
    if (ok) {
        SSL_CTX_set_default_passwd_cb(ctx, pem_passphrase_callback);
        SSL_CTX_set_default_passwd_cb_userdata(ctx, const_cast<char*>(pass_phrase));
        ok = SSL_CTX_use_PrivateKey_file(ctx, path.c_str(), SSL_FILETYPE_PEM) == 1;
        SSL_CTX_set_default_passwd_cb_userdata(ctx, nullptr);
    }
    if (!ok) {
        SSL_CTX_free(ctx);
        return nullptr;
    }
    return ctx;
}

TlsContext::TlsContext(ConfigStore* /*config*/, const char* directory) : context_(nullptr)
{
    context_ = create_tls_context(directory, kFileName, kPassPhrase);
    StringBuilder path;
    path.append(directory).append("/").append(kFileName);
    chmod(path.c_str(), 0400);
}

TlsContext::~TlsContext()
{
    if (context_ != nullptr)
        SSL_CTX_free(context_);
}
