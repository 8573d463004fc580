// Reading and parsing of one HTTP request, over the bytes as they arrive.
// The reader does no input or output: the connection hands it each piece it
// received and asks it how long to wait for the next one. Once the headers
// have arrived the request line and header fields can be read (so the
// connection can decide whether to read the body at all); at the end the
// reader splits the request into URL, Host, login cookie, form body and
// uploaded file.
#pragma once

#include "daemon/byte_buffer.h"
#include "daemon/string_builder.h"

// Request methods.
enum : int {
    kMethodUnknown = -1,
    kMethodGet = 0,
    kMethodPost = 1,
    kMethodMultipart = 2,  // a POST whose body is multipart/form-data
};

// Results of reading a request.
enum : int {
    kReadOk = 0,
    kReadNoData = 1,     // nothing arrived in time
    kReadBadStart = 2,   // first read failed, not GET or POST, a bad Content-Length or header line
    kReadNoMemory = 3,
    kReadTooLong = 4,    // more reads, header bytes or body than allowed
    kReadBadLine = 5,    // request line without a blank after the URL
    kReadCutShort = 6,   // a POST that ended (or stalled) before its whole body came
    kReadNoUpload = 88,  // served without its upload
};

// What RequestReader::add tells the caller.
enum : int {
    kReadMore = -1,  // read on
    kReadDone = -2,  // the whole request has arrived
};

constexpr int kReadChunk = 8192;
constexpr int kMaxContentLength = 8388608;
constexpr int kMaxReadPasses = 640;
constexpr int kMaxBoundaryLength = 127;
// Request line and headers beyond this size are refused as too long.
constexpr int kMaxHeaderBytes = 65536;

class RequestReader {
public:
    RequestReader();
    RequestReader(const RequestReader&) = delete;
    RequestReader& operator=(const RequestReader&) = delete;

    // Takes the bytes of one successful read (n > 0). Returns kReadMore,
    // kReadDone, or a read result (kReadBadStart, kReadNoMemory,
    // kReadTooLong, kReadNoUpload) with which reading stops.
    int add(const unsigned char* p, int n);

    // Milliseconds to wait for the next read: 10 s before the first, then
    // 30 s for a multipart body, 10 s for a POST and 0.2 s otherwise.
    int idle_wait_ms() const;
    // The result when the wait ran out or a read failed: kReadNoData or
    // kReadBadStart before anything arrived; kReadCutShort for a POST that
    // has not arrived whole; else kReadOk (what arrived of a GET is the
    // request).
    int result_on_stop(bool timed_out) const;
    // Whether the whole request has arrived (a GET its headers, a POST its
    // headers and Content-Length bytes of body).
    bool is_complete() const;
    // Whether the headers have been examined: content_length() is then the
    // body length a POST announced, and the request line and header fields
    // (url(), host(), cookie(), origin() ...) are read.
    bool headers_examined() const { return headers_examined_; }
    // The bytes of the body that have arrived (at most content_length()).
    int body_arrived() const;
    // The body is not to be read: the request is complete with its headers,
    // and is served without a form body or upload.
    void skip_body() { body_skipped_ = true; }

    // Parses what was read after reading stopped with `result`, and returns
    // the request's final result: results other than kReadOk and
    // kReadNoUpload come back unchanged; a request line without a URL gives
    // kReadBadLine; a multipart body that cannot be split gives kReadNoUpload.
    int finish(int result);

    int method() const { return method_; }
    int passes() const { return passes_; }
    int content_length() const { return content_length_; }
    const char* boundary() const { return boundary_.c_str(); }
    const char* url() const { return url_.c_str(); }
    const char* host() const { return host_.c_str(); }
    const char* cookie() const { return cookie_.c_str(); }
    // The first Origin header's value; null when the request had none.
    const char* origin() const { return origin_count_ > 0 ? origin_.c_str() : nullptr; }
    int origin_count() const { return origin_count_; }
    // The Referer and Sec-Fetch-Site headers' values; null when absent.
    const char* referer() const { return has_referer_ ? referer_.c_str() : nullptr; }
    const char* fetch_site() const { return has_fetch_site_ ? fetch_site_.c_str() : nullptr; }
    const char* body() const { return body_.c_str(); }
    const ByteBuffer& upload() const { return upload_; }
    const ByteBuffer& raw() const { return request_; }

private:
    int recognise_method();
    int examine_headers();
    int parse_head();
    int parse_request();
    int split_upload();

    ByteBuffer request_;
    int method_;
    bool headers_examined_;
    bool body_skipped_;
    bool boundary_usable_;
    StringBuilder boundary_;
    int content_length_;
    int header_end_;   // offset of the body, -1 until "\r\n\r\n" arrived
    int search_from_;  // where the search for the header end goes on
    int passes_;
    StringBuilder url_;
    StringBuilder host_;
    StringBuilder cookie_;
    StringBuilder origin_;
    int origin_count_;
    StringBuilder referer_;
    bool has_referer_;
    StringBuilder fetch_site_;
    bool has_fetch_site_;
    StringBuilder body_;
    ByteBuffer upload_;
};
