// One accepted connection of the web server, driven without blocking: it
// waits for the client's first bytes, makes the TLS handshake, reads the
// request, is served (dispatched) when its turn comes, writes the answer
// and closes. There is no keep-alive. The accept loop drives many of them
// side by side, so a slow or silent client holds up nobody; each stage has
// its own time limit, and the whole connection a deadline.
#pragma once

#include <openssl/ssl.h>

#include "daemon/byte_buffer.h"
#include "daemon/request_reader.h"

class BodyAllowance;
class ConfigStore;
class DaemonContext;
class TlsContext;

class HttpsConnection {
public:
    enum State {
        kSilent,     // accepted; nothing arrived yet
        kHandshake,  // TLS handshake under way
        kReading,    // reading the request
        kReady,      // the request is read; waiting to be served
        kWriting,    // writing the answer
        kDraining,   // answered; reading what the client still sends, then closing
        kClosed,
    };

    // The time limits, in milliseconds.
    static constexpr int kFirstDataWait = 10000;      // for the first byte, before the handshake
    static constexpr int kHandshakeDeadline = 10000;  // from the first byte
    static constexpr int kRequestDeadline = 10000;    // the whole request, from its first byte
    static constexpr int kUploadDeadline = 30000;     // a multipart upload, from its first byte
    static constexpr int kWriteWait = 10000;          // for the client to take more of the answer
    static constexpr int kWriteDeadline = 30000;
    static constexpr int kDrainTime = 2000;

    // Takes over the connected descriptor fd (made non-blocking here),
    // accepted at now_ms. A body is read only for a handler that takes one
    // (see form_routes.h); bodies count against allowance as they arrive
    // (null: no limit), and a request whose body would pass it is refused.
    HttpsConnection(int fd, const char* peer, long long now_ms, DaemonContext* context, ConfigStore* config,
                    TlsContext* tls, BodyAllowance* allowance);
    // Closes the descriptor (without a TLS goodbye when unfinished).
    ~HttpsConnection();
    HttpsConnection(const HttpsConnection&) = delete;
    HttpsConnection& operator=(const HttpsConnection&) = delete;

    State state() const { return state_; }
    const char* peer() const { return peer_; }
    int descriptor() const { return fd_; }
    // The bytes that came from the client or went to it so far, the TLS
    // handshake's included, and when the count last grew (at first: when the
    // connection was accepted). A connection stalled in its handshake or
    // request makes no progress.
    unsigned long long bytes_moved() const { return moved_; }
    long long progress_at() const { return progress_at_; }

    // The poll events the connection waits for; 0 when it waits for none.
    short poll_events() const;
    // When the connection's current wait runs out (monotonic milliseconds),
    // or -1 when it has no limit (ready to be served, or closed).
    long long limit() const { return limit_; }

    // Goes on as far as the socket allows: called when poll reported events.
    void on_ready(long long now_ms);
    // The current wait ran out (now_ms >= limit()): silent, handshaking,
    // writing and draining connections close; a connection reading its
    // request stops reading and is ready to be served.
    void on_limit(long long now_ms);

    // Serves a ready connection: answers a request that could not be read,
    // or a form or action sent from a page of another site, "404
    // Not-Found", else dispatches it, then starts writing the answer.
    // Returns 0 answered; 100 answered and the listener must be rebuilt; 1
    // the request was refused unread ("404 Not-Found"); 2 no page builder
    // ("500 Internal-Server-Error"); 3 the handler's result was answered
    // "404 Not-Found".
    int serve(long long now_ms);

    // The result of reading the request (a kRead... result), once ready.
    int read_result() const { return read_result_; }
    const RequestReader& request() const { return request_; }

private:
    void handshake(long long now_ms);
    void read(long long now_ms);
    void stop_reading(int result);
    void write(long long now_ms);
    void drain(long long now_ms);
    void finish_answer(long long now_ms);
    void close_now();
    // Counts what the socket moved since the last call.
    void note_progress(long long now_ms);
    long long reading_limit() const;
    // Puts the answer into out_ and starts writing it.
    void answer(const char* status, unsigned content_type, const char* body, int length, const char* cookie,
                long long now_ms);
    // Counts the body bytes that arrived since the last call against the
    // allowance; false when they do not fit.
    bool count_body();
    // Whether the request's handler takes the body it announces.
    bool body_wanted() const;

    int fd_;
    DaemonContext* context_;
    ConfigStore* config_;
    BodyAllowance* allowance_;
    SSL* ssl_;
    State state_;
    short want_;  // what the TLS layer waits for
    long long limit_;
    long long stage_deadline_;
    long long first_byte_;
    long long last_progress_;  // of the request or answer itself, for their waits
    long long progress_at_;
    unsigned long long moved_;
    long long counted_;  // body bytes counted against the allowance
    int read_result_;
    bool read_whole_;     // the request arrived to its end
    bool body_decided_;   // whether to read the body was decided
    long long drained_;
    char peer_[16];
    RequestReader request_;
    ByteBuffer out_;
    int out_done_;
};
