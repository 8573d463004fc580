// A controller whose family cannot be read (its firmware refuses the
// identity read at start), listed after one whose reads failed: its row
// says that it could not be read, never what the other's failure left in
// the library's last-error record.
#include <gtest/gtest.h>

#include <string>

#include "daemon/dispatcher.h"
#include "daemon/http_codes.h"
#include "tests/api/library_machine.h"
#include "tests/daemon/context_fixture.h"
#include "web/actions/info_handlers.h"
#include "web/pages/page_builder.h"

namespace {

PYV2_LIBRARY_MACHINE(
    "clock mode=virtual\n"
    "driver name=dq-Mxxx pairing=sysfs\n"
    "controller index=1 driver=dq-Mxxx arch=6 ports=4 model=\"QX-FIRST\"\n"
    "controller index=2 driver=dq-Mxxx arch=6 ports=4\n"
    "fault index=2 opcode=0x52 table=0x402 parameter=14 firmware-code=0x010C count=-1\n");

constexpr char kNotRead[] = "Controller could not be read";

class ControllerNotReadTest : public ContextFixture {
  protected:
    void SetUp() override {
        ContextFixture::SetUp();
        // Every read of the first controller's settings fails from now on.
        change_machine("fault index=1 opcode=0x52 table=0x403 firmware-code=0x0109 count=-1\n");
    }
    void TearDown() override {
        change_machine("clear-faults\n");
        ContextFixture::TearDown();
    }

    std::string summary() {
        PageBuilder page(config_.get(), &catalogue_);
        page.set_access_level(kAccessUser);
        EXPECT_EQ(handle_page0(context_.get(), &page,
                               PageRequest{"/page0.html", "", "", "", nullptr, kAccessUser}),
                  0);
        return page.get_body();
    }
};

TEST_F(ControllerNotReadTest, ItsRowSaysSoAndNotAnotherControllersFailure) {
    ControllerIdList list;
    ASSERT_EQ(list_controllers(&list), 0);
    ASSERT_EQ(list.count, 2u);
    ControllerRecord records[2];
    EXPECT_EQ(context_->fill_controller(0, list.ids[0], &records[0]), 0);
    // The first controller's failed reads left their reason behind.
    ASSERT_NE(std::string(last_error().text).find("LBA out of range"), std::string::npos)
        << last_error().text;
    EXPECT_EQ(context_->fill_controller(1, list.ids[1], &records[1]), 1);
    EXPECT_EQ(records[1].family, -1);
    EXPECT_EQ(records[1].controller_index, 2);
    EXPECT_STREQ(records[1].error_text, kNotRead);

    // The summary page as the user sees it.
    const std::string page = summary();
    const size_t row = page.find("<b>2</b></td>");
    ASSERT_NE(row, std::string::npos) << page;
    const std::string rest = page.substr(row, page.find("</tr>", row) - row);
    EXPECT_NE(rest.find(kNotRead), std::string::npos) << rest;
    EXPECT_EQ(page.find("LBA out of range"), std::string::npos);
    EXPECT_NE(page.find("QX-FIRST"), std::string::npos);
}

}  // namespace
