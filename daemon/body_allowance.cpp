#include "daemon/body_allowance.h"

#include <cstring>

BodyAllowance::BodyAllowance(long long limit) : limit_(limit), used_(0), shares_{} {}

int BodyAllowance::find(const char* peer) const
{
    for (int i = 0; i < kMaxPeers; i++)
        if (shares_[i].used > 0 && std::strncmp(shares_[i].peer, peer, sizeof shares_[i].peer) == 0)
            return i;
    return -1;
}

long long BodyAllowance::used_by(const char* peer) const
{
    int i = find(peer);
    return i < 0 ? 0 : shares_[i].used;
}

bool BodyAllowance::take(const char* peer, long long bytes)
{
    if (bytes <= 0)
        return true;
    if (used_ + bytes > limit_)
        return false;
    int found = find(peer);
    Share* share = found < 0 ? nullptr : &shares_[found];
    long long held = share != nullptr ? share->used : 0;
    if (held + bytes > limit_ / 4)
        return false;
    if (share == nullptr) {
        for (Share& s : shares_) {
            if (s.used == 0) {
                share = &s;
                std::strncpy(share->peer, peer, sizeof share->peer - 1);
                share->peer[sizeof share->peer - 1] = '\0';
                break;
            }
        }
        if (share == nullptr)
            return false;
    }
    share->used += bytes;
    used_ += bytes;
    return true;
}

void BodyAllowance::give_back(const char* peer, long long bytes)
{
    int found = find(peer);
    if (found < 0 || bytes <= 0)
        return;
    Share* share = &shares_[found];
    if (bytes > share->used)
        bytes = share->used;
    share->used -= bytes;
    used_ -= bytes;
}
