#include "daemon/https_connection.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <ctime>
#include <new>

#include "daemon/config_store.h"
#include "daemon/daemon_context.h"
#include "daemon/http_codes.h"
#include "daemon/http_response.h"
#include "daemon/termination.h"
#include "daemon/tls_context.h"
#include "web/pages/page_builder.h"

namespace {

constexpr int kWriteChunk = 8192;
// Bodies up to this size are sent together with the head.
constexpr int kJoinedBody = 65536;
// After an answer to a request that was not read to its end, what the client
// still sends is read and dropped for a while, so that closing does not reset
// the connection before the client has read the answer.
constexpr int kDrainTime = 2000;
constexpr long long kDrainBytes = 16LL << 20;

long long now_ms()
{
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<long long>(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

const char kNotFoundBody[] = "\r";
const char kServerErrorBody[] = "";  // one NUL byte is sent

}  // namespace

HttpsConnection::HttpsConnection(int fd, const char* peer, DaemonContext* context, ConfigStore* config,
                                 TlsContext* tls)
    : fd_(fd), context_(context), config_(config), tls_(tls), ssl_(nullptr), stopping_(false), read_whole_(false),
      peer_{}
{
    std::strncpy(peer_, peer == nullptr ? "" : peer, sizeof peer_ - 1);
    struct sigaction action = {};
    action.sa_handler = ignore_signal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGPIPE, &action, nullptr);

    int flags = fcntl(fd_, F_GETFL);
    if (flags != -1)
        fcntl(fd_, F_SETFL, flags | O_NONBLOCK);
    if (tls_ != nullptr && tls_->context() != nullptr) {
        ssl_ = SSL_new(tls_->context());
        if (ssl_ != nullptr && SSL_set_fd(ssl_, fd_) != 1) {
            SSL_free(ssl_);
            ssl_ = nullptr;
        }
    }
}

HttpsConnection::~HttpsConnection()
{
    if (ssl_ != nullptr) {
        if (SSL_is_init_finished(ssl_) && !stopping_)
            SSL_shutdown(ssl_);
        SSL_free(ssl_);
    }
    if (fd_ != -1)
        ::close(fd_);
}

HttpsConnection::Wait HttpsConnection::wait_for(short events, int wait_ms, long long deadline)
{
    for (;;) {
        long long left = deadline - now_ms();
        if (left > wait_ms)
            left = wait_ms;
        if (left <= 0)
            return kTimedOut;
        pollfd fds[2] = {{fd_, events, 0}, {termination_descriptor(), POLLIN, 0}};
        int n = poll(fds, fds[1].fd >= 0 ? 2 : 1, static_cast<int>(left));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return kTimedOut;
        if (fds[1].fd >= 0 && fds[1].revents != 0) {
            stopping_ = true;
            return kStopped;
        }
        if (fds[0].revents != 0)
            return kReady;
        if (n == 0)
            return kTimedOut;
    }
}

int HttpsConnection::accept_tls()
{
    if (ssl_ == nullptr)
        return 0;
    long long start = now_ms();
    if (wait_for(POLLIN, kFirstDataWait, start + kFirstDataWait) != kReady)
        return -100;
    long long deadline = now_ms() + kHandshakeDeadline;
    for (;;) {
        int r = SSL_accept(ssl_);
        if (r == 1)
            return 1;
        int error = SSL_get_error(ssl_, r);
        short events = error == SSL_ERROR_WANT_READ ? POLLIN : error == SSL_ERROR_WANT_WRITE ? POLLOUT : 0;
        if (events == 0 || wait_for(events, kHandshakeDeadline, deadline) != kReady)
            return r == 1 ? 0 : r;
    }
}

int HttpsConnection::read_some(unsigned char* p, int n, int wait_ms, long long deadline)
{
    for (;;) {
        int r = SSL_read(ssl_, p, n);
        if (r > 0)
            return r;
        int error = SSL_get_error(ssl_, r);
        short events = error == SSL_ERROR_WANT_READ ? POLLIN : error == SSL_ERROR_WANT_WRITE ? POLLOUT : 0;
        if (events == 0)
            return 0;
        Wait w = wait_for(events, wait_ms, deadline);
        if (w == kStopped)
            return -2;
        if (w == kTimedOut)
            return -1;
    }
}

int HttpsConnection::read_request()
{
    unsigned char piece[kReadChunk];
    long long first_byte = 0;
    int result;
    for (;;) {
        int wait = request_.idle_wait_ms();
        long long deadline;
        if (request_.passes() == 0)
            deadline = now_ms() + wait;
        else
            deadline = first_byte + (request_.method() == kMethodMultipart ? kUploadDeadline : kRequestDeadline);
        int n = read_some(piece, sizeof piece, wait, deadline);
        if (n == -2)
            return kReadNoData;
        if (n <= 0) {
            result = request_.result_on_stop(n == -1);
            break;
        }
        if (request_.passes() == 0)
            first_byte = now_ms();
        int r = request_.add(piece, n);
        if (r == kReadMore)
            continue;
        read_whole_ = r == kReadDone;
        result = read_whole_ ? kReadOk : r;
        break;
    }
    return request_.finish(result);
}

int HttpsConnection::handle()
{
    if (accept_tls() != 1)
        return 4;
    int read = read_request();
    if (stopping_)
        return 4;
    int result;
    if (read != kReadOk && read != kReadNoUpload) {
        send_response(kStatusNotFound, kContentHtml, kNotFoundBody, 1, nullptr);
        result = 1;
    } else {
        PageBuilder* page = new (std::nothrow) PageBuilder(config_, context_->catalogue());
        if (page == nullptr) {
            send_response(kStatusServerError, kContentHtml, kServerErrorBody, 1, nullptr);
            return 2;
        }
        int dispatched = context_->dispatch(page, request_.url(), request_.host(), peer_, request_.cookie(),
                                            request_.body(), &request_.upload());
        if (handler_result_is_not_found(dispatched)) {
            send_response(kStatusNotFound, kContentHtml, kNotFoundBody, 1, nullptr);
            result = 3;
        } else {
            send_response(kStatusOk, page->get_content_type(), page->get_body(), page->get_body_length(),
                          page->get_cookie());
            result = dispatched == kHandlerRebuildListener ? kHandlerRebuildListener : 0;
        }
        delete page;
    }
    if (!read_whole_ && !stopping_) {
        // Let the client read the answer before the connection closes.
        SSL_shutdown(ssl_);
        ::shutdown(fd_, SHUT_WR);
        long long until = now_ms() + kDrainTime;
        long long drained = 0;
        char sink[kReadChunk];
        while (drained < kDrainBytes && wait_for(POLLIN, kDrainTime, until) == kReady) {
            ssize_t n = ::read(fd_, sink, sizeof sink);
            if (n <= 0)
                break;
            drained += n;
        }
    }
    return result;
}

int HttpsConnection::send_response(const char* status, unsigned content_type, const char* body, int length,
                                   const char* cookie)
{
    if (body == nullptr || length < 0)
        length = 0;
    StringBuilder head;
    format_response_head(head, status, content_type, config_->get_oem_brand(), cookie, length);
    long long deadline = now_ms() + kWriteDeadline;
    if (length > 0 && length <= kJoinedBody) {
        // A small answer goes out with its head, in as few records as it fits.
        int head_length = head.length();
        head.grow(static_cast<unsigned>(length));
        std::memcpy(const_cast<char*>(head.c_str()) + head_length, body, static_cast<size_t>(length));
        return write_all(reinterpret_cast<const unsigned char*>(head.c_str()), head.length(), deadline) == 0 ? 0 : 1;
    }
    if (write_all(reinterpret_cast<const unsigned char*>(head.c_str()), head.length(), deadline) != 0)
        return 1;
    if (length > 0 && write_all(reinterpret_cast<const unsigned char*>(body), length, deadline) != 0)
        return 2;
    return 0;
}

int HttpsConnection::write_all(const unsigned char* p, int n, long long deadline)
{
    int done = 0;
    while (done < n) {
        int piece = n - done < kWriteChunk ? n - done : kWriteChunk;
        int r = SSL_write(ssl_, p + done, piece);
        if (r > 0) {
            done += r;
            continue;
        }
        int error = SSL_get_error(ssl_, r);
        short events = error == SSL_ERROR_WANT_WRITE ? POLLOUT : error == SSL_ERROR_WANT_READ ? POLLIN : 0;
        if (events == 0 || wait_for(events, kWriteWait, deadline) != kReady)
            return 1;
    }
    return 0;
}
