#include "daemon/request_reader.h"

#include "daemon/multipart.h"
#include "daemon/request_checks.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <strings.h>

namespace {

const char kHeaderEnd[] = "\r\n\r\n";

void append_range(StringBuilder& out, const char* p, int n)
{
    if (n <= 0)
        return;
    int old = out.length();
    out.grow(static_cast<unsigned>(n));
    std::memcpy(const_cast<char*>(out.c_str()) + old, p, static_cast<size_t>(n));
}

// The header lines of a request: from the line after the request line up to
// the header end (or the end of what arrived). Each call of next() gives one
// line without its line end.
class HeaderLines {
public:
    HeaderLines(const char* p, int n) : p_(p), end_(n), at_(0)
    {
        int first = find_line_end(0);
        at_ = first < 0 ? end_ : skip_line_end(first);
    }

    bool next(int* start, int* length)
    {
        if (at_ >= end_)
            return false;
        int e = find_line_end(at_);
        if (e < 0)
            e = end_;
        if (e == at_)
            return false;  // the empty line that ends the headers
        *start = at_;
        *length = e - at_;
        at_ = e >= end_ ? end_ : skip_line_end(e);
        return true;
    }
    // Where the next line starts (at the empty line once next() said no).
    int at() const { return at_; }

private:
    int find_line_end(int from) const
    {
        for (int i = from; i < end_; i++)
            if (p_[i] == '\r' || p_[i] == '\n')
                return i;
        return -1;
    }
    int skip_line_end(int i) const
    {
        if (i < end_ && p_[i] == '\r')
            i++;
        if (i < end_ && p_[i] == '\n')
            i++;
        return i;
    }

    const char* p_;
    int end_;
    int at_;
};

// When the line [p, p + n) is the header `name` (compared without case, the
// colon included in name), stores where its value starts (behind blanks).
bool header_value(const char* p, int n, const char* name, int* value_start)
{
    int k = static_cast<int>(std::strlen(name));
    if (n < k || strncasecmp(p, name, static_cast<size_t>(k)) != 0)
        return false;
    while (k < n && (p[k] == ' ' || p[k] == '\t'))
        k++;
    *value_start = k;
    return true;
}

// Reads a Content-Length value: digits only, with blanks around them
// (capped at INT_MAX); -1 for anything else (a negative, empty or
// non-numeric length).
long long parse_length(const char* line, int from, int length)
{
    int i = from;
    if (i >= length || line[i] < '0' || line[i] > '9')
        return -1;
    long long v = 0;
    for (; i < length && line[i] >= '0' && line[i] <= '9'; i++) {
        v = v * 10 + (line[i] - '0');
        if (v > INT_MAX)
            v = INT_MAX;
    }
    while (i < length && (line[i] == ' ' || line[i] == '\t'))
        i++;
    return i == length ? v : -1;
}

}  // namespace

RequestReader::RequestReader()
    : method_(kMethodUnknown), headers_examined_(false), body_skipped_(false), boundary_usable_(false),
      content_length_(0), header_end_(-1), search_from_(0), passes_(0), origin_count_(0), has_referer_(false),
      has_fetch_site_(false)
{
}

int RequestReader::add(const unsigned char* p, int n)
{
    if (n <= 0)
        return kReadMore;
    passes_++;
    if (passes_ >= kMaxReadPasses) {
        // A request that is not a multipart upload may take 639 reads; an
        // upload may take more while it has not outgrown its length.
        if (method_ != kMethodMultipart || request_.length() > content_length_ + 1000)
            return kReadTooLong;
    }
    if (request_.append(p, n) != 0)
        return kReadNoMemory;

    if (method_ == kMethodUnknown) {
        int r = recognise_method();
        if (r != kReadMore)
            return r;
    }
    if (header_end_ < 0) {
        const char* data = reinterpret_cast<const char*>(request_.data());
        int found = find_bytes(data + search_from_, request_.length() - search_from_, kHeaderEnd, 4);
        if (found < 0) {
            search_from_ = request_.length() > 3 ? request_.length() - 3 : 0;
        } else {
            header_end_ = search_from_ + found + 4;
        }
        if (header_end_ < 0 && request_.length() > kMaxHeaderBytes)
            return kReadTooLong;
    }
    if (method_ == kMethodUnknown || header_end_ < 0)
        return kReadMore;
    if (!headers_examined_) {
        int r = examine_headers();
        if (r != kReadMore)
            return r;
    }
    return is_complete() ? kReadDone : kReadMore;
}

int RequestReader::recognise_method()
{
    const unsigned char* d = request_.data();
    int n = request_.length();
    if (n > 2 && std::memcmp(d, "GET", 3) == 0) {
        method_ = kMethodGet;
        return kReadMore;
    }
    if (n > 3) {
        if (std::memcmp(d, "POST", 4) != 0)
            return kReadBadStart;
        method_ = kMethodPost;
    }
    return kReadMore;
}

// Content-Length, Transfer-Encoding and the multipart boundary, from the
// header block only. A request whose length is not one plain number, that
// announces a transfer coding, that has a header line with a blank between
// its name and the colon, a header line folded onto the next (which begins
// with a blank), a carriage return without its line feed, or an empty line
// before the end of its headers, is refused: its end, or which headers it
// has, could be read in two ways. A body longer than the largest one is
// refused unread.
int RequestReader::examine_headers()
{
    const char* data = reinterpret_cast<const char*>(request_.data());
    for (int i = 0; i + 1 < header_end_; i++)
        if (data[i] == '\r' && data[i + 1] != '\n')
            return kReadBadStart;
    HeaderLines lines(data, header_end_);
    int start, length, value;
    long long declared = -1;
    while (lines.next(&start, &length)) {
        const char* line = data + start;
        if (line[0] == ' ' || line[0] == '\t')
            return kReadBadStart;
        const char* colon = static_cast<const char*>(std::memchr(line, ':', static_cast<size_t>(length)));
        if (colon != nullptr && colon > line && (colon[-1] == ' ' || colon[-1] == '\t'))
            return kReadBadStart;
        if (header_value(line, length, "Transfer-Encoding:", &value))
            return kReadBadStart;
        if (header_value(line, length, "Content-Length:", &value)) {
            long long v = parse_length(line, value, length);
            if (v < 0 || (declared >= 0 && v != declared))
                return kReadBadStart;
            declared = v;
            continue;
        }
        if (method_ == kMethodPost && header_value(line, length, "Content-Type:", &value)) {
            int at = find_bytes(line + value, length - value, "boundary=", 9);
            if (at >= 0) {
                int b = value + at + 9;
                int e = b;
                while (e < length && line[e] != ' ' && line[e] != '\t' && line[e] != ';')
                    e++;
                method_ = kMethodMultipart;
                boundary_.clear();
                boundary_usable_ = e > b && e - b <= kMaxBoundaryLength;
                if (boundary_usable_)
                    append_range(boundary_, line + b, e - b);
            }
        }
    }
    // The headers end at the first empty line, which must be the one before
    // the body.
    if (lines.at() != header_end_ - 2)
        return kReadBadStart;
    headers_examined_ = true;
    // A request line without its URL is refused when reading ends.
    (void)parse_head();
    if (method_ == kMethodGet || declared < 0)
        return kReadMore;  // a GET has no body to wait for
    content_length_ = static_cast<int>(declared);
    if (declared > kMaxContentLength)
        return kReadTooLong;
    return kReadMore;
}

int RequestReader::body_arrived() const
{
    if (header_end_ < 0 || !headers_examined_)
        return 0;
    int arrived = request_.length() - header_end_;
    return arrived < content_length_ ? arrived : content_length_;
}

bool RequestReader::is_complete() const
{
    if (header_end_ < 0)
        return false;
    if (method_ == kMethodGet || body_skipped_)
        return true;
    return headers_examined_ && request_.length() - header_end_ >= content_length_;
}

int RequestReader::idle_wait_ms() const
{
    if (passes_ == 0)
        return 10000;
    if (method_ == kMethodMultipart && headers_examined_)
        return 30000;
    if (method_ == kMethodPost)
        return 10000;
    return 200;
}

int RequestReader::result_on_stop(bool timed_out) const
{
    if (passes_ == 0)
        return timed_out ? kReadNoData : kReadBadStart;
    // A form or upload that stopped before its end would be acted on with
    // part of what was meant.
    if (method_ == kMethodPost || method_ == kMethodMultipart)
        return is_complete() ? kReadOk : kReadCutShort;
    return kReadOk;
}

int RequestReader::finish(int result)
{
    if (result != kReadOk && result != kReadNoUpload)
        return result;
    int r = method_ == kMethodUnknown ? 1 : parse_request();
    if (r == 1 || r == 2)
        return kReadBadLine;
    if (r >= 3)
        return kReadNoUpload;
    return result;
}

// The request line's URL and the header fields: Host, the login cookie,
// Origin, Referer and Sec-Fetch-Site. Returns 0, or 2 for a request line
// without a blank after its URL.
int RequestReader::parse_head()
{
    const char* data = reinterpret_cast<const char*>(request_.data());
    int n = request_.length();

    // URL: from behind the method to the next blank on the request line.
    int start = method_ == kMethodGet ? 4 : 5;
    if (n < start)
        return 2;
    int end = start;
    while (end < n && data[end] != ' ' && data[end] != '\r' && data[end] != '\n' && data[end] != '\0')
        end++;
    if (end >= n || data[end] != ' ')
        return 2;
    url_.clear();
    append_range(url_, data + start, end - start);

    // The header fields, from the header lines.
    int block = header_end_ < 0 ? n : header_end_;
    HeaderLines lines(data, block);
    int line_start, length, value;
    bool have_host = false, have_cookie = false;
    host_.clear();
    cookie_.clear();
    origin_.clear();
    origin_count_ = 0;
    referer_.clear();
    has_referer_ = false;
    fetch_site_.clear();
    has_fetch_site_ = false;
    while (lines.next(&line_start, &length)) {
        const char* line = data + line_start;
        if (!have_host && header_value(line, length, "Host:", &value)) {
            append_range(host_, line + value, length - value);
            have_host = true;
        } else if (!have_cookie && header_value(line, length, "Cookie:", &value)) {
            if (find_login_cookie(line + value, length - value) >= 0) {
                append_range(cookie_, line + value, length - value);
                have_cookie = true;
            }
        } else if (header_value(line, length, "Origin:", &value)) {
            if (origin_count_++ == 0)
                append_range(origin_, line + value, length - value);
        } else if (!has_referer_ && header_value(line, length, "Referer:", &value)) {
            append_range(referer_, line + value, length - value);
            has_referer_ = true;
        } else if (!has_fetch_site_ && header_value(line, length, "Sec-Fetch-Site:", &value)) {
            append_range(fetch_site_, line + value, length - value);
            has_fetch_site_ = true;
        }
    }
    if (!have_host)
        host_.append("<unknown>");
    return 0;
}

int RequestReader::parse_request()
{
    int r = parse_head();
    if (r != 0)
        return r;
    const char* data = reinterpret_cast<const char*>(request_.data());
    int n = request_.length();
    body_.clear();
    upload_.clear();
    if (body_skipped_)
        return 0;
    if (method_ == kMethodPost) {
        if (header_end_ >= 0) {
            int avail = n - header_end_;
            int take = headers_examined_ && content_length_ < avail ? content_length_ : avail;
            const void* nul = std::memchr(data + header_end_, '\0', static_cast<size_t>(take));
            if (nul != nullptr)
                take = static_cast<int>(static_cast<const char*>(nul) - (data + header_end_));
            append_range(body_, data + header_end_, take);
        }
        return 0;
    }
    if (method_ == kMethodMultipart)
        return split_upload();
    return 0;
}

// The upload is the content of the body's first part.
int RequestReader::split_upload()
{
    if (header_end_ < 0)
        return 3;
    if (request_.length() - header_end_ < content_length_)
        return 4;
    if (!boundary_usable_)
        return 4;
    const char* body = reinterpret_cast<const char*>(request_.data()) + header_end_;
    int start = 0, length = 0;
    int r = find_multipart_content(body, content_length_, boundary_.c_str(), boundary_.length(), &start, &length);
    if (r != 0)
        return r;
    upload_.clear();
    if (upload_.append(reinterpret_cast<const unsigned char*>(body + start), length) != 0)
        return kMultipartNoContent;
    return 0;
}
