#include "web/pages/escape.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "daemon/string_builder.h"
#include "tests/web/page_test_support.h"

namespace {

using Escaper = StringBuilder& (*)(StringBuilder&, const char*);

std::string escaped(Escaper escape, const char* s) {
    StringBuilder out;
    out.append("[");
    escape(out, s);
    out.append("]");
    return out.c_str();
}

using test_support::hex;

// Texts that try to leave a string literal, a script element or an
// attribute, or that trip older engines.
const char* const kHostile[] = {
    "plain text",
    "quote \" and 'apostrophe'",
    "</script><script>alert(1)</script>",
    "<!-- <script>",
    "back\\slash at the end\\",
    "\\u12 and \\x4 are broken escapes",
    "line\nbreak\r\nand\ttab\x01\x1f\x7f",
    "non-ASCII: M\xC3\xA4rz \xE6\x97\xA5\xE6\x9C\xAC \xF0\x9F\x98\x80",
    "separators \xE2\x80\xA8 and \xE2\x80\xA9",
    "${template} `backtick`",
    "",
};

TEST(Escape, HtmlEscapesTheFiveSpecialCharacters)
{
    const struct {
        const char* in;
        const char* out;
    } cases[] = {
        {"a&b", "[a&amp;b]"},
        {"<script>", "[&lt;script&gt;]"},
        {"x\"y'z", "[x&quot;y&#39;z]"},
        {"M\xC3\xA4rz &nbsp;", "[M\xC3\xA4rz &amp;nbsp;]"},
        {"", "[]"},
        {nullptr, "[]"},
    };
    for (const auto& c : cases) EXPECT_EQ(escaped(append_html, c.in), c.out);
}

TEST(Escape, JavaScriptFormsWrittenOut)
{
    const struct {
        Escaper escape;
        const char* in;
        const char* out;
    } cases[] = {
        {append_js_string, "a\"b\\c", "[a\\\"b\\\\c]"},
        {append_js_string, "</script>", "[\\x3C/script\\x3E]"},
        {append_js_string, "x\r\ny", "[x\\r\\ny]"},
        {append_js_string, "\\n", "[\\\\n]"},
        {append_js_string_one_line, "x\r\ny\n", "[x  y ]"},
        // A catalogue text keeps its deliberate \n but cannot end the literal.
        {append_js_catalogue, "Line one.\\n 1) Two", "[Line one.\\n 1) Two]"},
        {append_js_catalogue, "say \"hi\"", "[say \\\"hi\\\"]"},
        {append_js_catalogue, "end\\", "[end\\\\]"},
        {append_js_catalogue, "\\u12", "[\\\\u12]"},
        {append_js_catalogue, nullptr, "[]"},
    };
    for (const auto& c : cases) EXPECT_EQ(escaped(c.escape, c.in), c.out) << c.in;
}

TEST(Escape, NoEscapedTextCanCloseAScriptOrOpenAComment)
{
    for (Escaper escape : {append_js_string, append_js_string_one_line, append_js_catalogue}) {
        for (const char* s : kHostile) {
            std::string out = escaped(escape, s);
            EXPECT_EQ(out.find('<'), std::string::npos) << s;
            EXPECT_EQ(out.find('\n'), std::string::npos) << s;
        }
    }
}

// Every hostile text, written into a double-quoted literal and read back by
// node, must give the intended string: the text itself, the text with line
// breaks as blanks, or the text with the catalogue's \n read as a line break.
TEST(Escape, NodeReadsBackTheIntendedStrings)
{
    pagetest::TempDir dir;
    std::string script = "const values = [\n";
    std::vector<std::string> expected;
    for (const char* s : kHostile) {
        std::string text = s;
        script += "\"" + escaped(append_js_string, s).substr(1);
        script.back() = '"';
        script += ",\n";
        expected.push_back(text);

        std::string one_line = text;
        for (char& c : one_line)
            if (c == '\r' || c == '\n') c = ' ';
        script += "\"" + escaped(append_js_string_one_line, s).substr(1);
        script.back() = '"';
        script += ",\n";
        expected.push_back(one_line);
    }
    // Catalogue texts: the backslash escapes they mean, and stray ones.
    const struct {
        const char* in;
        const char* value;
    } catalogue[] = {
        {"Warning:\\n 1) Back up.\\n", "Warning:\n 1) Back up.\n"},
        {"quote \\\" kept, \" added", "quote \" kept, \" added"},
        {"tab\\t and \\\\ stay", "tab\t and \\ stay"},
        {"stray \\q \\u12 \\x4 end\\", "stray \\q \\u12 \\x4 end\\"},
        {"</script> \xE2\x80\xA8", "</script> \xE2\x80\xA8"},
    };
    for (const auto& c : catalogue) {
        script += "\"" + escaped(append_js_catalogue, c.in).substr(1);
        script.back() = '"';
        script += ",\n";
        expected.push_back(c.value);
    }
    script += "];\nfor (const v of values) console.log(Buffer.from(v, 'utf8').toString('hex'));\n";
    std::string path = dir.file("values.js");
    ASSERT_TRUE(pagetest::write_file(path, script));
    std::string output;
    ASSERT_EQ(pagetest::run_node("", path, &output), 0) << output << script;
    std::string wanted;
    for (const std::string& e : expected) wanted += hex(e) + "\n";
    EXPECT_EQ(output, wanted) << script;
}

}  // namespace
