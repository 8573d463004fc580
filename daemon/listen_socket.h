// The web server's listening TCP socket on every local IPv4 address.
#pragma once

class ListenSocket {
public:
    ListenSocket();
    ~ListenSocket();  // closes the descriptor when open
    ListenSocket(const ListenSocket&) = delete;
    ListenSocket& operator=(const ListenSocket&) = delete;

    // Opens the socket on port: 0 listening, 1 socket not created, 2 bind
    // failed (the descriptor stays open), 3 listen failed, 101 already open.
    int open(int port);

    // Accepts one connection: its descriptor, with the peer's IPv4 address as
    // "%d.%d.%d.%d" in peer (16 bytes), or -1 (peer untouched) when the
    // socket is not open or nothing could be accepted. The listening socket
    // does not block, so a connection that went away before it was accepted
    // gives -1 rather than a wait.
    int accept_connection(char* peer);

    int descriptor() const { return fd_; }
    int port() const { return port_; }

private:
    int port_;
    int fd_;
};
