#include "web/pages/escape.h"

#include <cstdio>
#include <cstring>

#include "daemon/string_builder.h"

namespace {

// Collects output in a small buffer and appends it to the builder in
// pieces, so long texts cost few appends.
class Sink {
public:
    explicit Sink(StringBuilder& out) : out_(out), n_(0) {}
    ~Sink() { flush(); }
    void put(char c) {
        if (n_ + 1 >= static_cast<int>(sizeof(buf_))) flush();
        buf_[n_++] = c;
    }
    void put(const char* s) {
        while (*s != '\0') put(*s++);
    }
    void flush() {
        if (n_ == 0) return;
        buf_[n_] = '\0';
        out_.append(buf_);
        n_ = 0;
    }

private:
    StringBuilder& out_;
    char buf_[512];
    int n_;
};

void put_hex_escape(Sink& sink, unsigned char c) {
    char text[8];
    snprintf(text, sizeof(text), "\\x%02X", c);
    sink.put(text);
}

enum class LineBreaks { kEscape, kBlank };

// Writes one character that is not a backslash into a double-quoted
// JavaScript literal. Returns the number of input bytes consumed.
int put_js_char(Sink& sink, const unsigned char* p, LineBreaks breaks) {
    unsigned char c = p[0];
    switch (c) {
        case '"': sink.put("\\\""); return 1;
        case '\'': sink.put("\\'"); return 1;
        case '<': sink.put("\\x3C"); return 1;
        case '>': sink.put("\\x3E"); return 1;
        case '\r': sink.put(breaks == LineBreaks::kBlank ? " " : "\\r"); return 1;
        case '\n': sink.put(breaks == LineBreaks::kBlank ? " " : "\\n"); return 1;
        default: break;
    }
    if (c < 0x20 || c == 0x7F) {
        put_hex_escape(sink, c);
        return 1;
    }
    // U+2028 and U+2029 end a line inside a literal for older engines.
    if (c == 0xE2 && p[1] == 0x80 && (p[2] == 0xA8 || p[2] == 0xA9)) {
        sink.put(p[2] == 0xA8 ? "\\u2028" : "\\u2029");
        return 3;
    }
    sink.put(static_cast<char>(c));
    return 1;
}

void put_js_text(StringBuilder& out, const char* s, LineBreaks breaks) {
    if (s == nullptr) return;
    Sink sink(out);
    const unsigned char* p = reinterpret_cast<const unsigned char*>(s);
    while (*p != '\0') {
        if (*p == '\\') {
            sink.put("\\\\");
            ++p;
        } else {
            p += put_js_char(sink, p, breaks);
        }
    }
}

}  // namespace

StringBuilder& append_html(StringBuilder& out, const char* s) {
    if (s == nullptr) return out;
    Sink sink(out);
    for (; *s != '\0'; ++s) {
        switch (*s) {
            case '&': sink.put("&amp;"); break;
            case '<': sink.put("&lt;"); break;
            case '>': sink.put("&gt;"); break;
            case '"': sink.put("&quot;"); break;
            case '\'': sink.put("&#39;"); break;
            default: sink.put(*s); break;
        }
    }
    return out;
}

StringBuilder& append_js_string(StringBuilder& out, const char* s) {
    put_js_text(out, s, LineBreaks::kEscape);
    return out;
}

StringBuilder& append_js_string_one_line(StringBuilder& out, const char* s) {
    put_js_text(out, s, LineBreaks::kBlank);
    return out;
}

StringBuilder& append_js_catalogue(StringBuilder& out, const char* s) {
    if (s == nullptr) return out;
    Sink sink(out);
    const unsigned char* p = reinterpret_cast<const unsigned char*>(s);
    while (*p != '\0') {
        if (*p == '\\') {
            if (p[1] != '\0' && strchr("nrtbfv\\\"'", p[1]) != nullptr) {
                sink.put('\\');
                sink.put(static_cast<char>(p[1]));
                p += 2;
            } else {
                sink.put("\\\\");
                ++p;
            }
        } else {
            p += put_js_char(sink, p, LineBreaks::kEscape);
        }
    }
    return out;
}
