// The frame set and the menu as the browser receives them.
#include "web/pages/frame_set.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "daemon/config_store.h"
#include "daemon/http_codes.h"
#include "daemon/snapshot_records.h"
#include "driver/message_catalogue.h"
#include "tests/web/page_test_support.h"
#include "web/pages/page_builder.h"

namespace {

class FrameSetTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        char dir[] = "/tmp/frame_set_test.XXXXXX";
        ASSERT_NE(mkdtemp(dir), nullptr);
        dir_ = dir;
        config_ = new ConfigStore((dir_ + "/pyv2.conf").c_str());
    }
    void TearDown() override
    {
        delete config_;
        std::system(("rm -rf '" + dir_ + "'").c_str());
    }

    std::string index(int level)
    {
        PageBuilder page(config_, &catalogue_);
        EXPECT_EQ(write_index(page, "host<1>", level), 0);
        EXPECT_EQ(page.get_content_type(), kContentHtml);
        return page.get_body();
    }

    std::string menu(const ControllerIdList* list, const ControllerRecord* records, int level)
    {
        PageBuilder page(config_, &catalogue_);
        EXPECT_EQ(write_menu(page, "host<1>", "Linux 6.1.0", list, records, level), 0);
        EXPECT_EQ(page.get_content_type(), kContentHtml);
        return page.get_body();
    }

    std::string dir_;
    MessageCatalogue catalogue_;
    ConfigStore* config_ = nullptr;
};

bool has(const std::string& text, const std::string& part)
{
    return text.find(part) != std::string::npos;
}

TEST_F(FrameSetTest, LoginStateAndLanguageOfTheFrameSet)
{
    struct Case {
        int level;
        const char* who;
    };
    const Case cases[] = {{kAccessNone, "var who = 1;"}, {kAccessUser, "var who = 2;"}, {kAccessAdmin, "var who = 3;"},
                          {7, "var who = 1;"}};
    for (const Case& c : cases) {
        std::string page = index(c.level);
        EXPECT_TRUE(has(page, c.who)) << c.level;
        EXPECT_TRUE(has(page, "var lastmessage = \"\"\nvar who")) << c.level;
        EXPECT_TRUE(has(page, "<title>Pyv2 - host&lt;1&gt; - Summary</title>"));
        EXPECT_TRUE(has(page, "<frameset frameborder=\"no\" rows=\"138,*\" onLoad=\"init()\">"));
    }
    ASSERT_EQ(config_->set_language(1), 0);
    std::string german = index(kAccessNone);
    EXPECT_TRUE(has(german, "var lang = 1;"));
    EXPECT_TRUE(has(german, "content=\"de\""));
}

TEST_F(FrameSetTest, MenuSelectorOptions)
{
    ControllerIdList list;
    clear_id_list(list);
    list.count = 3;
    ControllerRecord records[3];
    const char* models[] = {"QX-2400-4", "QX<b>&\"", "hidden"};
    const int indexes[] = {1, 2, 7};
    const int families[] = {3, 8, -1};
    for (int i = 0; i < 3; i++) {
        std::strcpy(records[i].model, models[i]);
        records[i].controller_index = static_cast<uint8_t>(indexes[i]);
        records[i].family = families[i];
    }
    std::string page = menu(&list, records, kAccessAdmin);
    EXPECT_TRUE(has(page, "<option value=\"0\">Controller ID 1 (QX-2400-4)</option>\n"
                          "<option value=\"1\">Controller ID 2 (QX&lt;b&gt;&amp;&quot;)</option>\n"
                          "<option value=\"2\">Controller ID 7 (NOT COMPATIBLE)</option>\n</select>"))
        << page;
    EXPECT_TRUE(has(page, "parent.who = 3;"));
    EXPECT_TRUE(has(page, "host&lt;1&gt; (Linux 6.1.0)"));

    list.count = static_cast<uint32_t>(-888);
    std::string none = menu(&list, nullptr, kAccessNone);
    EXPECT_TRUE(has(none, "<select id=\"selctlr\" name=\"selctlr\" onChange=\"change_controller()\">\n"
                          "<option value=\"0\">-- NO CONTROLLERS --</option>\n</select>"));
    EXPECT_TRUE(has(none, "parent.who = 1;"));
}

TEST_F(FrameSetTest, MenuItemsAndHelpPages)
{
    std::string page = menu(nullptr, nullptr, kAccessUser);
    // Every item once in the menu's markup, the sub-items in their drop-downs.
    const char* ids[] = {"itemCell0", "itemCell1", "itemCell2", "itemCell3", "itemCell4", "itemCell5",
                         "itemCellRefresh", "itemCell1_0", "itemCell1_1", "itemCell1_2", "itemCell2_0",
                         "itemCell2_1", "itemCell2_2", "itemCell3_0", "itemCell3_1", "itemCell3_2"};
    for (const char* id : ids) {
        std::string cell = std::string("<td id=\"") + id + "\"";
        size_t at = page.find(cell);
        EXPECT_NE(at, std::string::npos) << id;
        EXPECT_EQ(page.find(cell, at + 1), std::string::npos) << id;
    }
    size_t manage = page.find("<div id=\"manage\"");
    ASSERT_NE(manage, std::string::npos);
    EXPECT_GT(page.find("id=\"itemCell2_2\""), manage);
    EXPECT_LT(page.find("id=\"itemCell2_2\""), page.find("<div id=\"monitor\""));
    EXPECT_TRUE(has(page, "ShowMenu('info','itemCell1');"));
    EXPECT_TRUE(has(page, "if (page == 'page1_2') help = has_choice(url, 'p=') ? '/help/Drive_Details.html' : "
                          "'/help/Drive_Information.html';"));
    EXPECT_TRUE(has(page, "if (i == '2_2') url += '&AvailListSort=1';"));
    EXPECT_TRUE(has(page, "\"itemCellRefresh\": \"Refresh Content\""));
}

// The menu's controller selector loads the content page again for the
// controller chosen: the page's path with the new query, or the query alone
// (relative to the page) when the page's URL has none.
TEST_F(FrameSetTest, ChangeControllerKeepsThePageAndReplacesTheQuery)
{
    std::string page = menu(nullptr, nullptr, kAccessUser);
    const std::string start = "<script language=\"Javascript\">\n";
    size_t from = page.find(start);
    ASSERT_NE(from, std::string::npos);
    from += start.size();
    std::string script = page.substr(from, page.find("</script>", from) - from);
    struct Case {
        const char* href;
        const char* loaded;
    };
    const Case cases[] = {
        {"https://h:888/page1_2.html?c=0&d=3", "https://h:888/page1_2.html?c=2&u=-2"},
        {"https://h:888/page2_2.html?AvailListSort=3&c=0", "https://h:888/page2_2.html?c=2&u=-2"},
        {"https://h:888/page3_1.html&InitBBU=1", "?c=2&u=-2"},
    };
    for (const Case& c : cases) {
        std::string run = "const assert = require('assert');\nvar document = {};\n"
                          "var navigator = {};\n"
                          "var sel = { options: [{ value: 0 }, { value: 1 }, { value: 2 }], selectedIndex: 2 };\n"
                          "var parent = { content: { location: { href: '" +
                          std::string(c.href) + "' } } };\n" + script +
                          "\ngetElement = function (id) { return sel; };\nchange_controller();\n"
                          "assert.strictEqual(parent.cur_controller, 2);\n"
                          "assert.strictEqual(parent.content.location.href, '" +
                          c.loaded + "');\n";
        std::string path = dir_ + "/change.js";
        ASSERT_TRUE(pagetest::write_file(path, run));
        std::string output;
        EXPECT_EQ(pagetest::run_node("", path, &output), 0) << c.href << "\n" << output;
    }
}

}  // namespace
