#include "daemon/https_connection.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <new>

#include "daemon/body_allowance.h"
#include "daemon/config_store.h"
#include "daemon/daemon_context.h"
#include "daemon/form_routes.h"
#include "daemon/http_codes.h"
#include "daemon/http_response.h"
#include "daemon/request_checks.h"
#include "daemon/termination.h"
#include "daemon/tls_context.h"
#include "web/pages/page_builder.h"

namespace {

constexpr int kWriteChunk = 8192;
// After an answer to a request that was not read to its end, what the client
// still sends is read and dropped for a while (HttpsConnection::kDrainTime),
// so that closing does not reset the connection before the client has read
// the answer.
constexpr long long kDrainBytes = 16LL << 20;

const char kNotFoundBody[] = "\r";
const char kServerErrorBody[] = "";  // one NUL byte is sent

long long earlier(long long a, long long b)
{
    return a < b ? a : b;
}

}  // namespace

HttpsConnection::HttpsConnection(int fd, const char* peer, long long now_ms, DaemonContext* context,
                                 ConfigStore* config, TlsContext* tls, BodyAllowance* allowance)
    : fd_(fd), context_(context), config_(config), allowance_(allowance), ssl_(nullptr), state_(kSilent),
      want_(POLLIN), limit_(now_ms + kFirstDataWait), stage_deadline_(0), first_byte_(0),
      last_progress_(now_ms), progress_at_(now_ms), moved_(0), counted_(0), read_result_(kReadNoData),
      read_whole_(false), body_decided_(false), drained_(0), peer_{}, out_done_(0)
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
    if (tls != nullptr && tls->context() != nullptr) {
        ssl_ = SSL_new(tls->context());
        if (ssl_ != nullptr && SSL_set_fd(ssl_, fd_) != 1) {
            SSL_free(ssl_);
            ssl_ = nullptr;
        }
    }
    if (ssl_ == nullptr)
        close_now();
}

HttpsConnection::~HttpsConnection()
{
    close_now();
}

void HttpsConnection::close_now()
{
    if (allowance_ != nullptr)
        allowance_->give_back(peer_, counted_);
    counted_ = 0;
    if (ssl_ != nullptr)
        SSL_free(ssl_);
    ssl_ = nullptr;
    if (fd_ != -1)
        ::close(fd_);
    fd_ = -1;
    state_ = kClosed;
    want_ = 0;
    limit_ = -1;
}

short HttpsConnection::poll_events() const
{
    return state_ == kReady || state_ == kClosed ? 0 : want_;
}

void HttpsConnection::on_ready(long long now_ms)
{
    switch (state_) {
    case kSilent:
        state_ = kHandshake;
        stage_deadline_ = now_ms + kHandshakeDeadline;
        handshake(now_ms);
        break;
    case kHandshake:
        handshake(now_ms);
        break;
    case kReading:
        read(now_ms);
        break;
    case kWriting:
        write(now_ms);
        break;
    case kDraining:
        drain(now_ms);
        break;
    case kReady:
    case kClosed:
        break;
    }
    note_progress(now_ms);
}

void HttpsConnection::note_progress(long long now_ms)
{
    if (state_ == kClosed || ssl_ == nullptr)
        return;
    unsigned long long moved = static_cast<unsigned long long>(drained_);
    if (BIO* in = SSL_get_rbio(ssl_))
        moved += BIO_number_read(in);
    if (BIO* out = SSL_get_wbio(ssl_))
        moved += BIO_number_written(out);
    if (moved != moved_) {
        moved_ = moved;
        progress_at_ = now_ms;
    }
}

void HttpsConnection::on_limit(long long now_ms)
{
    (void)now_ms;
    if (state_ == kReading)
        stop_reading(request_.result_on_stop(true));
    else if (state_ != kReady)
        close_now();
}

// Which way the TLS layer must wait after a call that did not complete;
// 0 when the connection failed.
static short tls_wait(SSL* ssl, int r)
{
    switch (SSL_get_error(ssl, r)) {
    case SSL_ERROR_WANT_READ:
        return POLLIN;
    case SSL_ERROR_WANT_WRITE:
        return POLLOUT;
    default:
        return 0;
    }
}

void HttpsConnection::handshake(long long now_ms)
{
    int r = SSL_accept(ssl_);
    if (r != 1) {
        want_ = tls_wait(ssl_, r);
        if (want_ == 0)
            close_now();
        else
            limit_ = stage_deadline_;
        return;
    }
    state_ = kReading;
    stage_deadline_ = now_ms;  // waiting for the request starts now
    want_ = POLLIN;
    read(now_ms);
}

long long HttpsConnection::reading_limit() const
{
    if (request_.passes() == 0)
        return stage_deadline_ + request_.idle_wait_ms();
    int whole = request_.method() == kMethodMultipart ? kUploadDeadline : kRequestDeadline;
    return earlier(last_progress_ + request_.idle_wait_ms(), first_byte_ + whole);
}

bool HttpsConnection::count_body()
{
    if (allowance_ == nullptr || !BodyAllowance::counts(request_.content_length()))
        return true;
    long long arrived = request_.body_arrived();
    if (arrived <= counted_)
        return true;
    if (!allowance_->take(peer_, arrived - counted_))
        return false;
    counted_ = arrived;
    return true;
}

bool HttpsConnection::body_wanted() const
{
    int form = form_route(request_.url());
    if (form == kFormNone || remote_peer_refused(config_->get_remote_access(), peer_))
        return false;
    if (form == kFormLogin)
        return true;
    int level = context_->get_access_level(request_.cookie());
    return form == kFormUpload ? level == kAccessAdmin : level != kAccessNone;
}

void HttpsConnection::read(long long now_ms)
{
    unsigned char piece[kReadChunk];
    for (;;) {
        int n = SSL_read(ssl_, piece, sizeof piece);
        if (n <= 0) {
            want_ = tls_wait(ssl_, n);
            if (want_ == 0) {
                stop_reading(request_.result_on_stop(false));
                return;
            }
            limit_ = reading_limit();
            return;
        }
        if (request_.passes() == 0)
            first_byte_ = now_ms;
        last_progress_ = now_ms;
        int r = request_.add(piece, n);
        bool going_on = r == kReadMore || r == kReadDone;
        if (going_on && request_.headers_examined() && !body_decided_) {
            body_decided_ = true;
            // A request whose handler takes no body is answered after its
            // headers; what the client still sends is drained after the
            // answer.
            if (request_.method() != kMethodGet && !body_wanted()) {
                request_.skip_body();
                read_whole_ = r == kReadDone;
                stop_reading(kReadOk);
                return;
            }
        }
        if (going_on && !count_body()) {
            stop_reading(kReadTooLong);
            return;
        }
        if (r == kReadMore)
            continue;
        read_whole_ = r == kReadDone;
        stop_reading(read_whole_ ? kReadOk : r);
        return;
    }
}

void HttpsConnection::stop_reading(int result)
{
    read_result_ = request_.finish(result);
    state_ = kReady;
    want_ = 0;
    limit_ = -1;
}

int HttpsConnection::serve(long long now_ms)
{
    if (state_ != kReady)
        return 1;
    if ((read_result_ != kReadOk && read_result_ != kReadNoUpload) || sent_from_elsewhere(request_)) {
        answer(kStatusNotFound, kContentHtml, kNotFoundBody, 1, nullptr, now_ms);
        return 1;
    }
    PageBuilder* page = new (std::nothrow) PageBuilder(config_, context_->catalogue());
    if (page == nullptr) {
        answer(kStatusServerError, kContentHtml, kServerErrorBody, 1, nullptr, now_ms);
        return 2;
    }
    int dispatched = context_->dispatch(page, request_.url(), request_.host(), peer_, request_.cookie(),
                                        request_.body(), &request_.upload());
    int result;
    if (handler_result_is_not_found(dispatched)) {
        answer(kStatusNotFound, kContentHtml, kNotFoundBody, 1, nullptr, now_ms);
        result = 3;
    } else {
        answer(kStatusOk, page->get_content_type(), page->get_body(), page->get_body_length(), page->get_cookie(),
               now_ms);
        result = dispatched == kHandlerRebuildListener ? kHandlerRebuildListener : 0;
    }
    delete page;
    return result;
}

void HttpsConnection::answer(const char* status, unsigned content_type, const char* body, int length,
                             const char* cookie, long long now_ms)
{
    if (body == nullptr || length < 0)
        length = 0;
    StringBuilder head;
    format_response_head(head, status, content_type, config_->get_oem_brand(), cookie, length);
    out_.clear();
    out_done_ = 0;
    if (out_.append(reinterpret_cast<const unsigned char*>(head.c_str()), head.length()) != 0 ||
        (length > 0 && out_.append(reinterpret_cast<const unsigned char*>(body), length) != 0)) {
        close_now();
        return;
    }
    state_ = kWriting;
    stage_deadline_ = now_ms + kWriteDeadline;
    last_progress_ = now_ms;
    write(now_ms);
    note_progress(now_ms);
}

void HttpsConnection::write(long long now_ms)
{
    while (out_done_ < out_.length()) {
        int left = out_.length() - out_done_;
        int piece = left < kWriteChunk ? left : kWriteChunk;
        int r = SSL_write(ssl_, out_.data() + out_done_, piece);
        if (r > 0) {
            out_done_ += r;
            last_progress_ = now_ms;
            continue;
        }
        want_ = tls_wait(ssl_, r);
        if (want_ == 0) {
            close_now();
            return;
        }
        limit_ = earlier(last_progress_ + kWriteWait, stage_deadline_);
        return;
    }
    finish_answer(now_ms);
}

void HttpsConnection::finish_answer(long long now_ms)
{
    out_.clear();
    SSL_shutdown(ssl_);
    if (read_whole_) {
        close_now();
        return;
    }
    // Let the client read the answer before the connection closes.
    ::shutdown(fd_, SHUT_WR);
    state_ = kDraining;
    want_ = POLLIN;
    limit_ = now_ms + kDrainTime;
    drain(now_ms);
}

void HttpsConnection::drain(long long now_ms)
{
    (void)now_ms;
    char sink[kReadChunk];
    while (drained_ < kDrainBytes) {
        ssize_t n = ::read(fd_, sink, sizeof sink);
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            return;
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        drained_ += n;
    }
    close_now();
}
