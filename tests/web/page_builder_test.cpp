#include "web/pages/page_builder.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>

#include "daemon/http_codes.h"
#include "tests/web/page_test_support.h"

namespace {

using pagetest::PageEnv;

std::string body_of(const PageBuilder& page) {
    const char* body = page.get_body();
    return body == nullptr ? std::string() : std::string(body, page.get_body_length());
}

std::string bytes(int n, int seed) {
    std::string out;
    for (int i = 0; i < n; ++i) out += static_cast<char>((i * 7 + seed) % 256);  // NULs included
    return out;
}

TEST(PageBuilder, BodyFollowsTheContentTypeAlone)
{
    PageEnv env;
    std::string file = env.dir().file("data.bin");
    ASSERT_TRUE(pagetest::write_file(file, "BINARY"));
    const struct {
        unsigned kind;
        const char* body;  // null: no body
    } cases[] = {
        {0, "TEXT"}, {1, "TEXT"}, {5, "TEXT"}, {6, "TEXT"}, {7, "TEXT"},
        {2, "BINARY"}, {3, "BINARY"}, {4, "BINARY"}, {8, "BINARY"}, {9, "BINARY"}, {10, "BINARY"},
        {11, nullptr}, {0xFFFFFFFF, nullptr},
    };
    for (const auto& c : cases) {
        PageBuilder page(&env.config(), &env.catalogue());
        page.text_body().append("TEXT");
        ASSERT_EQ(page.send_binary_file(file.c_str(), c.kind), 0);
        EXPECT_EQ(page.get_content_type(), c.kind);
        if (c.body == nullptr) {
            EXPECT_EQ(page.get_body(), nullptr) << c.kind;
            EXPECT_EQ(page.get_body_length(), 0) << c.kind;
        } else {
            EXPECT_EQ(body_of(page), c.body) << c.kind;
        }
    }
}

// Walks a GIF89a file block by block and returns its width and height, or
// fails the test when the structure is broken.
void check_gif(const std::string& gif, int width, int height) {
    ASSERT_GE(gif.size(), 13u + 768u);
    const unsigned char* p = reinterpret_cast<const unsigned char*>(gif.data());
    EXPECT_EQ(gif.substr(0, 6), "GIF89a");
    EXPECT_EQ(p[6] | p[7] << 8, width);
    EXPECT_EQ(p[8] | p[9] << 8, height);
    EXPECT_EQ(p[10] & 0x87, 0x87);  // a global colour table of 256 entries
    size_t i = 13 + 768;
    bool image = false;
    auto skip_sub_blocks = [&]() {
        while (i < gif.size() && p[i] != 0) i += p[i] + 1;
        ++i;
    };
    while (i < gif.size() && p[i] != 0x3B) {
        if (p[i] == 0x21) {
            i += 2;
            skip_sub_blocks();
        } else if (p[i] == 0x2C) {
            ASSERT_LE(i + 11, gif.size());
            EXPECT_EQ(p[i + 5] | p[i + 6] << 8, width);
            EXPECT_EQ(p[i + 7] | p[i + 8] << 8, height);
            i += 10 + 1;  // descriptor, LZW code size
            skip_sub_blocks();
            image = true;
        } else {
            FAIL() << "unknown block at " << i;
        }
    }
    EXPECT_TRUE(image);
    EXPECT_EQ(i, gif.size() - 1);  // the trailer is the last byte
}

TEST(PageBuilder, BuiltInLogosAnswerOnlyTheirExactNames)
{
    PageEnv env("OEM 0\n");
    const struct {
        const char* url;
        int result;
        int size, width, height;
    } cases[] = {
        {"/logo.gif", 0, 1353, 78, 22},
        {"/plogo.gif", 0, 1402, 71, 22},
        {"/logo.gif?x=1", 1, 0, 0, 0},
        {"/other.gif", 1, 0, 0, 0},
        {"/images/logo.gif", 1, 0, 0, 0},
        {"/logo.gi", 1, 0, 0, 0},
        {"/plogo.gifx", 1, 0, 0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.url);
        PageBuilder page(&env.config(), &env.catalogue());
        EXPECT_EQ(page.send_logo(c.url), c.result);
        EXPECT_EQ(page.get_content_type(), static_cast<unsigned>(kContentGif));
        EXPECT_EQ(page.get_body_length(), c.size);
        if (c.result == 0) check_gif(body_of(page), c.width, c.height);
    }
}

TEST(PageBuilder, OemLogoFilesReplaceTheBuiltInImages)
{
    const std::string oem_logo = bytes(2500, 1);  // more than one read piece
    const struct {
        const char* name;
        int oem;
        const char* file;        // file written in the logo directory, or null
        const std::string* content;
        const char* url;
        int expected_size;       // of the answer
    } cases[] = {
        {"OEM 1 serves the file", 1, "logo.gif", &oem_logo, "/logo.gif", 2500},
        {"OEM 1 serves plogo.gif", 1, "plogo.gif", &oem_logo, "/plogo.gif", 2500},
        {"OEM 0 ignores the file", 0, "logo.gif", &oem_logo, "/logo.gif", 1353},
        {"OEM 2 ignores the file", 2, "logo.gif", &oem_logo, "/logo.gif", 1353},
        {"an empty file falls back", 1, "logo.gif", nullptr, "/logo.gif", 1353},
        {"a missing file falls back", 1, nullptr, nullptr, "/plogo.gif", 1402},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        PageEnv env("OEM " + std::to_string(c.oem) + "\n");
        if (c.file != nullptr)
            pagetest::write_file(env.dir().file(c.file), c.content != nullptr ? *c.content : "");
        PageBuilder page(&env.config(), &env.catalogue());
        EXPECT_EQ(page.send_logo_from(c.url, env.dir().path().c_str()), 0);
        EXPECT_EQ(page.get_body_length(), c.expected_size);
        if (c.expected_size == 2500) {
            EXPECT_EQ(body_of(page), oem_logo);
        }
    }
}

TEST(PageBuilder, FaviconWithoutAFileIsNotFound)
{
    PageEnv env;
    std::string favicon = std::string(env.config().get_logo_dir()) + "/favicon.ico";
    if (std::filesystem::exists(favicon)) GTEST_SKIP() << favicon << " exists on this machine";
    PageBuilder page(&env.config(), &env.catalogue());
    EXPECT_EQ(page.send_favicon(), 1);
    EXPECT_EQ(page.get_content_type(), static_cast<unsigned>(kContentIcon));
    EXPECT_EQ(page.get_body_length(), 0);
}

TEST(PageBuilder, FilesAreSentWholeAsBinaryOrText)
{
    PageEnv env;
    const std::string binary = bytes(3000, 5);
    std::string text = "first line\n" + std::string(2500, 'x') + "\nlast line without newline";
    std::string binary_path = env.dir().file("file.bin");
    std::string text_path = env.dir().file("file.txt");
    ASSERT_TRUE(pagetest::write_file(binary_path, binary));
    ASSERT_TRUE(pagetest::write_file(text_path, text));
    std::string missing = env.dir().file("missing");

    using Sender = int (PageBuilder::*)(const char*, unsigned);
    const struct {
        Sender send;
        const char* path;
        unsigned kind;
        int result;
        const std::string* body;
    } cases[] = {
        {&PageBuilder::send_binary_file, binary_path.c_str(), kContentJpeg, 0, &binary},
        {&PageBuilder::send_text_file, text_path.c_str(), kContentPlain, 0, &text},
        {&PageBuilder::send_binary_file, nullptr, kContentJpeg, 1, nullptr},
        {&PageBuilder::send_text_file, nullptr, kContentHtml, 1, nullptr},
        {&PageBuilder::send_binary_file, "", kContentJpeg, 2, nullptr},
        {&PageBuilder::send_text_file, "", kContentHtml, 2, nullptr},
        {&PageBuilder::send_binary_file, missing.c_str(), kContentJpeg, 3, nullptr},
        {&PageBuilder::send_text_file, missing.c_str(), kContentHtml, 3, nullptr},
    };
    for (const auto& c : cases) {
        PageBuilder page(&env.config(), &env.catalogue());
        EXPECT_EQ((page.*c.send)(c.path, c.kind), c.result);
        if (c.body != nullptr) {
            EXPECT_EQ(page.get_content_type(), c.kind);
            EXPECT_EQ(body_of(page), *c.body);
        } else {
            EXPECT_EQ(page.get_body_length(), 0);
        }
    }
}

TEST(PageBuilder, DownloadsAreBinaryBodies)
{
    PageEnv env;
    using Download = int (PageBuilder::*)(const unsigned char*, int);
    const std::string data = bytes(512, 0);
    for (Download download : {&PageBuilder::send_smart_dat, &PageBuilder::send_encl_diaglog,
                              &PageBuilder::send_errorlog}) {
        PageBuilder page(&env.config(), &env.catalogue());
        page.text_body().append("not this");
        EXPECT_EQ((page.*download)(reinterpret_cast<const unsigned char*>(data.data()), 512), 0);
        EXPECT_EQ(page.get_content_type(), static_cast<unsigned>(kContentBinary));
        EXPECT_EQ(body_of(page), data);
    }
}

TEST(PageBuilder, CookieIsCutTo255Characters)
{
    PageEnv env;
    PageBuilder page(&env.config(), &env.catalogue());
    EXPECT_STREQ(page.get_cookie(), "");
    std::string long_cookie = "WOXUSER=" + std::string(400, 'c');
    EXPECT_EQ(page.set_cookie(long_cookie.c_str()), 0);
    EXPECT_EQ(std::string(page.get_cookie()), long_cookie.substr(0, 255));
    page.set_cookie("");
    EXPECT_STREQ(page.get_cookie(), "");
}

TEST(PageBuilder, LanguageDisplayNamesAreUtf8)
{
    PageEnv env;
    PageBuilder page(&env.config(), &env.catalogue());
    const struct {
        int index;
        const char* name;
    } cases[] = {
        {0, "English"}, {1, "Deutsch"}, {2, "\xE6\x97\xA5\xE6\x9C\xAC"},
        {3, "\xE4\xB8\xAD\xE6\x96\x87(\xE7\xB9\x81)"}, {4, "\xE4\xB8\xAD\xE6\x96\x87(\xE7\xAE\x80)"},
        {5, "Fran\xC3\xA7" "ais"}, {6, "Espa\xC3\xB1ol"}, {7, "Italiano"}, {8, ""}, {-1, ""},
    };
    for (const auto& c : cases) EXPECT_STREQ(page.get_language_name(c.index), c.name) << c.index;
}

}  // namespace
