#include "daemon/pending_connections.h"

#include <unistd.h>

#include <cstring>

namespace {

// Whether something has arrived on fd (a client that closed counts too).
bool has_data(int fd)
{
    pollfd p = {fd, POLLIN, 0};
    return poll(&p, 1, 0) == 1 && (p.revents & POLLIN) != 0;
}

}  // namespace

PendingConnections::PendingConnections() : entries_{}, count_(0) {}

PendingConnections::~PendingConnections()
{
    for (int i = 0; i < count_; i++)
        ::close(entries_[i].fd);
}

void PendingConnections::add(int fd, const char* peer, long long now_ms)
{
    if (count_ == kRoom) {
        // Make room by closing the oldest connection that has sent nothing;
        // only when every one has a request waiting does the oldest go.
        int victim = 0;
        while (victim < count_ && has_data(entries_[victim].fd))
            victim++;
        if (victim == count_)
            victim = 0;
        ::close(entries_[victim].fd);
        remove(victim);
    }
    Entry& e = entries_[count_++];
    e.fd = fd;
    e.since = now_ms;
    std::memset(e.peer, 0, sizeof e.peer);
    std::strncpy(e.peer, peer, sizeof e.peer - 1);
}

void PendingConnections::close_silent(long long now_ms)
{
    // Oldest first: the first entry within the limit ends the search.
    int i = 0;
    while (i < count_ && now_ms - entries_[i].since >= kSilenceLimit) {
        if (has_data(entries_[i].fd)) {
            i++;  // its request came while another was served: it is served next
            continue;
        }
        ::close(entries_[i].fd);
        remove(i);
    }
}

int PendingConnections::next_limit(long long now_ms) const
{
    if (count_ == 0)
        return -1;
    long long left = entries_[0].since + kSilenceLimit - now_ms;
    return left < 0 ? 0 : static_cast<int>(left);
}

void PendingConnections::fill_poll(pollfd* fds) const
{
    for (int i = 0; i < count_; i++) {
        fds[i].fd = entries_[i].fd;
        fds[i].events = POLLIN;
        fds[i].revents = 0;
    }
}

int PendingConnections::take(int i, char* peer)
{
    int fd = entries_[i].fd;
    std::memcpy(peer, entries_[i].peer, sizeof entries_[i].peer);
    remove(i);
    return fd;
}

void PendingConnections::remove(int i)
{
    for (int k = i + 1; k < count_; k++)
        entries_[k - 1] = entries_[k];
    count_--;
}
