#include "daemon/mail_sender.h"

#include "daemon/base64.h"
#include "daemon/config_store.h"
#include "daemon/string_builder.h"

#include <arpa/inet.h>
#include <errno.h>
#include <fcntl.h>
#include <netdb.h>
#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <sys/socket.h>
#include <time.h>
#include <unistd.h>

#include <cstring>
#include <memory>

namespace {

// Time limits of one mail. A plain connection waits 2 s for the first byte
// of each reply line; TLS servers get longer, since their replies come after
// record processing on both sides. Nothing waits past the whole-mail limit.
const int kConnectTimeoutMs = 10000;
const int kHandshakeTimeoutMs = 10000;
const int kPlainFirstByteMs = 2000;
const int kTlsFirstByteMs = 30000;
const int kLineByteMs = 10000;
const int kMailTimeoutMs = 60000;
const int kServerNameMax = 127;
const int kWritePiece = 1024;
const useconds_t kQuitPauseUs = 3000;

int64_t now_ms()
{
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<int64_t>(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

bool has_line_break(const char* s)
{
    return std::strpbrk(s, "\r\n") != nullptr;
}

// A peer that closes early must not end the process with SIGPIPE: the signal
// is blocked on this thread while the mail is sent and a pending one is
// taken back afterwards.
class SigpipeBlock {
public:
    SigpipeBlock()
    {
        sigset_t pipe;
        sigemptyset(&pipe);
        sigaddset(&pipe, SIGPIPE);
        sigset_t pending;
        sigpending(&pending);
        was_pending_ = sigismember(&pending, SIGPIPE) == 1;
        pthread_sigmask(SIG_BLOCK, &pipe, &old_);
    }
    ~SigpipeBlock()
    {
        sigset_t pending;
        sigpending(&pending);
        if (!was_pending_ && sigismember(&pending, SIGPIPE) == 1) {
            sigset_t pipe;
            sigemptyset(&pipe);
            sigaddset(&pipe, SIGPIPE);
            timespec zero = {0, 0};
            sigtimedwait(&pipe, nullptr, &zero);
        }
        pthread_sigmask(SIG_SETMASK, &old_, nullptr);
    }

private:
    sigset_t old_;
    bool was_pending_;
};

// The first blank-separated word of text (the whole text when it has none).
void first_word(const char* text, StringBuilder& out)
{
    while (*text == ' ')
        text++;
    const char* end = std::strchr(text, ' ');
    size_t n = end == nullptr ? std::strlen(text) : static_cast<size_t>(end - text);
    std::unique_ptr<char[]> word(new char[n + 1]);
    std::memcpy(word.get(), text, n);
    word[n] = '\0';
    out.append(word.get());
}

// The body with every line that begins with "." given a second one, so that
// no body line ends the message early.
void append_dot_stuffed(StringBuilder& out, const char* body)
{
    bool line_start = true;
    char one[2] = {0, 0};
    for (const char* p = body; *p != '\0'; p++) {
        if (line_start && *p == '.')
            out.append(".");
        one[0] = *p;
        out.append(one);
        line_start = *p == '\n';
    }
}

bool is_address_literal(const char* name)
{
    unsigned char buf[16];
    return inet_pton(AF_INET, name, buf) == 1 || inet_pton(AF_INET6, name, buf) == 1;
}

}  // namespace

MailSender::MailSender(ConfigStore* config)
    : socket_(-1),
      tls_(0),
      tls_context_(nullptr),
      tls_connection_(nullptr),
      config_(config),
      deadline_ms_(now_ms() + kMailTimeoutMs),
      abort_fd_(-1) {
    reply_[0] = '\0';
    escaped_[0] = '\0';
}

MailSender::~MailSender()
{
    finish();
}

int MailSender::remaining_ms(int limit_ms) const
{
    int64_t left = deadline_ms_ - now_ms();
    if (left <= 0)
        return 0;
    return left < limit_ms ? static_cast<int>(left) : limit_ms;
}

bool MailSender::wait_socket(WaitFor what, int timeout_ms)
{
    int64_t end = now_ms() + timeout_ms;
    for (;;) {
        int left = static_cast<int>(end - now_ms());
        if (left <= 0)
            return false;
        pollfd p[2] = {{socket_, static_cast<short>(what == kReadable ? POLLIN : POLLOUT), 0},
                       {abort_fd_, POLLIN, 0}};
        int n = poll(p, 2, left);
        if (n > 0 && p[1].revents != 0) return false;
        if (n > 0)
            return true;  // ready, or an error the next call reports
        if (n < 0 && errno != EINTR)
            return false;
    }
}

int MailSender::connect_with_timeout(const void* address, int address_len)
{
    int flags = fcntl(socket_, F_GETFL, 0);
    if (flags < 0 || fcntl(socket_, F_SETFL, flags | O_NONBLOCK) < 0)
        return 1;
    if (connect(socket_, static_cast<const sockaddr*>(address), static_cast<socklen_t>(address_len)) == 0)
        return 0;
    if (errno != EINPROGRESS)
        return 1;
    if (!wait_socket(kWritable, remaining_ms(kConnectTimeoutMs)))
        return 1;
    int err = 0;
    socklen_t len = sizeof err;
    if (getsockopt(socket_, SOL_SOCKET, SO_ERROR, &err, &len) != 0 || err != 0)
        return 1;
    return 0;
}

// TLS from the first byte. A client context of its own: the server's
// certificate is not checked (local relays commonly have self-signed ones).
bool MailSender::start_tls(const char* server_name)
{
    tls_context_ = SSL_CTX_new(TLS_client_method());
    if (tls_context_ == nullptr)
        return false;
    SSL_CTX_set_verify(tls_context_, SSL_VERIFY_NONE, nullptr);
    SSL* ssl = SSL_new(tls_context_);
    if (ssl == nullptr)
        return false;
    if (SSL_set_fd(ssl, socket_) != 1 ||
        (!is_address_literal(server_name) && SSL_set_tlsext_host_name(ssl, server_name) != 1)) {
        SSL_free(ssl);
        return false;
    }
    int64_t end = now_ms() + remaining_ms(kHandshakeTimeoutMs);
    for (;;) {
        int r = SSL_connect(ssl);
        if (r == 1)
            break;
        int err = SSL_get_error(ssl, r);
        int left = static_cast<int>(end - now_ms());
        bool ready = false;
        if (left > 0 && err == SSL_ERROR_WANT_READ)
            ready = wait_socket(kReadable, left);
        else if (left > 0 && err == SSL_ERROR_WANT_WRITE)
            ready = wait_socket(kWritable, left);
        if (!ready) {
            SSL_free(ssl);
            return false;
        }
    }
    tls_connection_ = ssl;
    return true;
}

bool MailSender::send_text(const char* text, int length)
{
    int sent = 0;
    while (sent < length) {
        int piece = length - sent < kWritePiece ? length - sent : kWritePiece;
        int n;
        if (tls_) {
            if (tls_connection_ == nullptr)
                return false;
            n = SSL_write(tls_connection_, text + sent, piece);
            if (n <= 0) {
                int err = SSL_get_error(tls_connection_, n);
                WaitFor what = err == SSL_ERROR_WANT_READ ? kReadable : kWritable;
                if ((err != SSL_ERROR_WANT_READ && err != SSL_ERROR_WANT_WRITE) ||
                    !wait_socket(what, remaining_ms(kLineByteMs)))
                    return false;
                continue;
            }
        } else {
            ssize_t s = send(socket_, text + sent, static_cast<size_t>(piece), MSG_NOSIGNAL);
            if (s < 0) {
                if (errno == EINTR)
                    continue;
                if (errno != EAGAIN || !wait_socket(kWritable, remaining_ms(kLineByteMs)))
                    return false;
                continue;
            }
            n = static_cast<int>(s);
        }
        sent += n;
    }
    return true;
}

// 1 and the byte, or 0 when nothing came in time, the connection ended or
// failed.
int MailSender::read_byte(unsigned char* c, int timeout_ms)
{
    // Checked for every byte: a server that never stops talking (endless
    // continuation lines, a line without end) ends at the mail's deadline too.
    int limit = remaining_ms(timeout_ms);
    if (limit <= 0)
        return 0;
    int64_t end = now_ms() + limit;
    for (;;) {
        WaitFor what = kReadable;
        if (tls_) {
            if (tls_connection_ == nullptr)
                return 0;
            int n = SSL_read(tls_connection_, c, 1);
            if (n == 1)
                return 1;
            int err = SSL_get_error(tls_connection_, n);
            if (err == SSL_ERROR_WANT_WRITE)
                what = kWritable;
            else if (err != SSL_ERROR_WANT_READ)
                return 0;
        } else {
            ssize_t n = recv(socket_, c, 1, 0);
            if (n == 1)
                return 1;
            if (n == 0 || (errno != EAGAIN && errno != EINTR))
                return 0;
        }
        int left = static_cast<int>(end - now_ms());
        if (left <= 0 || !wait_socket(what, left))
            return 0;
    }
}

void MailSender::read_reply_line(char* buffer, int size)
{
    int stored = 0;
    bool seen = false;  // a character of the line itself has come
    for (;;) {
        unsigned char c;
        int wait = seen ? kLineByteMs : (tls_ ? kTlsFirstByteMs : kPlainFirstByteMs);
        if (read_byte(&c, wait) != 1)
            break;
        bool line_end = c == '\r' || c == '\n';
        if (!seen && (line_end || c == ' '))
            continue;
        if (line_end)
            break;
        seen = true;
        if (stored < size - 1)
            buffer[stored++] = static_cast<char>(c);  // the rest of a long line is dropped
    }
    buffer[stored] = '\0';
}

// A whole reply: its continuation lines ("250-...") are read past, the last
// line stays in buffer, so the next command's reply is read in step.
void MailSender::read_reply(char* buffer, int size)
{
    do
        read_reply_line(buffer, size);
    while (std::strlen(buffer) >= 4 && buffer[3] == '-');
}

int MailSender::send_and_check(const char* command)
{
    send_text(command, static_cast<int>(std::strlen(command)));
    reply_[0] = '\0';
    read_reply(reply_, sizeof reply_);
    return reply_[0] == '2' || reply_[0] == '3' ? 0 : 1;
}

const char* MailSender::escape_last_reply()
{
    size_t out = 0;
    const size_t room = sizeof escaped_ - 1;
    for (const char* p = reply_; *p != '\0' && out < room; p++) {
        if (*p == '"') {
            const char quot[] = "&quot;";
            for (const char* q = quot; *q != '\0' && out < room; q++)
                escaped_[out++] = *q;
        } else {
            escaped_[out++] = *p;
        }
    }
    escaped_[out] = '\0';
    return escaped_;
}

// The answer to HELO/EHLO: lines beginning with "2" up to the one beginning
// "250 ". Every line read, the last and a refusing one included, is kept in
// the reply buffer, the lines joined by line feeds, so that a refusal can be
// shown.
int MailSender::read_ehlo_answer()
{
    reply_[0] = '\0';
    size_t used = 0;
    char line[sizeof reply_];
    for (;;) {
        read_reply_line(line, sizeof line);
        for (const char* p = line; *p != '\0' && used < sizeof reply_ - 1; p++)
            reply_[used++] = *p;
        reply_[used] = '\0';
        if (line[0] != '2')
            return 5;
        if (std::strncmp(line, "250 ", 4) == 0)
            return 112;
        if (used < sizeof reply_ - 1)
            reply_[used++] = '\n';
        reply_[used] = '\0';
    }
}

// AUTH PLAIN when offered, else AUTH LOGIN when offered, else nothing.
// 0 when authenticated or not needed (result set), 1 refused.
int MailSender::authenticate(const char* login, const char* password, int* result)
{
    const char* offer = std::strstr(reply_, "250-AUTH");
    if (offer == nullptr)
        return 0;
    size_t login_len = std::strlen(login);
    size_t password_len = std::strlen(password);
    std::unique_ptr<char[]> encoded(new char[base64_encoded_length(static_cast<int>(login_len + password_len + 2)) + 1]);
    StringBuilder command;
    if (std::strstr(offer, "PLAIN") != nullptr) {
        std::unique_ptr<unsigned char[]> raw(new unsigned char[login_len + password_len + 2]);
        raw[0] = 0;
        std::memcpy(raw.get() + 1, login, login_len);
        raw[login_len + 1] = 0;
        std::memcpy(raw.get() + login_len + 2, password, password_len);
        base64_encode(raw.get(), static_cast<int>(login_len + password_len + 2), encoded.get());
        command.append("AUTH PLAIN ").append(encoded.get()).append("\r\n");
        return send_and_check(command.c_str());
    }
    if (std::strstr(offer, "LOGIN") != nullptr) {
        if (send_and_check("AUTH LOGIN\r\n") != 0)
            return 1;
        base64_encode(reinterpret_cast<const unsigned char*>(login), static_cast<int>(login_len), encoded.get());
        command.append(encoded.get()).append("\r\n");
        if (send_and_check(command.c_str()) != 0)
            return 1;
        base64_encode(reinterpret_cast<const unsigned char*>(password), static_cast<int>(password_len),
                      encoded.get());
        command.clear();
        command.append(encoded.get()).append("\r\n");
        if (send_and_check(command.c_str()) != 0)
            return 1;
        *result = 113;
    }
    return 0;
}

int MailSender::send_envelope(const char* sender, const char* recipients)
{
    StringBuilder command;
    command.append("MAIL From:<");
    if (std::strchr(sender, '@') != nullptr) {
        command.append(sender);
    } else {
        first_word(sender, command);
        command.append("@").append(host_.get_host_name());
    }
    command.append(">\r\n");
    if (send_and_check(command.c_str()) != 0)
        return 1;

    if (std::strpbrk(recipients, ",;") == nullptr) {
        command.clear();
        command.append("RCPT To:<").append(recipients).append(">\r\n");
        return send_and_check(command.c_str());
    }
    int accepted = 0;
    const char* p = recipients;
    for (;;) {
        size_t n = std::strcspn(p, ",;");
        std::unique_ptr<char[]> piece(new char[n + 1]);
        std::memcpy(piece.get(), p, n);
        piece[n] = '\0';
        command.clear();
        command.append("RCPT To:<").append(piece.get()).append(">\r\n");
        if (send_and_check(command.c_str()) == 0)
            accepted++;
        if (p[n] == '\0')
            break;
        p += n + 1;
        while (*p == ' ')
            p++;
    }
    return accepted > 0 ? 0 : 1;
}

int MailSender::send_message(const char* sender, const char* recipients, const char* body)
{
    if (send_and_check("DATA\r\n") != 0)
        return 1;
    char date[128];
    time_t now = time(nullptr);
    tm local;
    localtime_r(&now, &local);
    strftime(date, sizeof date, "%a, %d %b %Y %H:%M:%S %z", &local);
    StringBuilder text;
    text.append("Date: ").append(date).append("\r\n");
    text.append("From: ").append(sender).append("\r\n");
    text.append("To: ").append(recipients).append("\r\n");
    text.append("Subject: QEL Pyv2 alert -- host: ").append(host_.get_host_name()).append("\r\n\r\n");
    append_dot_stuffed(text, body);
    text.append("\r\n").append("\r\n.\r\n");
    return send_and_check(text.c_str());
}

int MailSender::send_alert(const char* body)
{
    if (body == nullptr || body[0] == '\0')
        return 1;
    MailSettings s;
    config_->copy_mail_settings(s);
    // A line break would end the command or header it stands in and start
    // one of the text's own.
    if (has_line_break(s.sender.c_str()) || has_line_break(s.recipient.c_str()))
        return 5;
    deadline_ms_ = now_ms() + kMailTimeoutMs;

    tls_ = s.port_flag;
    int port = tls_ ? s.ssl_port : s.no_ssl_port;
    // The port in use is recorded in the configuration; the mail goes to
    // the port of the flag whether the record could be written or not.
    if (tls_ && s.port_last_set_to != s.ssl_port)
        (void)config_->use_email_server_ssl_port();
    else if (!tls_ && s.port_last_set_to != s.no_ssl_port)
        (void)config_->use_email_server_no_ssl_port();

    if (s.server.length() == 0)
        return 2;
    char cut[kServerNameMax + 1];
    std::memcpy(cut, s.server.c_str(), static_cast<size_t>(s.server.length() < kServerNameMax ? s.server.length() + 1 : kServerNameMax));
    cut[kServerNameMax] = '\0';
    StringBuilder name;
    first_word(cut, name);
    addrinfo hints;
    std::memset(&hints, 0, sizeof hints);
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (name.length() == 0 || getaddrinfo(name.c_str(), nullptr, &hints, &found) != 0 || found == nullptr)
        return 2;
    sockaddr_in server;
    std::memcpy(&server, found->ai_addr, sizeof server);
    freeaddrinfo(found);
    server.sin_port = htons(static_cast<uint16_t>(port));

    socket_ = socket(AF_INET, SOCK_STREAM, 0);
    if (socket_ < 0)
        return 3;
    if (s.source_port != 0) {
        int on = 1;
        setsockopt(socket_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
        sockaddr_in local;
        std::memset(&local, 0, sizeof local);
        local.sin_family = AF_INET;
        local.sin_addr.s_addr = htonl(INADDR_ANY);
        local.sin_port = htons(static_cast<uint16_t>(s.source_port));
        if (bind(socket_, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0) {
            close(socket_);
            socket_ = -1;
            return 2;
        }
    }
    if (connect_with_timeout(&server, sizeof server) != 0) {
        close(socket_);
        socket_ = -1;
        return 4;
    }

    SigpipeBlock no_sigpipe;
    int result = 5;
    if (!tls_ || start_tls(name.c_str())) {
        read_reply(reply_, sizeof reply_);
        if (reply_[0] == '2') {
            bool ehlo = s.login.length() > 0 || tls_;
            StringBuilder hello;
            hello.append(ehlo ? "EHLO " : "HELO ").append(host_.get_host_name()).append("\r\n");
            send_text(hello.c_str(), hello.length());
            result = read_ehlo_answer();
            // Authenticate only with a login: a server with optional AUTH
            // takes the mail without it.
            if (result != 5 && s.login.length() > 0 &&
                authenticate(s.login.c_str(), s.passwd.c_str(), &result) != 0)
                result = 5;
            if (result != 5 && send_envelope(s.sender.c_str(), s.recipient.c_str()) != 0)
                result = 5;
            if (result != 5 && send_message(s.sender.c_str(), s.recipient.c_str(), body) != 0)
                result = 5;
        }
    }
    finish();
    return result;
}

void MailSender::finish()
{
    if (socket_ >= 0) {
        if (!tls_ || tls_connection_ != nullptr) {
            send_text("QUIT\r\n", 6);
            usleep(kQuitPauseUs);
        }
        if (tls_connection_ != nullptr)
            SSL_shutdown(tls_connection_);
        close(socket_);
        socket_ = -1;
    }
    if (tls_connection_ != nullptr) {
        SSL_free(tls_connection_);
        tls_connection_ = nullptr;
    }
    if (tls_context_ != nullptr) {
        SSL_CTX_free(tls_context_);
        tls_context_ = nullptr;
    }
}
