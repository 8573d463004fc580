#pragma once

#include "daemon/host_identity.h"

#include <openssl/ssl.h>

#include <cstdint>

class ConfigStore;

// Sends one alert mail over SMTP to the configured server: plain, or TLS from
// the first byte (SMTPS); AUTH PLAIN or AUTH LOGIN when a login is set and the
// server offers them; one or more recipients separated by ',' or ';'.
// Made on its caller's stack for one mail; two senders on two threads share
// nothing.
class MailSender {
public:
    explicit MailSender(ConfigStore* config);
    ~MailSender();
    MailSender(const MailSender&) = delete;
    MailSender& operator=(const MailSender&) = delete;

    // Results: 1 empty body; 2 no server, unresolvable name or source port
    // not bindable; 3 no socket; 4 no connection; 5 protocol failure (TLS
    // handshake, a refused or missing reply, no recipient accepted, a CR or
    // LF in the sender or recipient text); 112 sent (no AUTH or AUTH PLAIN);
    // 113 sent after AUTH LOGIN.
    [[nodiscard]] int send_alert(const char* body);
    // The server's last reply line as it came, for a page to escape.
    const char* last_reply() const { return reply_; }
    // Sends a command and reads its reply: 1 when it is refused (4xx, 5xx) or
    // does not come, else 0.
    int send_and_check(const char* command);
    // Reads one reply line (without its line end) into buffer; an empty line
    // when nothing came in time or the connection ended.
    void read_reply_line(char* buffer, int size);
    // The last reply with each double quote written "&quot;", at most 1023
    // characters.
    const char* escape_last_reply();
    // A descriptor whose becoming readable ends the mail at its next wait
    // for the server, as a time-out would (-1: none). The alert mailer's
    // stop uses it.
    void set_abort_descriptor(int fd) { abort_fd_ = fd; }

  private:
    enum WaitFor { kReadable, kWritable };

    int connect_with_timeout(const void* address, int address_len);
    bool start_tls(const char* server_name);
    bool wait_socket(WaitFor what, int timeout_ms);
    bool send_text(const char* text, int length);
    int read_byte(unsigned char* c, int timeout_ms);
    void read_reply(char* buffer, int size);
    int read_ehlo_answer();
    int authenticate(const char* login, const char* password, int* result);
    int send_envelope(const char* sender, const char* recipients);
    int send_message(const char* sender, const char* recipients, const char* body);
    void finish();
    int remaining_ms(int limit_ms) const;

    int socket_;
    int tls_;
    SSL_CTX* tls_context_;
    SSL* tls_connection_;
    ConfigStore* config_;
    HostIdentity host_;
    int64_t deadline_ms_;  // the whole mail's deadline, monotonic clock
    int abort_fd_;
    char reply_[1024];
    char escaped_[1024];
};
