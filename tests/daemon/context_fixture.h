// A daemon context on a configuration file in a private temporary directory,
// for tests of what handlers do with it.
#pragma once

#include <gtest/gtest.h>

#include <memory>

#include "daemon/config_store.h"
#include "daemon/daemon_context.h"
#include "driver/message_catalogue.h"
#include "tests/support/files.h"

class ContextFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_FALSE(dir_.path().empty());
        config_ = std::make_unique<ConfigStore>(dir_.file("pyv2.conf").c_str());
        context_ = std::make_unique<DaemonContext>(config_.get(), &catalogue_);
    }
    void TearDown() override
    {
        context_.reset();
        config_.reset();
    }

    test_support::TempDir dir_;
    MessageCatalogue catalogue_;
    std::unique_ptr<ConfigStore> config_;
    std::unique_ptr<DaemonContext> context_;
};
