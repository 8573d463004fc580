#pragma once

#include "daemon/host_identity.h"

#include <netinet/in.h>
#include <openssl/ssl.h>

class ConfigStore;

// The daemon's TLS server side: the certificate file "pyv2.pem" of the
// certificate directory, generated (RSA key and self-signed certificate) when
// it does not exist, loaded into a TLS 1.2/1.3 server context. Each
// connection makes its TLS connection object from context().
class TlsContext : public HostIdentity {
public:
    static constexpr const char* kDirectory = "/etc/pyv2";
    static constexpr const char* kFileName = "pyv2.pem";
    static constexpr const char* kPassPhrase = "Mv9qe";

    // The configuration is not used. The file's mode is 0400 afterwards,
    // whether the context could be made or not.
    explicit TlsContext(ConfigStore* config, const char* directory = kDirectory);
    ~TlsContext();
    TlsContext(const TlsContext&) = delete;
    TlsContext& operator=(const TlsContext&) = delete;

    // The TLS library context; null when the file could neither be loaded
    // nor generated.
    SSL_CTX* context() const { return context_; }

private:
    SSL_CTX* context_;
};

const int kMaxInterfaces = 32;
const int kInterfaceNameSize = 16;

// A server context from directory/file_name, the file generated first when
// it does not exist; null on failure (an existing file is never replaced).
SSL_CTX* create_tls_context(const char* directory, const char* file_name, const char* pass_phrase);
// Writes a new key (encrypted with 3DES under pass_phrase) and its
// self-signed certificate to path, on the disk with its directory. 1
// written, 0 failed (nothing left behind).
[[nodiscard]] int write_certificate_file(const char* path, const char* pass_phrase);
// A new RSA 2048 key with exponent 65537, or null.
EVP_PKEY* generate_rsa_key();
// The self-signed certificate of the key for this machine, or null.
X509* build_self_signed_certificate(EVP_PKEY* key);
// The names of /proc/net/dev, "lo" left out, in its order. Returns the count.
int list_network_interfaces(char names[kMaxInterfaces][kInterfaceNameSize]);
// The IPv4 address of each interface that has one, in interface order.
int get_interface_addresses(in_addr addresses[kMaxInterfaces]);
// OpenSSL's pass-phrase callback; user_data is the pass phrase. Returns its
// length, or 0 when buf cannot hold it with its NUL.
int pem_passphrase_callback(char* buf, int size, int rwflag, void* user_data);
