// One accepted connection of the web server: TLS handshake, reading the
// request, dispatching it and writing the answer, then closing. There is no
// keep-alive. Every wait has a time-out and the whole connection a deadline,
// so no client can hold the one-at-a-time server for long.
#pragma once

#include <openssl/ssl.h>

#include "daemon/request_reader.h"

class ConfigStore;
class DaemonContext;
class TlsContext;

class HttpsConnection {
public:
    // Takes over the connected descriptor fd.
    HttpsConnection(int fd, const char* peer, DaemonContext* context, ConfigStore* config, TlsContext* tls);
    // Shuts the TLS connection down and closes the descriptor.
    ~HttpsConnection();
    HttpsConnection(const HttpsConnection&) = delete;
    HttpsConnection& operator=(const HttpsConnection&) = delete;

    // Serves the request. 0 answered; 100 answered and the listener must be
    // rebuilt; 1 the request could not be read ("404 Not-Found" sent); 2 no
    // page builder ("500 Internal-Server-Error" sent); 3 the handler's result
    // was answered "404 Not-Found"; 4 no TLS connection (nothing sent).
    int handle();

    // The time limits, in milliseconds.
    static constexpr int kFirstDataWait = 10000;  // for the first byte, before the handshake
    static constexpr int kHandshakeDeadline = 10000;
    static constexpr int kRequestDeadline = 10000;    // the whole request, from its first byte
    static constexpr int kUploadDeadline = 30000;     // a multipart upload, from its first byte
    static constexpr int kWriteWait = 10000;          // for the client to take more of the answer
    static constexpr int kWriteDeadline = 30000;

private:
    // Results of waiting for the socket.
    enum Wait { kReady, kTimedOut, kStopped };

    int accept_tls();
    int read_request();
    // Reads at most n bytes into p: the count, 0 when the peer closed or a
    // read failed, -1 when the wait ran out, -2 when the daemon is stopping.
    int read_some(unsigned char* p, int n, int wait_ms, long long deadline);
    int send_response(const char* status, unsigned content_type, const char* body, int length, const char* cookie);
    int write_all(const unsigned char* p, int n, long long deadline);
    Wait wait_for(short events, int wait_ms, long long deadline);

    int fd_;
    DaemonContext* context_;
    ConfigStore* config_;
    TlsContext* tls_;
    SSL* ssl_;
    bool stopping_;
    bool read_whole_;  // the request arrived to its end
    char peer_[16];
    RequestReader request_;
};
