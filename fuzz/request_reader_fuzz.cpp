// The HTTP request reader over arbitrary bytes. The first input byte chooses
// how the rest is cut into reads; the rest is the request. Each input is read
// twice, whole and in pieces, as the connection reads it (stop at the first
// answer other than "read on", a missing end counts as a time-out), and both
// readings must give the same request unless the pieces ran into the limit
// on the number of reads (headers beyond their size limit are refused both
// ways). The checks the connection makes on the header fields run on what
// was read.
#include "daemon/request_reader.h"
#include "daemon/request_checks.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "fuzz/fuzz_support.h"

namespace {

struct Reading {
    int result;
    bool done;
    int method;
    int content_length;
    int passes;
    std::string url, host, cookie, body, upload;
};

std::string bytes_of(const ByteBuffer& b)
{
    return b.length() == 0 ? std::string() : std::string(reinterpret_cast<const char*>(b.data()), b.length());
}

// piece(i) gives the length of the next read.
template <typename Piece>
Reading read_request(const uint8_t* data, size_t size, Piece piece)
{
    RequestReader r;
    int result = kReadMore;
    size_t at = 0;
    while (at < size) {
        size_t n = std::min(piece(), size - at);
        result = r.add(data + at, static_cast<int>(n));
        at += n;
        if (result != kReadMore)
            break;
    }
    bool done = result == kReadDone;
    if (result == kReadMore)
        result = r.result_on_stop(true);
    else if (result == kReadDone)
        result = kReadOk;
    Reading out;
    out.result = r.finish(result);
    out.done = done;
    out.method = r.method();
    out.content_length = r.content_length();
    out.passes = r.passes();
    out.url = r.url();
    out.host = r.host();
    out.cookie = r.cookie();
    out.body = r.body();
    out.upload = bytes_of(r.upload());

    if (out.result == kReadOk || out.result == kReadNoUpload) {
        FUZZ_CHECK(out.url.find_first_of(" \r\n") == std::string::npos);
        FUZZ_CHECK(out.host.find_first_of("\r\n") == std::string::npos);
        FUZZ_CHECK(out.cookie.find_first_of("\r\n") == std::string::npos);
        FUZZ_CHECK(out.method != kMethodUnknown);
        // The body and the upload never reach beyond what arrived.
        FUZZ_CHECK(static_cast<int>(out.body.size()) <= r.raw().length());
        FUZZ_CHECK(static_cast<int>(out.upload.size()) <= r.raw().length());
        if (out.method == kMethodMultipart)
            FUZZ_CHECK(static_cast<int>(out.upload.size()) <= out.content_length);
        // The checks on header values that follow reading: the login
        // cookie lies inside the cookie line; an origin never matches a
        // host text it could not have been compared with.
        int at = find_login_cookie(out.cookie.data(), static_cast<int>(out.cookie.size()));
        FUZZ_CHECK(at == -1 || (at >= 8 && at <= static_cast<int>(out.cookie.size())));
        if (r.origin() != nullptr && origin_matches_host(r.origin(), r.host()))
            FUZZ_CHECK(!out.host.empty() && out.host != "<unknown>");
        if (r.referer() != nullptr && referer_matches_host(r.referer(), r.host()))
            FUZZ_CHECK(!out.host.empty() && out.host != "<unknown>");
        // Two Origin headers are always a form from elsewhere.
        if (r.origin_count() > 1)
            FUZZ_CHECK(form_from_elsewhere(r));
    }
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    const uint8_t layout = data[0];
    data++;
    size--;

    Reading whole = read_request(data, size, [size] { return size; });

    // Pieces of random sizes below a cap the layout byte picks. With bit 3
    // clear the pieces are never so many that the pass limit applies; with it
    // set they may be, and a request cut off by the limit is not compared.
    static const size_t kCaps[] = {1, 2, 3, 5, 16, 100, 1000, static_cast<size_t>(kReadChunk)};
    size_t cap = kCaps[layout & 7];
    size_t floor_size = (layout & 8) != 0 ? 1 : size / (kMaxReadPasses - 10) + 1;
    cap = std::max(cap, floor_size);
    unsigned state = 0x9E3779B9u ^ layout;
    Reading split = read_request(data, size, [&] {
        state = state * 1103515245u + 12345u;
        return std::max(floor_size, static_cast<size_t>((state >> 8) % cap) + 1);
    });
    // A reading the pass limit cut off is not compared (it may have
    // stopped before the headers that the whole reading examined).
    if (split.result == kReadTooLong && split.passes >= kMaxReadPasses) {
        FUZZ_CHECK((layout & 8) != 0);
        return 0;
    }

    FUZZ_CHECK(whole.result == split.result);
    FUZZ_CHECK(whole.done == split.done);
    FUZZ_CHECK(whole.method == split.method);
    FUZZ_CHECK(whole.content_length == split.content_length);
    FUZZ_CHECK(whole.url == split.url);
    FUZZ_CHECK(whole.host == split.host);
    FUZZ_CHECK(whole.cookie == split.cookie);
    FUZZ_CHECK(whole.body == split.body);
    // An oversized length is refused at the headers, with nothing served.
    if (whole.content_length > kMaxContentLength)
        FUZZ_CHECK(whole.result == kReadTooLong && whole.body.empty());
    FUZZ_CHECK(whole.upload == split.upload);
    return 0;
}
