// The escaping of page values over arbitrary texts. An HTML value holds no
// raw markup character and reads back as the text; a JavaScript literal's
// inside stays one well-formed literal on one line (no unescaped quote, no
// raw line break, no "</script" or "<!--", only escapes JavaScript knows)
// and, for the plain forms, reads back as the text.
#include "web/pages/escape.h"

#include <cctype>
#include <cstring>
#include <string>

#include "daemon/string_builder.h"
#include "fuzz/fuzz_support.h"

namespace {

int hex_digit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

bool contains_without_case(const std::string& s, const char* needle)
{
    std::string lower = s;
    for (char& c : lower)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return lower.find(needle) != std::string::npos;
}

std::string html_decode(const std::string& s)
{
    static const struct {
        const char* ref;
        char c;
    } kRefs[] = {{"&amp;", '&'}, {"&lt;", '<'}, {"&gt;", '>'}, {"&quot;", '"'}, {"&#39;", '\''}};
    std::string out;
    for (size_t i = 0; i < s.size();) {
        FUZZ_CHECK(std::strchr("<>\"'", s[i]) == nullptr || s[i] == '\0');
        if (s[i] != '&') {
            out += s[i++];
            continue;
        }
        bool known = false;
        for (const auto& r : kRefs) {
            size_t n = std::strlen(r.ref);
            if (s.compare(i, n, r.ref) == 0) {
                out += r.c;
                i += n;
                known = true;
                break;
            }
        }
        FUZZ_CHECK(known);
    }
    return out;
}

// Reads the inside of a double-quoted literal as JavaScript would, stopping
// the run at anything that would end or break the literal. The bytes of
// \xHH and \uHHHH escapes are given back as the byte or as UTF-8.
std::string js_decode(const std::string& s)
{
    FUZZ_CHECK(!contains_without_case(s, "</script"));
    FUZZ_CHECK(s.find("<!--") == std::string::npos);
    std::string out;
    for (size_t i = 0; i < s.size();) {
        unsigned char c = static_cast<unsigned char>(s[i]);
        FUZZ_CHECK(c != '"' && c != '\r' && c != '\n');
        FUZZ_CHECK(!(c == 0xE2 && i + 2 < s.size() && static_cast<unsigned char>(s[i + 1]) == 0x80 &&
                     (static_cast<unsigned char>(s[i + 2]) == 0xA8 ||
                      static_cast<unsigned char>(s[i + 2]) == 0xA9)));
        if (c != '\\') {
            out += s[i++];
            continue;
        }
        FUZZ_CHECK(i + 1 < s.size());  // a lone backslash would escape the closing quote
        char e = s[i + 1];
        i += 2;
        switch (e) {
            case 'n': out += '\n'; break;
            case 'r': out += '\r'; break;
            case 't': out += '\t'; break;
            case 'b': out += '\b'; break;
            case 'f': out += '\f'; break;
            case 'v': out += '\v'; break;
            case '\\': case '"': case '\'': out += e; break;
            case 'x': {
                FUZZ_CHECK(i + 2 <= s.size() && hex_digit(s[i]) >= 0 && hex_digit(s[i + 1]) >= 0);
                out += static_cast<char>(hex_digit(s[i]) * 16 + hex_digit(s[i + 1]));
                i += 2;
                break;
            }
            case 'u': {
                FUZZ_CHECK(i + 4 <= s.size());
                unsigned v = 0;
                for (int k = 0; k < 4; k++) {
                    FUZZ_CHECK(hex_digit(s[i + k]) >= 0);
                    v = v * 16 + static_cast<unsigned>(hex_digit(s[i + k]));
                }
                i += 4;
                // Only the two line separators are written this way.
                FUZZ_CHECK(v == 0x2028 || v == 0x2029);
                out += "\xE2\x80";
                out += static_cast<char>(v == 0x2028 ? 0xA8 : 0xA9);
                break;
            }
            default:
                // Digits, line breaks and other letters are escapes that
                // strict code refuses or that change meaning.
                FUZZ_CHECK(false);
        }
    }
    return out;
}

template <typename Escape>
std::string escaped(Escape escape, const char* text)
{
    StringBuilder b;
    b.append("x");  // the escapes append to what is there
    escape(b, text);
    FUZZ_CHECK(b.c_str()[0] == 'x');
    FUZZ_CHECK(static_cast<int>(std::strlen(b.c_str())) == b.length());
    return std::string(b.c_str() + 1);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::string input(reinterpret_cast<const char*>(data), size);
    const char* text = input.c_str();
    std::string c_text(text);

    FUZZ_CHECK(html_decode(escaped(append_html, text)) == c_text);
    FUZZ_CHECK(js_decode(escaped(append_js_string, text)) == c_text);

    std::string one_line = c_text;
    for (char& c : one_line)
        if (c == '\r' || c == '\n')
            c = ' ';
    FUZZ_CHECK(js_decode(escaped(append_js_string_one_line, text)) == one_line);

    // Catalogue texts keep their own escapes, so only the form is checked.
    js_decode(escaped(append_js_catalogue, text));
    return 0;
}
