// The throttle of failed logins per peer address, at the test's clock.
#include "daemon/login_throttle.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace {

// Five failures in a row are free; each further one makes the address wait
// 1 s, doubling up to 5 minutes, counted from that failure.
TEST(LoginThrottle, WaitsDoubleAfterFiveFailures)
{
    auto throttle = std::make_unique<LoginThrottle>();
    const long long expected_waits[] = {0, 0, 0, 0, 0, 1000, 2000, 4000, 8000, 16000, 32000, 64000, 128000, 256000,
                                        300000, 300000};
    long long now = 1000000;
    for (long long wait : expected_waits) {
        SCOPED_TRACE(throttle->failures("10.0.0.1"));
        ASSERT_TRUE(throttle->may_check("10.0.0.1", now));
        throttle->failed("10.0.0.1", now);
        EXPECT_EQ(throttle->wait_until("10.0.0.1"), wait == 0 ? 0 : now + wait);
        if (wait != 0) {
            EXPECT_FALSE(throttle->may_check("10.0.0.1", now + wait - 1));
            EXPECT_TRUE(throttle->may_check("10.0.0.2", now));
        }
        now += wait;
    }
}

TEST(LoginThrottle, SuccessClearsTheCount)
{
    auto throttle = std::make_unique<LoginThrottle>();
    for (int i = 0; i < 6; i++)
        throttle->failed("10.0.0.1", 0);
    throttle->failed("10.0.0.2", 0);
    EXPECT_FALSE(throttle->may_check("10.0.0.1", 999));
    throttle->succeeded("10.0.0.1");
    EXPECT_EQ(throttle->failures("10.0.0.1"), 0);
    EXPECT_TRUE(throttle->may_check("10.0.0.1", 999));
    EXPECT_EQ(throttle->failures("10.0.0.2"), 1);
    for (int i = 0; i < LoginThrottle::kFreeFailures; i++)
        throttle->failed("10.0.0.1", 1000);
    EXPECT_TRUE(throttle->may_check("10.0.0.1", 1000));
    EXPECT_EQ(throttle->count(), 2);
}

// Many addresses never grow the table: a newcomer takes the place of the
// address that failed longest ago and does not wait; addresses that wait
// are forgotten last.
TEST(LoginThrottle, TableOfAddressesIsBounded)
{
    auto throttle = std::make_unique<LoginThrottle>();
    for (int i = 0; i < 6; i++)
        throttle->failed("192.0.2.1", 0);  // waits until 1000
    for (int n = 0; n < 3 * LoginThrottle::kAddresses; n++) {
        std::string peer = "10.0." + std::to_string(n / 256) + "." + std::to_string(n % 256);
        throttle->failed(peer.c_str(), 10 + n / 1000);
    }
    EXPECT_EQ(throttle->count(), LoginThrottle::kAddresses);
    EXPECT_EQ(throttle->failures("192.0.2.1"), 6);
    EXPECT_FALSE(throttle->may_check("192.0.2.1", 500));
    EXPECT_EQ(throttle->failures("10.0.0.0"), 0);  // forgotten
    EXPECT_EQ(throttle->failures("10.0.11.255"), 1);  // the last one
}

}  // namespace
