// What a port change builds on: the host the browser is sent to, taken from
// the request's Host header only when it is a plain host name or address,
// and the check that the daemon can listen on the new port.
#include "web/actions/daemon_settings_handler.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>
#include <string>

namespace {

TEST(PortChangeHost, OnlyAPlainHostOfTheHeaderIsTaken) {
    struct Case {
        const char* header;
        const char* host;  // null: refused
    } const cases[] = {
        {"127.0.0.1:888", "127.0.0.1"},
        {"raid-box.example.org", "raid-box.example.org"},
        {"raid-box:8443", "raid-box"},
        {"[::1]:888", "[::1]"},
        {"[fe80::1%eth0]:888", nullptr},
        {"[::1", nullptr},
        {"[]:888", nullptr},
        {"", nullptr},
        {":888", nullptr},
        {"<unknown>", nullptr},
        {"evil\";alert(1)//:888", nullptr},
        {"host name", nullptr},
        {"host/path", nullptr},
        {"h\xC3\xA4st", nullptr},
        {nullptr, nullptr},
    };
    for (const Case& c : cases) {
        char out[64] = "unchanged";
        const bool taken = host_of_header(c.header, out, sizeof out);
        EXPECT_EQ(taken, c.host != nullptr) << (c.header != nullptr ? c.header : "(none)");
        EXPECT_STREQ(out, c.host != nullptr ? c.host : "")
            << (c.header != nullptr ? c.header : "(none)");
    }
    // At most 63 characters.
    const std::string longest(63, 'a');
    char out[64];
    EXPECT_TRUE(host_of_header(longest.c_str(), out, sizeof out));
    EXPECT_FALSE(host_of_header((longest + "a").c_str(), out, sizeof out));
    EXPECT_FALSE(host_of_header((longest + ":1").c_str(), out, sizeof out));
}

TEST(PortChangeProbe, APortInUseCannotBeListenedOn) {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    ASSERT_GE(fd, 0);
    sockaddr_in a;
    std::memset(&a, 0, sizeof a);
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_ANY);
    socklen_t length = sizeof a;
    ASSERT_EQ(bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
    ASSERT_EQ(listen(fd, 1), 0);
    ASSERT_EQ(getsockname(fd, reinterpret_cast<sockaddr*>(&a), &length), 0);
    const int port = ntohs(a.sin_port);
    EXPECT_FALSE(port_can_listen(port));
    close(fd);
    // Free again, and not kept by the probe.
    EXPECT_TRUE(port_can_listen(port));
    EXPECT_TRUE(port_can_listen(port));
    EXPECT_FALSE(port_can_listen(0));
    EXPECT_FALSE(port_can_listen(65536));
}

}  // namespace
