// The daemon context's command log: "kq_mgmt.log" in the command-log
// directory, enabled as the configuration said when the context was made.
#include <gtest/gtest.h>

#include <string>

#include "api/command_logger.h"
#include "tests/daemon/context_fixture.h"

namespace {

using DaemonContextTest = ContextFixture;

TEST_F(DaemonContextTest, CommandLogFollowsTheConfigurationAtStart) {
    for (int flag : {0, 1}) {
        SCOPED_TRACE(flag);
        ASSERT_EQ(config_->set_command_log(flag), 0);
        DaemonContext context(config_.get(), &catalogue_);
        ASSERT_NE(context.command_logger(), nullptr);
        EXPECT_EQ(context.command_logger()->is_enabled(), flag);
        EXPECT_EQ(std::string(context.command_logger()->log_path()),
                  std::string(config_->get_command_log_dir()) + "/kq_mgmt.log");
        // A later change of the setting does not reach a logger made earlier.
        ASSERT_EQ(config_->set_command_log(1 - flag), 0);
        EXPECT_EQ(context.command_logger()->is_enabled(), flag);
    }
}

}  // namespace
