#include "daemon/login_throttle.h"

#include <cstring>

LoginThrottle::LoginThrottle() : addresses_{}, count_(0) {}

int LoginThrottle::find(const char* peer) const
{
    for (int i = 0; i < count_; i++)
        if (std::strncmp(addresses_[i].text, peer, sizeof addresses_[i].text) == 0)
            return i;
    return -1;
}

bool LoginThrottle::may_check(const char* peer, long long now_ms) const
{
    int i = find(peer);
    return i < 0 || now_ms >= addresses_[i].wait_until;
}

// A slot for a new address: a free one, else the one to forget.
int LoginThrottle::place_for(long long now_ms)
{
    if (count_ < kAddresses)
        return count_++;
    int best = 0;
    for (int i = 1; i < kAddresses; i++) {
        const Address& a = addresses_[i];
        const Address& b = addresses_[best];
        bool a_waits = a.wait_until > now_ms, b_waits = b.wait_until > now_ms;
        if (a_waits != b_waits ? !a_waits
                               : (a_waits ? a.wait_until < b.wait_until : a.last_failure < b.last_failure))
            best = i;
    }
    return best;
}

void LoginThrottle::failed(const char* peer, long long now_ms)
{
    int i = find(peer);
    if (i < 0) {
        i = place_for(now_ms);
        std::memset(&addresses_[i], 0, sizeof addresses_[i]);
        std::strncpy(addresses_[i].text, peer, sizeof addresses_[i].text - 1);
    }
    Address& a = addresses_[i];
    a.failures++;
    a.last_failure = now_ms;
    int beyond = a.failures - kFreeFailures;
    if (beyond <= 0)
        return;
    long long wait = kFirstWaitMs;
    for (int k = 1; k < beyond && wait < kLongestWaitMs; k++)
        wait *= 2;
    a.wait_until = now_ms + (wait < kLongestWaitMs ? wait : kLongestWaitMs);
}

void LoginThrottle::succeeded(const char* peer)
{
    int i = find(peer);
    if (i < 0)
        return;
    addresses_[i] = addresses_[--count_];
}

int LoginThrottle::failures(const char* peer) const
{
    int i = find(peer);
    return i < 0 ? 0 : addresses_[i].failures;
}

long long LoginThrottle::wait_until(const char* peer) const
{
    int i = find(peer);
    return i < 0 ? 0 : addresses_[i].wait_until;
}

LoginThrottle& login_throttle()
{
    static LoginThrottle throttle;
    return throttle;
}
