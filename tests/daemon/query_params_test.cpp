#include "daemon/query_params.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

struct ParameterCase {
    const char* text;
    const char* key;
    int size;
    const char* expected;  // null: not found
};

TEST(QueryParams, GetParameterCopiesTheValueBehindTheFirstOccurrence)
{
    const ParameterCase cases[] = {
        {"/page2_0.html?c=1&UnitName=abc&x=2", "UnitName=", 64, "abc"},
        // The value ends at '&', CR, LF or the end of the text.
        {"UnitName=ab\r\nmore", "UnitName=", 64, "ab"},
        {"UnitName=ab\nmore", "UnitName=", 64, "ab"},
        {"UnitName=", "UnitName=", 64, ""},
        // The first occurrence wins, even before the '?', which does not
        // end a value.
        {"/x.html&k=1?k=2&k=3", "k=", 64, "1?k=2"},
        {"/x.html?a=1&k=2&k=3", "k=", 64, "2"},
        // Case matters.
        {"/x.html?unitname=abc", "UnitName=", 64, nullptr},
        // At most size - 1 characters are kept.
        {"/x.html?c=123456789", "c=", 8, "1234567"},
        {"/x.html?c=123456789", "c=", 1, ""},
        // Without "pwd" in the key nothing is decoded.
        {"UnitName=%41+b", "UnitName=", 64, "%41+b"},
        // With "pwd" in the key each %XX is one byte; '+' and stray '%' stay.
        {"thepwd=%41b%2B+%4%zz%", "thepwd=", 64, "Ab++%4%zz%"},
        {"whopwd=a&thepwd=x%26y", "thepwd=", 64, "x&y"},
        // The limit counts decoded bytes, and an escape is never split.
        {"thepwd=%41%42%43%44", "thepwd=", 3, "AB"},
    };
    for (const ParameterCase& c : cases) {
        SCOPED_TRACE(std::string(c.text) + " / " + c.key);
        char out[64];
        memset(out, 'Z', sizeof(out));
        char* result = QueryParams::get_parameter(c.text, c.key, out, c.size);
        if (c.expected == nullptr) {
            EXPECT_EQ(result, nullptr);
            EXPECT_EQ(out[0], 'Z');  // untouched
        } else {
            ASSERT_EQ(result, out);
            EXPECT_STREQ(out, c.expected);
        }
    }
}

TEST(QueryParams, GetParameterRefusesAnUnusableBuffer)
{
    char out[4] = "abc";
    EXPECT_EQ(QueryParams::get_parameter("c=1", "c=", out, 0), nullptr);
    EXPECT_EQ(QueryParams::get_parameter("c=1", "c=", out, -5), nullptr);
    EXPECT_STREQ(out, "abc");
}

TEST(QueryParams, UrlDecodeTurnsOnlyALiteralPlusIntoABlank)
{
    const struct {
        const char* in;
        const char* out;
    } cases[] = {
        {"%41", "A"},
        {"a+b", "a b"},
        {"a%2Bb@x.org", "a+b@x.org"},
        {"a%2bb", "a+b"},
        {"%20%2B+", " + "},
        {"100%", "100%"},
        {"%4", "%4"},
        {"%zz%4g", "%zz%4g"},
        {"%%41", "%A"},
        {"\xC3\xA4%C3%A4", "\xC3\xA4\xC3\xA4"},
        {"", ""},
    };
    for (const auto& c : cases) {
        char text[64];
        snprintf(text, sizeof(text), "%s", c.in);
        EXPECT_EQ(QueryParams::url_decode(text), text);
        EXPECT_STREQ(text, c.out) << c.in;
    }
}

TEST(QueryParams, UrlDecodeHandlesValuesLongerThanAFixedBuffer)
{
    std::string in;
    for (int i = 0; i < 400; ++i) in += "%41+";
    std::string text = in;
    QueryParams::url_decode(text.data());
    std::string expected;
    for (int i = 0; i < 400; ++i) expected += "A ";
    EXPECT_STREQ(text.c_str(), expected.c_str());
}

TEST(QueryParams, PasswordKeyDecodesWhereFreeTextWaitsForUrlDecode)
{
    char out[64];
    ASSERT_NE(QueryParams::get_parameter("thepwd=%41", "thepwd=", out, sizeof(out)), nullptr);
    EXPECT_STREQ(out, "A");
    ASSERT_NE(QueryParams::get_parameter("UnitName=%41", "UnitName=", out, sizeof(out)), nullptr);
    EXPECT_STREQ(out, "%41");
    EXPECT_STREQ(QueryParams::url_decode(out), "A");
}

using Getter = int (*)(const char*);

struct GetterCase {
    const char* name;
    Getter get;
    const char* url;
    int expected;
};

TEST(QueryParams, SingleKeyGetters)
{
    const GetterCase cases[] = {
        {"c absent", QueryParams::get_param_c, "/page0.html", 0},
        {"c behind ?", QueryParams::get_param_c, "/page0.html?c=3", 3},
        {"c behind & wins over ?", QueryParams::get_param_c, "/p.html?c=1&c=2", 2},
        {"c keeps 7 characters", QueryParams::get_param_c, "/p.html?c=123456789", 1234567},
        {"c not numeric", QueryParams::get_param_c, "/p.html?c=x", 0},
        {"c is not abc=", QueryParams::get_param_c, "/p.html?abc=5", 0},
        {"u absent means all units", QueryParams::get_param_u, "/page1_1.html?c=0", -2},
        {"u present but empty", QueryParams::get_param_u, "/page1_1.html?c=0&u=", 0},
        {"u negative", QueryParams::get_param_u, "/page1_1.html?c=0&u=-2", -2},
        {"u first", QueryParams::get_param_u, "/page1_1.html?u=4", 4},
        {"d absent", QueryParams::get_param_d, "/page1_2.html?c=0", -1},
        {"d only behind &", QueryParams::get_param_d, "/page1_2.html?d=5", -1},
        {"d behind &", QueryParams::get_param_d, "/page1_2.html?c=0&d=5", 5},
        {"y only behind &", QueryParams::get_param_y, "/page1_0_1.html?y=2", -1},
        {"y behind &", QueryParams::get_param_y, "/page1_0_1.html?c=0&y=2", 2},
        {"e", QueryParams::get_param_e, "/page3_3.html?e=1&c=0", 1},
        {"e absent", QueryParams::get_param_e, "/page3_3.html?c=0", 0},
        {"slot absent", QueryParams::get_param_slot, "/page3_3.html?e=1", -1},
        {"slot keeps 9 characters", QueryParams::get_param_slot, "/p?e=1&slot=1234567890", 123456789},
        {"f", QueryParams::get_param_f, "/p?c=0&f=3", 3},
        {"a", QueryParams::get_param_a, "/p?a=2", 2},
        {"ps", QueryParams::get_param_ps, "/p?c=0&ps=1", 1},
        {"ps absent", QueryParams::get_param_ps, "/p?c=0&s=1", 0},
        {"sort absent", QueryParams::get_param_avail_list_sort, "/page2_2.html?c=0", 1},
        {"sort zero", QueryParams::get_param_avail_list_sort, "/page2_2.html?AvailListSort=0", 1},
        {"sort negative", QueryParams::get_param_avail_list_sort, "/p?c=0&AvailListSort=-4", 1},
        {"sort", QueryParams::get_param_avail_list_sort, "/p?c=0&AvailListSort=3", 3},
    };
    for (const GetterCase& c : cases) EXPECT_EQ(c.get(c.url), c.expected) << c.name;
}

TEST(QueryParams, ImageValueIsCopiedWithinTheCallersBuffer)
{
    char out[8];
    memset(out, 'Z', sizeof(out));
    EXPECT_EQ(QueryParams::get_param_image("/fw.html?image=abcdefghij", out, sizeof(out)), 1);
    EXPECT_STREQ(out, "abcdef");  // size - 2 characters
    EXPECT_EQ(QueryParams::get_param_image("/fw.html?c=1&image=xy", out, sizeof(out)), 1);
    EXPECT_STREQ(out, "xy");
    EXPECT_EQ(QueryParams::get_param_image("/fw.html?c=1", out, sizeof(out)), 0);
    EXPECT_EQ(QueryParams::get_param_image("/fw.html?image=xy", out, 1), 0);
}

}  // namespace
