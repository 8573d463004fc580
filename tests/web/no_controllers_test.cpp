// A machine without controllers: the handler frame finds none, and every
// page answers in its "NO CONTROLLERS" form.
#include <gtest/gtest.h>

#include "tests/api/library_machine.h"
#include "tests/daemon/context_fixture.h"
#include "web/actions/handler_frame.h"

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

}  // namespace
