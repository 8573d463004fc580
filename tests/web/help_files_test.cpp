// The on-line help: which file a help URL names, every kind of help file
// answered as its extension says, nothing answered from outside the help
// directory, and the Help page.
#include <gtest/gtest.h>
#include <unistd.h>

#include <string>

#include "daemon/http_codes.h"
#include "tests/daemon/context_fixture.h"
#include "tests/web/page_test_support.h"
#include "web/actions/help_handlers.h"
#include "web/pages/help_page.h"
#include "web/pages/page_builder.h"

namespace {

using test_support::read_file;
using test_support::write_file;

struct PathCase {
    const char* url;
    int language;
    int result;
    const char* path;  // under the root "/r"
};

TEST(HelpFilePath, OnlyPathsInsideTheLanguageFolder) {
    const PathCase cases[] = {
        {"/help/Alarms.html", 0, 0, "/r/en/Alarms.html"},
        {"/help/Scheduling.html", 1, 0, "/r/de/Scheduling.html"},
        {"/help/Pyv2_Settings.html", 7, 0, "/r/it/Pyv2_Settings.html"},
        {"/help/sub/page.html", 3, 0, "/r/tzh/sub/page.html"},
        // The query is not part of the file's name.
        {"/help/Alarms.html?x=../../etc/y.html", 0, 0, "/r/en/Alarms.html"},
        // Names that merely hold dots, and escapes taken as they stand.
        {"/help/a..b.html", 0, 0, "/r/en/a..b.html"},
        {"/help/...html", 0, 0, "/r/en/...html"},
        {"/help/%2e%2e/%2e%2e/etc.html", 0, 0, "/r/en/%2e%2e/%2e%2e/etc.html"},
        // A way up is refused wherever it stands.
        {"/help/../../etc/passwd.html", 0, kHelpNotServed, ""},
        {"/help/a/../../b.html", 0, kHelpNotServed, ""},
        {"/help/a/..", 0, kHelpNotServed, ""},
        {"/help/..?x", 0, kHelpNotServed, ""},
        {"/help/../", 0, kHelpNotServed, ""},
        // The rest must be a path of the language folder.
        {"/help", 0, kHelpNotServed, ""},
        {"/helpx.html", 0, kHelpNotServed, ""},
        {"/help?/a.html", 0, kHelpNotServed, ""},
        {"/nothing.html", 0, kHelpNotHelp, ""},
        {"/help/a.html", 8, kHelpNoLanguageFolder, ""},
        {"/help/a.html", -1, kHelpNoLanguageFolder, ""},
    };
    for (const PathCase& c : cases) {
        char path[256] = "unchanged";
        EXPECT_EQ(help_file_path(c.url, "/r", c.language, path, sizeof path), c.result) << c.url;
        if (c.result == 0) EXPECT_STREQ(path, c.path) << c.url;
    }
}

TEST(HelpFilePath, APathTooLongForItsBufferIsRefused) {
    char path[256];
    const std::string fits = "/help/" + std::string(255 - 6, 'a');  // "/r/en/" + name + NUL: 256
    EXPECT_EQ(help_file_path(fits.c_str(), "/r", 0, path, sizeof path), 0);
    EXPECT_EQ(std::string(path).size(), 255u);
    const std::string longer = fits + "a";
    EXPECT_EQ(help_file_path(longer.c_str(), "/r", 0, path, sizeof path), kHelpNotServed);
    EXPECT_STREQ(path, "");
}

class HelpFilesTest : public ContextFixture {
  protected:
    void SetUp() override {
        ContextFixture::SetUp();
        root_ = dir_.file("help");
        outside_ = dir_.file("outside.html");
        ASSERT_EQ(mkdir(root_.c_str(), 0755), 0);
        ASSERT_EQ(mkdir((root_ + "/en").c_str(), 0755), 0);
        ASSERT_TRUE(write_file(outside_, "<html>private</html>\n"));
        use_language(0);
    }
    void use_language(int language) {
        ASSERT_TRUE(write_file(dir_.file("pyv2.conf"),
                               "Help " + root_ + "\nLanguage " + std::to_string(language) + "\n"));
        ASSERT_EQ(config_->read_file(), 0);
    }
    void put(const std::string& name, const std::string& content) {
        ASSERT_TRUE(write_file(root_ + "/en/" + name, content));
    }
    // The handler's result, with the answer's content type and body.
    int get(const std::string& url, unsigned* type = nullptr, std::string* body = nullptr) {
        PageBuilder page(config_.get(), &catalogue_);
        const PageRequest request{url.c_str(), "127.0.0.1", "127.0.0.1", "", nullptr, kAccessUser};
        const int result = handle_help(context_.get(), &page, request);
        if (type != nullptr) *type = page.get_content_type();
        if (body != nullptr && page.get_body() != nullptr)
            *body = std::string(page.get_body(), static_cast<size_t>(page.get_body_length()));
        return result;
    }

    std::string root_;
    std::string outside_;
};

TEST_F(HelpFilesTest, EachKindIsAnsweredAsItsExtensionSays) {
    const std::string image("GIF89a\0\x01\x02\xFF\0end", 13);
    struct Kind {
        const char* name;
        std::string content;
        unsigned type;
    } const kinds[] = {
        {"page.html", "<html>help</html>\n", kContentHtml},
        {"PAGE.HTM", "<html>HELP</html>\n", kContentHtml},
        {"odd.htmx", "<html>x</html>\n", kContentHtml},
        {"logo.gif", image, kContentGif},
        {"LOGO.GIF", image, kContentGif},
        {"photo.jpg", image, kContentJpeg},
        {"shot.PNG", image, kContentPng},
        {"menu.js", "var x = 1;\n", kContentJavascript},
        {"tree.xml", "<toc/>\n", kContentXml},
        {"help.css", "body { }\n", kContentCss},
        {"applet.jar", image, kContentJavaArchive},
    };
    for (const Kind& k : kinds) {
        put(k.name, k.content);
        unsigned type = 99;
        std::string body;
        EXPECT_EQ(get(std::string("/help/") + k.name, &type, &body), 0) << k.name;
        EXPECT_EQ(type, k.type) << k.name;
        EXPECT_EQ(body, k.content) << k.name;
    }
}

TEST_F(HelpFilesTest, OtherFilesAreNotAnswered) {
    for (const char* name : {"mixed.Gif", "notes.txt", "manual.pdf", "README"}) {
        put(name, "x");
        EXPECT_EQ(get(std::string("/help/") + name), kHelpUnknownKind) << name;
    }
    EXPECT_EQ(get("/help/missing.html"), kHelpNotServed);
    ASSERT_EQ(mkdir((root_ + "/en/folder.html").c_str(), 0755), 0);
    EXPECT_EQ(get("/help/folder.html"), kHelpNotServed);
}

TEST_F(HelpFilesTest, NothingOutsideTheHelpDirectoryIsAnswered) {
    put("page.html", "inside\n");
    ASSERT_TRUE(write_file(root_ + "/top.html", "top of the tree\n"));
    // A link that leads out is not followed; one that stays inside is.
    ASSERT_EQ(symlink(outside_.c_str(), (root_ + "/en/out.html").c_str()), 0);
    ASSERT_EQ(symlink("page.html", (root_ + "/en/in.html").c_str()), 0);
    ASSERT_EQ(symlink(dir_.path().c_str(), (root_ + "/en/up").c_str()), 0);
    std::string body;
    EXPECT_EQ(get("/help/out.html"), kHelpNotServed);
    EXPECT_EQ(get("/help/up/outside.html"), kHelpNotServed);
    EXPECT_EQ(get("/help/in.html", nullptr, &body), 0);
    EXPECT_EQ(body, "inside\n");
    for (const char* url :
         {"/help/../top.html", "/help/../../outside.html", "/help/..%2f..%2foutside.html",
          "/help/%2e%2e/%2e%2e/outside.html", "/help//../outside.html"})
        EXPECT_NE(get(url), 0) << url;
}

TEST_F(HelpFilesTest, TheConfiguredLanguagesFolderAnswers) {
    put("Scheduling.html", "english\n");
    ASSERT_EQ(mkdir((root_ + "/de").c_str(), 0755), 0);
    ASSERT_TRUE(write_file(root_ + "/de/Scheduling.html", "deutsch\n"));
    ASSERT_EQ(symlink("en", (root_ + "/fr").c_str()), 0);
    std::string body;
    use_language(1);
    EXPECT_EQ(get("/help/Scheduling.html", nullptr, &body), 0);
    EXPECT_EQ(body, "deutsch\n");
    use_language(5);  // a language that shows the English pages
    EXPECT_EQ(get("/help/Scheduling.html", nullptr, &body), 0);
    EXPECT_EQ(body, "english\n");
    use_language(6);
    EXPECT_EQ(get("/help/Scheduling.html"), kHelpNotServed);
    use_language(9);
    EXPECT_EQ(get("/help/Scheduling.html"), kHelpNoLanguageFolder);
}

// The Help page, written by its handler.
std::string help_page(const std::string& config_lines, const char* url) {
    pagetest::PageEnv env(config_lines);
    PageBuilder page(&env.config(), &env.catalogue());
    page.set_access_level(kAccessUser);
    DaemonContext context(&env.config(), &env.catalogue());
    const PageRequest request{url, "127.0.0.1", "127.0.0.1", "", nullptr, kAccessUser};
    EXPECT_EQ(handle_page5(&context, &page, request), 0);
    return std::string(page.get_body(), static_cast<size_t>(page.get_body_length()));
}

size_t rows_of(const std::string& page) {
    size_t n = 0;
    for (size_t at = page.find("<tr>"); at != std::string::npos; at = page.find("<tr>", at + 1))
        ++n;
    return n;
}

TEST(HelpPage, LinksTheOnlineHelpAndTheMakerUnlessAnOemInstalledIt) {
    const std::string page = help_page("Refresh 5\n", "/page5.html?c=2");
    EXPECT_EQ(rows_of(page), 3u);
    EXPECT_NE(page.find("<td colspan=\"2\" class=\"tabletitle12\">Qel Pyv2 Help</td>"),
              std::string::npos);
    EXPECT_NE(
        page.find("<td width=\"225\" class=\"tabledata\"><b>&nbsp;&nbsp;Pyv2 Online Help</b>"
                  "</td>\n<td width=\"175\" class=\"tabledata\"><a "
                  "href=\"/help/Pyv_2_OLH-1-01.html\" target=\"_online_help\">Click Here</a>"),
        std::string::npos);
    EXPECT_NE(page.find(std::string("<a href=\"") + kMakerWebSite + "\" target=\"_blank\">"),
              std::string::npos);
    EXPECT_NE(page.find("target=\"top\">https://www.openssl.org/</a>"), std::string::npos);
    EXPECT_NE(page.find("Copyright \xC2\xA9 1998-"), std::string::npos);
    EXPECT_NE(page.find("Copyright \xC2\xA9 1995-1998"), std::string::npos);
    // A help page does not refresh itself, whatever the configuration says.
    EXPECT_NE(page.find("var TimeOut = 0;"), std::string::npos);
    EXPECT_EQ(page.find("automatically refresh"), std::string::npos);
    EXPECT_NE(page.find("parent.cur_controller = 2;"), std::string::npos);
    EXPECT_NE(page.find("toggle_select_controller('hidden')"), std::string::npos);

    const std::string oem = help_page("OEM 1\n", "/page5.html?c=-4");
    EXPECT_EQ(rows_of(oem), 2u);
    EXPECT_EQ(oem.find(kMakerWebSite), std::string::npos);
    EXPECT_NE(oem.find("parent.cur_controller = 0;"), std::string::npos);
}

}  // namespace
