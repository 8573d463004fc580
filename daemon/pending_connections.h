// Accepted connections that have not sent anything yet. The accept loop
// keeps them here and serves, one at a time, the first that has data, so a
// client that opens a connection and stays silent (a browser's spare
// connection) does not hold up the others. A connection silent for 10
// seconds is closed without an answer.
#pragma once

#include <poll.h>

class PendingConnections {
public:
    static constexpr int kRoom = 64;
    static constexpr int kSilenceLimit = 10000;  // milliseconds

    PendingConnections();
    ~PendingConnections();  // closes what is still waiting
    PendingConnections(const PendingConnections&) = delete;
    PendingConnections& operator=(const PendingConnections&) = delete;

    // Keeps an accepted connection; when the room is full the silent one
    // that has waited longest is closed to make room (the oldest of all when
    // every one has a request waiting).
    void add(int fd, const char* peer, long long now_ms);
    // Closes the connections that have waited kSilenceLimit or longer
    // without sending anything. One whose request arrived while another
    // connection was served stays, to be served next.
    void close_silent(long long now_ms);
    // Milliseconds until the next connection reaches the limit (0 when one
    // has reached it), or -1 when none waits.
    int next_limit(long long now_ms) const;

    int count() const { return count_; }
    // Fills fds[0 .. count) with the waiting descriptors, oldest first.
    void fill_poll(pollfd* fds) const;
    // Takes the connection at position i out (its descriptor), copying its
    // peer text (16 bytes) to peer.
    int take(int i, char* peer);

private:
    struct Entry {
        int fd;
        long long since;
        char peer[16];
    };
    void remove(int i);

    Entry entries_[kRoom];
    int count_;
};
