// A machine without controllers: the handler frame finds none, and every
// page answers in its "NO CONTROLLERS" form.
#include <gtest/gtest.h>

#include <string>

#include "tests/api/library_machine.h"
#include "tests/daemon/context_fixture.h"
#include "web/actions/battery_handler.h"
#include "web/actions/enclosure_handlers.h"
#include "web/actions/handler_frame.h"
#include "web/actions/info_handlers.h"
#include "web/actions/schedule_handler.h"
#include "web/actions/smart_handlers.h"

namespace {

PYV2_LIBRARY_MACHINE("kernel release=6.1.0-sim\n");

using NoControllersTest = ContextFixture;

TEST_F(NoControllersTest, TheSelectionHoldsNone) {
    ControllerSelection controllers;
    EXPECT_TRUE(controllers.none());
    EXPECT_EQ(controllers.count(), 0);
    EXPECT_EQ(list_count(*controllers.list()), kNoneFound);
    EXPECT_EQ(controllers.select(2), 0);
    EXPECT_EQ(controllers.controller_index(), 0xFF);
    EXPECT_EQ(controllers.id().b[0], 0xFF);
    EXPECT_EQ(controllers.fill(context_.get()), nullptr);
}

// Every information page, the scheduling, battery and enclosure pages and
// the SMART pop-up answer in the "NO CONTROLLERS" form, their actions
// included (nothing is sent), and so does the menu's selector; the SMART
// download is not found.
TEST_F(NoControllersTest, EveryPageSaysSo) {
    struct Case {
        PageHandler handler;
        const char* url;
    };
    const Case cases[] = {
        {handle_page0, "/page0.html?c=0"},
        {handle_page1_0, "/page1_0.html?c=2"},
        {handle_page1_1, "/page1_1.html?c=0&u=-2"},
        {handle_page1_1, "/page1_1.html?BlinkUnit=0&On=1&c=0"},
        {handle_page1_2, "/page1_2.html?BlinkDrive=0&On=1&c=0"},
        {handle_page1_0_1, "/page1_0_1.html?SetPhyLinkspeed=1&y=0&c=0"},
        {handle_page3_2, "/page3_2.html?c=0"},
        {handle_page3_3, "/page3_3.html?SetPowerState=0&ps=0&e=0&c=0"},
        {handle_page2_1, "/page2_1.html?WhichSched=2&c=0"},
        {handle_page2_1, "/page2_1.html?RebuildSchedAddDay=1&Hour=2&Duration=3&c=0"},
        {handle_page3_1, "/page3_1.html&TestBBU=1?c=0"},
        {handle_smart, "/smart.html?c=0&p=0"},
    };
    for (const Case& c : cases) {
        PageBuilder page(config_.get(), &catalogue_);
        page.set_access_level(kAccessAdmin);
        EXPECT_EQ(
            c.handler(context_.get(), &page, PageRequest{c.url, "", "", "", nullptr, kAccessAdmin}),
            0);
        const std::string body = page.get_body();
        EXPECT_NE(body.find("NO CONTROLLERS</font>"), std::string::npos) << c.url;
        EXPECT_EQ(body.find("redirect_page"), std::string::npos) << c.url;
    }
    PageBuilder download(config_.get(), &catalogue_);
    EXPECT_EQ(
        handle_smart_dat(context_.get(), &download,
                         PageRequest{"/smart.dat?c=0&p=0", "", "", "", nullptr, kAccessAdmin}),
        kHandlerNotFound);
    EXPECT_EQ(download.get_body_length(), 0u);
    PageBuilder menu(config_.get(), &catalogue_);
    EXPECT_EQ(context_->dispatch(&menu, "/menu.html", "", "127.0.0.1", "", "", nullptr), 0);
    EXPECT_NE(
        std::string(menu.get_body()).find("<option value=\"0\">-- NO CONTROLLERS --</option>"),
        std::string::npos);
}

}  // namespace
