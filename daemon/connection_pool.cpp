#include "daemon/connection_pool.h"

#include <unistd.h>

#include <cstring>
#include <new>

#include "daemon/http_codes.h"

ConnectionPool::ConnectionPool(DaemonContext* context, ConfigStore* config, long long body_allowance)
    : context_(context), config_(config), allowance_(body_allowance), entries_{}, count_(0), next_order_(1),
      rebuild_due_(false)
{
}

ConnectionPool::~ConnectionPool()
{
    for (int i = 0; i < count_; i++)
        delete entries_[i].connection;
}

int ConnectionPool::count_of(const char* peer) const
{
    int n = 0;
    for (int i = 0; i < count_; i++)
        if (std::strcmp(entries_[i].connection->peer(), peer) == 0)
            n++;
    return n;
}

namespace {

// Whether a connection may be closed to make room: any but one whose request
// has arrived whole and waits to be served.
bool closable(const HttpsConnection* c)
{
    return c->state() != HttpsConnection::kReady;
}

}  // namespace

// The connection of peer to close for a newcomer, or -1 when none may go:
// one that has closed already, else the one that has gone longest without
// progress (of two alike, the one accepted first).
int ConnectionPool::pick_room(const char* peer) const
{
    int best = -1;
    for (int i = 0; i < count_; i++) {
        const HttpsConnection* c = entries_[i].connection;
        if (std::strcmp(c->peer(), peer) != 0 || !closable(c))
            continue;
        if (c->state() == HttpsConnection::kClosed)
            return i;
        // Entries are in accepting order: the first of a time is the oldest.
        if (best < 0 || c->progress_at() < entries_[best].connection->progress_at())
            best = i;
    }
    return best;
}

// The peer address holding the most connections that may be closed (of
// two alike, the one whose connection came first), or null when none may.
const char* ConnectionPool::crowded_peer() const
{
    const char* crowded = nullptr;
    int most = 0;
    for (int i = 0; i < count_; i++) {
        if (!closable(entries_[i].connection))
            continue;
        const char* peer = entries_[i].connection->peer();
        int n = 0;
        for (int k = 0; k < count_; k++)
            if (closable(entries_[k].connection) && std::strcmp(entries_[k].connection->peer(), peer) == 0)
                n++;
        if (n > most) {
            most = n;
            crowded = peer;
        }
    }
    return crowded;
}

// Closes one connection of scope (a peer, or null for the most crowded
// peer) to make room; false when none may go. The connection chosen first
// takes what has arrived for it since it was last polled, so none is taken
// for stalled unread: one that made progress, or whose request came whole,
// stays, and the choice is made again.
bool ConnectionPool::make_room(const char* scope, long long now_ms)
{
    bool probed[kRoom] = {};
    for (;;) {
        const char* peer = scope != nullptr ? scope : crowded_peer();
        if (peer == nullptr)
            return false;
        int victim = pick_room(peer);
        if (victim < 0)
            return false;
        Entry& e = entries_[victim];
        HttpsConnection* c = e.connection;
        if (!probed[victim] && c->state() != HttpsConnection::kClosed) {
            probed[victim] = true;
            unsigned long long before = c->bytes_moved();
            c->on_ready(now_ms);
            note_ready(e);
            if (c->state() == HttpsConnection::kReady || c->bytes_moved() != before)
                continue;
        }
        remove(victim);
        return true;
    }
}

void ConnectionPool::add(int fd, const char* peer, long long now_ms, TlsContext* tls)
{
    char text[16] = {};
    std::strncpy(text, peer == nullptr ? "" : peer, sizeof text - 1);
    sweep();  // what has closed holds no room
    // Room is made only when the pool is full: by the newcomer's own address
    // when it holds its share or more, else by the address that holds the
    // most.
    if (count_ >= kRoom && !make_room(count_of(text) >= kPerPeer ? text : nullptr, now_ms)) {
        ::close(fd);
        return;
    }
    HttpsConnection* c = new (std::nothrow) HttpsConnection(fd, text, now_ms, context_, config_, tls, &allowance_);
    if (c == nullptr) {
        ::close(fd);
        return;
    }
    entries_[count_++] = {c, 0, false};
}

int ConnectionPool::fill_poll(pollfd* fds) const
{
    for (int i = 0; i < count_; i++) {
        const HttpsConnection* c = entries_[i].connection;
        short events = c->poll_events();
        fds[i].fd = events != 0 ? c->descriptor() : -1;
        fds[i].events = events;
        fds[i].revents = 0;
    }
    return count_;
}

void ConnectionPool::note_ready(Entry& e)
{
    if (e.ready_order == 0 && e.connection->state() == HttpsConnection::kReady)
        e.ready_order = next_order_++;
}

void ConnectionPool::after_poll(const pollfd* fds, long long now_ms)
{
    // What arrived counts before the limits: a request that came in while
    // another one was served is read, not timed out.
    if (fds != nullptr) {
        for (int i = 0; i < count_; i++) {
            if (fds[i].fd >= 0 && fds[i].revents != 0) {
                entries_[i].connection->on_ready(now_ms);
                note_ready(entries_[i]);
            }
        }
    }
    for (int i = 0; i < count_; i++) {
        HttpsConnection* c = entries_[i].connection;
        if (c->limit() >= 0 && c->limit() <= now_ms) {
            c->on_limit(now_ms);
            note_ready(entries_[i]);
        }
    }
}

int ConnectionPool::next_wait(long long now_ms) const
{
    long long soonest = -1;
    for (int i = 0; i < count_; i++) {
        const HttpsConnection* c = entries_[i].connection;
        if (c->state() == HttpsConnection::kReady)
            return 0;
        long long limit = c->limit();
        if (limit >= 0 && (soonest < 0 || limit < soonest))
            soonest = limit;
    }
    if (soonest < 0)
        return -1;
    long long left = soonest - now_ms;
    return left <= 0 ? 0 : left > 1000000 ? 1000000 : static_cast<int>(left);
}

int ConnectionPool::serve_next(long long now_ms)
{
    int first = -1;
    for (int i = 0; i < count_; i++) {
        const Entry& e = entries_[i];
        if (e.ready_order != 0 && e.connection->state() == HttpsConnection::kReady &&
            (first < 0 || e.ready_order < entries_[first].ready_order))
            first = i;
    }
    if (first < 0)
        return -1;
    int result = entries_[first].connection->serve(now_ms);
    if (result == kHandlerRebuildListener)
        entries_[first].asked_rebuild = true;
    return result;
}

void ConnectionPool::sweep()
{
    int i = 0;
    while (i < count_) {
        if (entries_[i].connection->state() == HttpsConnection::kClosed)
            remove(i);
        else
            i++;
    }
}

bool ConnectionPool::rebuild_waiting() const
{
    for (int i = 0; i < count_; i++)
        if (entries_[i].asked_rebuild)
            return true;
    return false;
}

bool ConnectionPool::take_rebuild_due()
{
    bool due = rebuild_due_;
    rebuild_due_ = false;
    return due;
}

void ConnectionPool::remove(int i)
{
    if (entries_[i].asked_rebuild)
        rebuild_due_ = true;
    delete entries_[i].connection;
    for (int k = i + 1; k < count_; k++)
        entries_[k - 1] = entries_[k];
    count_--;
}
