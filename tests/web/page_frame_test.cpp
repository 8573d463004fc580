#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "api/ctl.h"
#include "daemon/http_codes.h"
#include "tests/web/page_test_support.h"
#include "web/pages/page_builder.h"

namespace {

using pagetest::PageEnv;

std::string body_of(const PageBuilder& page) { return std::string(page.get_body(), page.get_body_length()); }

size_t count_of(const std::string& text, const std::string& part) {
    size_t n = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
    return n;
}

const char* const kStyleBlock =
    "<style type=\"text/css\">\n"
    "body\n{\n  margin-top: 1px;\n  margin-left: 5px;\n  font-family: sans-serif;\n  font-size: 12pt;\n}\n"
    "td.tabletitle12\n{\n  background-color: #004080;\n  color: #FFFFFF;\n  font-family: sans-serif;\n"
    "  font-size: 12pt;\n  font-weight: bold;\n}\n"
    "td.tabletitle14\n{\n  background-color: #004080;\n  color: #FFFFFF;\n  font-family: sans-serif;\n"
    "  font-size: 14pt;\n  font-weight: bold;\n}\n"
    "td.tableheader10\n{\n  background-color: #E0A000;\n  color: #FFFFFF;\n  font-family: sans-serif;\n"
    "  font-size: 10pt;\n  font-weight: bold;\n}\n"
    "td.tableheader\n{\n  background-color: #E0A000;\n  color: #FFFFFF;\n  font-family: sans-serif;\n"
    "  font-size: 12pt;\n  font-weight: bold;\n}\n"
    "td.tableheadercenter\n{\n  background-color: #E0A000;\n  color: #FFFFFF;\n  font-family: sans-serif;\n"
    "  font-size: 12pt;\n  font-weight: bold;\n  text-align: center;\n}\n"
    "td.tabledata\n{\n  background-color: #FFFFEA;\n  font-family: sans-serif;\n  font-size: 10pt;\n}\n"
    "td.tabledatacenter\n{\n  background-color: #FFFFEA;\n  font-family: sans-serif;\n  font-size: 10pt;\n"
    "  text-align: center;\n}\n"
    "</style>\n";

const char* const kNoCache = "<meta http-equiv=\"Pragma\" content=\"no-cache\">\n";

std::string language_meta(const char* code) {
    return std::string("<meta http-equiv=\"content-type\" content=\"text/html; charset=utf-8\">\n"
                       "<meta http-equiv=\"content-language\" content=\"") +
           code + "\">\n";
}

TEST(PageFrame, BlankPageIsExactlyFourLines)
{
    PageEnv env;
    PageBuilder page(&env.config(), &env.catalogue());
    EXPECT_EQ(page.write_blank(), 0);
    EXPECT_EQ(page.get_content_type(), static_cast<unsigned>(kContentHtml));
    EXPECT_EQ(body_of(page), "<html>\n<body bgcolor=\"#FFFFFF\">\n</body>\n</html>\n");
}

TEST(PageFrame, StyleBlockIsWrittenExactly)
{
    PageEnv env;
    PageBuilder page(&env.config(), &env.catalogue());
    EXPECT_EQ(page.write_style(), 0);
    EXPECT_EQ(page.text_body().c_str(), std::string(kStyleBlock));
}

TEST(PageFrame, ContentPageSkeletonPerLanguage)
{
    const struct {
        int language;
        const char* code;
    } cases[] = {
        {0, "en"}, {1, "de"}, {2, "ja"}, {3, "zh"}, {4, "zh"}, {5, "fr"}, {6, "es"}, {7, "it"},
        {8, "en"}, {-3, "en"}, {1000, "en"},
    };
    for (const auto& c : cases) {
        PageEnv env("Language " + std::to_string(c.language) + "\n");
        PageBuilder page(&env.config(), &env.catalogue());
        page.begin_page("Title", "Summary", nullptr, nullptr, 0, 0);
        page.text_body().append("function page_own() {}\n");
        page.end_head();
        page.text_body().append("CONTENT\n");
        page.end_page(1);
        std::string html = body_of(page);
        std::string head = std::string("<html>\n<head>\n") + kNoCache + language_meta(c.code) + kStyleBlock +
                           "<script>\nvar refreshTimer;\nvar TimeOut = 0;\nfunction init(messageclear)\n";
        EXPECT_EQ(html.substr(0, head.size()), head) << c.language;
        EXPECT_NE(html.find("function page_own() {}\n</script>\n</head>\n"
                            "<body bgcolor=\"#FFFFFF\" onLoad=\"init(1);\">\nCONTENT\n<hr width=\"100%\""),
                  std::string::npos);
        EXPECT_EQ(html.substr(html.size() - 16), "</body>\n</html>\n");
    }
}

TEST(PageFrame, FooterShowsTheRefreshLineOnlyWhenThePageRefreshes)
{
    const struct {
        const char* config;
        int flag;
        bool refresh_line;
    } cases[] = {
        {"Refresh 0\n", 1, false},
        {"Refresh 3\n", 1, true},
        {"Refresh 3\n", 0, false},
        {"Refresh -1\n", 1, false},
        {"Refresh 40000\n", 1, false},  // beyond what the page script can wait
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.config);
        PageEnv env(c.config);
        PageBuilder page(&env.config(), &env.catalogue());
        EXPECT_EQ(page.write_footer(c.flag), 0);
        std::string footer = page.text_body().c_str();
        std::string refresh = "This page will automatically refresh every 3 minute(s)<br>\n";
        EXPECT_EQ(footer.find("automatically refresh") != std::string::npos, c.refresh_line);
        if (c.refresh_line) {
            EXPECT_NE(footer.find(refresh), std::string::npos);
        }
        const std::string start = "<hr width=\"100%\" align=\"left\">\n<font style=\"font-size: 10pt;\">\n"
                                  "Last updated ";
        EXPECT_EQ(footer.substr(0, start.size()), start);
        EXPECT_TRUE(pagetest::has_shape(footer.substr(start.size(), 33), "Aaa, Aaa 99, 9999 99:99:99AM<br>\n"))
            << footer;
        EXPECT_NE(footer.find("Pyv2 version 2.11.00.021</font><br>\n"), std::string::npos);
        EXPECT_NE(footer.find(std::string("API version ") + ctl_get_api_version() + "</font><br>\n</font>\n"),
                  std::string::npos);
        EXPECT_NE(footer.find("<font style=\"font-size: 8pt;\">"), std::string::npos);
    }
}

TEST(PageFrame, RedirectPageHasNoLanguageLinesAndShowsNothing)
{
    PageEnv env("Language 1\n");
    PageBuilder page(&env.config(), &env.catalogue());
    EXPECT_EQ(page.write_redirect("/page0.html", "Done", 0), 0);
    EXPECT_EQ(page.get_content_type(), static_cast<unsigned>(kContentHtml));
    std::string html = body_of(page);
    std::string head = std::string("<html>\n<head>\n") + kNoCache + kStyleBlock + "<script>\n";
    EXPECT_EQ(html.substr(0, head.size()), head);
    std::string tail = "</script>\n</head>\n<body bgcolor=\"#FFFFFF\" onLoad=\"redirect_page()\">\n</body>\n</html>\n";
    EXPECT_EQ(html.substr(html.size() - tail.size()), tail);
}

TEST(PageFrame, PortChangePageAsksForTheListenerRebuild)
{
    PageEnv env;
    PageBuilder page(&env.config(), &env.catalogue());
    EXPECT_EQ(page.write_go_home("https://host:8443/"), kHandlerRebuildListener);
    EXPECT_EQ(page.get_content_type(), static_cast<unsigned>(kContentHtml));
    std::string html = body_of(page);
    EXPECT_EQ(html.substr(0, 14 + strlen(kNoCache)), std::string("<html>\n<head>\n") + kNoCache);
    EXPECT_NE(html.find(language_meta("en")), std::string::npos);
    EXPECT_NE(html.find("url = \"https://host:8443/\";"), std::string::npos);
    EXPECT_NE(html.find("<body bgcolor=\"#FFFFFF\" onLoad=\"go_home()\">\n"
                        "<font style=\"color: #E0A000;font-size: 12pt;font-family: sans-serif;"
                        "font-weight: bold;\">Please wait a moment while you are redirected to the new "
                        "port........</font>\n</body>\n</html>\n"),
              std::string::npos)
        << html;
    EXPECT_EQ(html.find("<style"), std::string::npos);
}

TEST(PageFrame, NoRemoteAccessPageCarriesTheDaemonText)
{
    PageEnv env("Refresh 5\n");
    PageBuilder page(&env.config(), &env.catalogue());
    page.set_access_level(kAccessNone);
    EXPECT_EQ(page.write_no_remote_access(2), 0);
    EXPECT_EQ(page.get_content_type(), static_cast<unsigned>(kContentHtml));
    std::string html = body_of(page);
    EXPECT_NE(html.find("<body bgcolor=\"#FFFFFF\" onLoad=\"init(1);\">\n"
                        "<font style=\"color: #E0A000;font-size: 12pt;font-family: sans-serif;"
                        "font-weight: bold;\">(0x0C:0x0016): Remote Access to Pyv2 has been disabled."),
              std::string::npos)
        << html;
    EXPECT_NE(html.find("var TimeOut = 0;"), std::string::npos);
    EXPECT_NE(html.find("change_title(\"&nbsp;&nbsp;No Remote Access\")"), std::string::npos);
    EXPECT_EQ(html.find("<style"), std::string::npos);
    EXPECT_EQ(html.find("Last updated"), std::string::npos);
    EXPECT_EQ(html.substr(html.size() - 16), "</body>\n</html>\n");
}

TEST(LoginPage, FormPostsRoleAndPassword)
{
    PageEnv env("Refresh 5\n");
    PageBuilder page(&env.config(), &env.catalogue());
    page.set_access_level(kAccessNone);
    EXPECT_EQ(page.write_login(1), 0);
    EXPECT_EQ(page.get_content_type(), static_cast<unsigned>(kContentHtml));
    std::string html = body_of(page);
    EXPECT_EQ(count_of(html, "<form method=\"post\" action=\"/login.html\">"), 1u);
    EXPECT_NE(html.find("<td colspan=\"2\" class=\"tabletitle12\">Please Login</td>"), std::string::npos);
    EXPECT_NE(html.find("<td width=\"125\" class=\"tabledata\"><b>&nbsp;&nbsp;Login</b></td>"
                        "<td width=\"300\" class=\"tabledata\"><select name=\"whopwd\">"
                        "<option name=\"pwuser\" value=\"u\">User</option>"
                        "<option name=\"pwadmin\" value=\"a\">Administrator</option></select>"),
              std::string::npos)
        << html;
    EXPECT_NE(html.find("<b>&nbsp;&nbsp;Password</b></td><td width=\"300\" class=\"tabledata\">"
                        "<font face=\"\"><input type=\"password\" name=\"thepwd\" size=\"32\"></font>"),
              std::string::npos);
    // The submit button stands beside an empty label cell.
    EXPECT_NE(html.find("<tr><td width=\"125\" class=\"tabledata\"></td><td width=\"300\" class=\"tabledata\">"
                        "<input type=\"submit\" value=\"Login\"></td></tr>"),
              std::string::npos)
        << html;
    // The user option comes first, so it is preselected.
    EXPECT_LT(html.find("value=\"u\""), html.find("value=\"a\""));
    // Never refreshes itself, and its footer has no refresh line.
    EXPECT_NE(html.find("var TimeOut = 0;"), std::string::npos);
    EXPECT_EQ(html.find("automatically refresh"), std::string::npos);
    EXPECT_NE(html.find("toggle_select_controller('hidden')"), std::string::npos);
    EXPECT_NE(html.find("Last updated"), std::string::npos);
}

}  // namespace
