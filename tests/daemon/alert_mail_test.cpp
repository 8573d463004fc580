// The alert mails of events: the severity filter and the body by table, and
// the mailer that sends them from its own thread, so that a server that
// takes the connection and never answers holds nothing else up.
#include "daemon/alert_mail.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <memory>
#include <string>

#include "daemon/config_store.h"
#include "daemon/string_builder.h"
#include "tests/support/files.h"
#include "tests/support/loopback.h"

namespace {

EventRecord event_of(uint8_t severity, const char* message) {
    EventRecord e;
    std::memset(&e, 0, sizeof e);
    e.severity = severity;
    std::strncpy(e.description, message, sizeof e.description - 1);
    e.description_length = static_cast<uint8_t>(std::strlen(e.description));
    return e;
}

TEST(AlertMailBody, FilterAndBodyByTable) {
    const char* kTime = "Nov 14, 2023 10:13:20PM";
    struct Case {
        uint8_t severity;
        int email_severity;
        int result;
        const char* body;
    };
    const Case cases[] = {
        {1, 1, 0, "Nov 14, 2023 10:13:20PM - Controller 2\r\nERROR - Drive removed"},
        {2, 1, 1, nullptr},
        {2, 2, 0, "Nov 14, 2023 10:13:20PM - Controller 2\r\nWARNING - Drive removed"},
        {3, 1, 1, nullptr},
        {3, 2, 1, nullptr},
        {3, 3, 0, "Nov 14, 2023 10:13:20PM - Controller 2\r\nINFORMATION - Drive removed"},
        {3, 0, 0, "Nov 14, 2023 10:13:20PM - Controller 2\r\nINFORMATION - Drive removed"},
        {3, 7, 0, "Nov 14, 2023 10:13:20PM - Controller 2\r\nINFORMATION - Drive removed"},
        {0, 1, 0, "Nov 14, 2023 10:13:20PM - Controller 2\r\nUNKNOWN - Drive removed"},
        {9, 2, 0, "Nov 14, 2023 10:13:20PM - Controller 2\r\nUNKNOWN - Drive removed"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.severity) + " under " + std::to_string(c.email_severity));
        StringBuilder body;
        EXPECT_EQ(
            aen_mail_body(c.email_severity, kTime, 2, event_of(c.severity, "Drive removed"), body),
            c.result);
        if (c.body != nullptr) {
            EXPECT_STREQ(body.c_str(), c.body);
        }
    }
    // A line break of the message never starts a line of its own.
    StringBuilder body;
    aen_mail_body(3, kTime, 0, event_of(1, "one\r\n.\r\ntwo"), body);
    EXPECT_STREQ(body.c_str(), "Nov 14, 2023 10:13:20PM - Controller 0\r\nERROR - one  .  two");
}

TEST(AlertMailer, ASilentServerHoldsUpNeitherPostNorStop) {
    // A server that takes connections (the kernel's backlog) and never says
    // a word.
    test_support::LoopbackSocket server(true);
    ASSERT_GT(server.port, 0);
    test_support::TempDir dir;
    // Over TLS the handshake alone may wait ten seconds.
    test_support::write_file(dir.file("pyv2.conf"),
                             "EmailServer 127.0.0.1\nEmailServerSSLPort " +
                                 std::to_string(server.port) +
                                 "\nEmailServerPortFlag 1\nEmailRecipient a@example.org\n");
    ConfigStore config(dir.file("pyv2.conf").c_str());
    config.read_file();

    auto start = std::chrono::steady_clock::now();
    auto elapsed_ms = [&] {
        return std::chrono::duration_cast<std::chrono::milliseconds>(
                   std::chrono::steady_clock::now() - start)
            .count();
    };
    auto mailer = std::make_unique<AlertMailer>(&config);
    ASSERT_EQ(mailer->start(), 0);
    for (int i = 0; i < 10; i++) EXPECT_EQ(mailer->post("body"), 0);
    EXPECT_LT(elapsed_ms(), 500);
    // The queue has its room; what does not fit is refused at once.
    int refused = 0;
    for (int i = 0; i < AlertMailer::kQueueRoom + 10; i++) refused += mailer->post("body");
    EXPECT_GE(refused, 10);
    EXPECT_LT(elapsed_ms(), 1000);

    // The first mail is under way: the server has its connection.
    for (int i = 0; i < 50 && !server.has_pending_connection(); i++) usleep(100000);
    ASSERT_TRUE(server.has_pending_connection());
    start = std::chrono::steady_clock::now();
    mailer->stop();
    EXPECT_LT(elapsed_ms(), 1000);
    EXPECT_EQ(mailer->post("body"), 1);
    mailer.reset();
}

}  // namespace
