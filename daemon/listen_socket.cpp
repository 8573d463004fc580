#include "daemon/listen_socket.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>

ListenSocket::ListenSocket() : port_(-1), fd_(-1) {}

ListenSocket::~ListenSocket()
{
    if (fd_ != -1)
        ::close(fd_);
}

int ListenSocket::open(int port)
{
    port_ = port;
    if (fd_ != -1)
        return 101;
    fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd_ == -1)
        return 1;
    int one = 1;
    (void)::setsockopt(fd_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    // A port outside 1..65535 would be cut by htons; it cannot be bound.
    if (port < 1 || port > 65535)
        return 2;
    sockaddr_in addr;
    std::memset(&addr, 0, sizeof addr);
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_ANY);
    addr.sin_port = htons(static_cast<uint16_t>(port));
    if (::bind(fd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0)
        return 2;
    if (::listen(fd_, 128) != 0)
        return 3;
    return 0;
}

int ListenSocket::accept_connection(char* peer)
{
    if (fd_ == -1)
        return -1;
    sockaddr_in addr;
    socklen_t length = sizeof addr;
    int fd = ::accept4(fd_, reinterpret_cast<sockaddr*>(&addr), &length, SOCK_CLOEXEC);
    if (fd == -1)
        return -1;
    const unsigned char* a = reinterpret_cast<const unsigned char*>(&addr.sin_addr.s_addr);
    std::snprintf(peer, 16, "%d.%d.%d.%d", a[0], a[1], a[2], a[3]);
    return fd;
}
