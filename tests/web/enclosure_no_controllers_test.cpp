// The enclosure pages on a machine without controllers: both answer the
// Summary page in its "NO CONTROLLERS" form, an action included (nothing is
// sent).
#include <gtest/gtest.h>

#include <string>

#include "tests/api/library_machine.h"
#include "tests/daemon/context_fixture.h"
#include "web/actions/enclosure_handlers.h"
#include "web/actions/handler_frame.h"

namespace {

PYV2_LIBRARY_MACHINE("kernel release=6.1.0-sim\n");

using EnclosureNoControllersTest = ContextFixture;

TEST_F(EnclosureNoControllersTest, BothPagesSaySo) {
    struct Case {
        PageHandler handler;
        const char* url;
    };
    for (const Case& c : {Case{handle_page3_2, "/page3_2.html?c=0"},
                          Case{handle_page3_3, "/page3_3.html?SetPowerState=0&ps=0&e=0&c=0"}}) {
        PageBuilder page(config_.get(), &catalogue_);
        page.set_access_level(kAccessAdmin);
        EXPECT_EQ(
            c.handler(context_.get(), &page, PageRequest{c.url, "", "", "", nullptr, kAccessAdmin}),
            0);
        const std::string body = page.get_body();
        EXPECT_NE(body.find("NO CONTROLLERS</font>"), std::string::npos) << c.url;
        EXPECT_NE(body.find("Tavix Pyv2 - Summary"), std::string::npos) << c.url;
    }
}

}  // namespace
