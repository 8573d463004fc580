// A loopback TCP socket on a port of the kernel's choosing, for tests that
// play a server: listening (connections wait in the kernel's backlog until
// accepted, or for ever) or only bound.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>

namespace test_support {

struct LoopbackSocket {
    int fd = -1;
    int port = 0;
    explicit LoopbackSocket(bool listening) {
        fd = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a;
        std::memset(&a, 0, sizeof a);
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof a;
        if (bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 &&
            (!listening || listen(fd, 64) == 0) &&
            getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len) == 0)
            port = ntohs(a.sin_port);
    }
    ~LoopbackSocket() { close(fd); }
    bool has_pending_connection() const {
        pollfd p = {fd, POLLIN, 0};
        return poll(&p, 1, 0) == 1;
    }
};

}  // namespace test_support
