// The listening socket on real ports.
#include "daemon/listen_socket.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>

namespace {

// A port that was free a moment ago.
int free_port()
{
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
    socklen_t n = sizeof a;
    getsockname(fd, reinterpret_cast<sockaddr*>(&a), &n);
    close(fd);
    return ntohs(a.sin_port);
}

int connect_from(const char* local, int port)
{
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in from{};
    from.sin_family = AF_INET;
    inet_pton(AF_INET, local, &from.sin_addr);
    EXPECT_EQ(bind(fd, reinterpret_cast<sockaddr*>(&from), sizeof from), 0);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(static_cast<uint16_t>(port));
    inet_pton(AF_INET, "127.0.0.1", &to.sin_addr);
    EXPECT_EQ(connect(fd, reinterpret_cast<sockaddr*>(&to), sizeof to), 0);
    return fd;
}

TEST(ListenSocket, AcceptsWithThePeersAddressText)
{
    ListenSocket listener;
    char peer[16] = "untouched";
    EXPECT_EQ(listener.accept_connection(peer), -1);
    EXPECT_STREQ(peer, "untouched");

    int port = free_port();
    ASSERT_EQ(listener.open(port), 0);
    EXPECT_EQ(listener.open(port), 101);
    // Nothing waiting: the socket does not block.
    EXPECT_EQ(listener.accept_connection(peer), -1);

    int client = connect_from("127.0.0.23", port);
    pollfd p = {listener.descriptor(), POLLIN, 0};
    ASSERT_EQ(poll(&p, 1, 5000), 1);
    int fd = listener.accept_connection(peer);
    ASSERT_GE(fd, 0);
    EXPECT_STREQ(peer, "127.0.0.23");
    close(fd);
    close(client);
}

TEST(ListenSocket, PortsThatCannotBeBound)
{
    ListenSocket first;
    int port = free_port();
    ASSERT_EQ(first.open(port), 0);
    const int refused[] = {port, 0, -1, 65536};
    for (int p : refused) {
        ListenSocket other;
        EXPECT_EQ(other.open(p), 2) << p;
    }
}

}  // namespace
