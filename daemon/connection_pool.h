// The web server's open connections, driven side by side by the accept loop:
// their handshakes, request reading and answer writing go on together, while
// the requests themselves are served one at a time, in the order they were
// read to their end. The pool holds kRoom connections; a newcomer to a full
// pool makes room by closing a stalled connection of the most crowded peer
// address, or of its own address when that holds its share (kPerPeer).
#pragma once

#include <poll.h>

#include "daemon/body_allowance.h"
#include "daemon/https_connection.h"

class ConfigStore;
class DaemonContext;
class TlsContext;

class ConnectionPool {
public:
    static constexpr int kRoom = 64;
    static constexpr int kPerPeer = 16;
    static constexpr long long kBodyAllowance = 64LL << 20;  // bytes of large request bodies in all

    ConnectionPool(DaemonContext* context, ConfigStore* config, long long body_allowance = kBodyAllowance);
    ~ConnectionPool();  // closes what is still open
    ConnectionPool(const ConnectionPool&) = delete;
    ConnectionPool& operator=(const ConnectionPool&) = delete;

    // Takes an accepted connection. Room is made only when the pool is full:
    // another connection of the newcomer's peer address is closed when that
    // address holds kPerPeer connections or more, else one of the address
    // that holds the most connections that may be closed. Within that
    // address the connection that has gone longest without progress (a byte
    // read or written, a handshake step) goes; one that made progress more
    // recently never goes in favour of a stalled one. Before it is closed,
    // what has arrived for it is read, so none is taken for stalled unread;
    // when that was progress, the choice is made again. A connection whose
    // request waits to be served, or has arrived whole, is never closed;
    // when nothing can make room, the newcomer is closed.
    void add(int fd, const char* peer, long long now_ms, TlsContext* tls);

    int count() const { return count_; }
    int count_of(const char* peer) const;
    const BodyAllowance& allowance() const { return allowance_; }
    // The i-th connection held, in accepting order; null past the last.
    const HttpsConnection* at(int i) const { return i >= 0 && i < count_ ? entries_[i].connection : nullptr; }

    // Fills fds[0 .. count()) with what each connection waits for (fd -1
    // when nothing) and returns count().
    int fill_poll(pollfd* fds) const;
    // After poll over fill_poll's fds (same order; null when poll was not
    // called): lets every connection with events go on, then applies the
    // limits that have run out.
    void after_poll(const pollfd* fds, long long now_ms);
    // Milliseconds until the earliest limit (0 when one has run out or a
    // request is ready to be served), or -1 when there is none.
    int next_wait(long long now_ms) const;

    // Serves the ready connection whose request was read first (see
    // HttpsConnection::serve). Returns its result, or -1 when none is ready.
    int serve_next(long long now_ms);
    // Deletes the closed connections.
    void sweep();

    // A served request asked for the listener to be rebuilt (result 100):
    // true while its connection is still open (its answer not yet written).
    bool rebuild_waiting() const;
    // True once, when the connection that asked for the rebuild has closed.
    bool take_rebuild_due();

private:
    struct Entry {
        HttpsConnection* connection;
        long long ready_order;  // when it became ready; 0 while not
        bool asked_rebuild;
    };
    int pick_room(const char* peer) const;
    const char* crowded_peer() const;
    bool make_room(const char* scope, long long now_ms);
    void note_ready(Entry& e);
    void remove(int i);

    DaemonContext* context_;
    ConfigStore* config_;
    BodyAllowance allowance_;
    Entry entries_[kRoom];
    int count_;
    long long next_order_;
    bool rebuild_due_;
};
