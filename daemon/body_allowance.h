// The bytes of large request bodies that the open connections may hold in
// all. A body of at most kSmallBody bytes never counts; a larger one counts
// by the bytes that have arrived, so a client that announces a large body
// and sends it slowly holds next to nothing. One peer address holds at most
// a quarter of the allowance, so a few addresses cannot take all of it.
#pragma once

class BodyAllowance {
public:
    static constexpr long long kSmallBody = 64LL << 10;
    // The peers that may hold a share at once (one per open connection).
    static constexpr int kMaxPeers = 64;

    explicit BodyAllowance(long long limit);

    // Whether a body of the announced length counts at all.
    static bool counts(long long announced) { return announced > kSmallBody; }
    // Takes bytes for peer; false (nothing taken) when that would pass the
    // allowance or the peer's quarter of it.
    bool take(const char* peer, long long bytes);
    // Gives back bytes that peer took.
    void give_back(const char* peer, long long bytes);

    long long limit() const { return limit_; }
    long long used() const { return used_; }
    long long used_by(const char* peer) const;

private:
    struct Share {
        char peer[16];
        long long used;
    };
    int find(const char* peer) const;  // the share of a peer holding bytes, or -1

    long long limit_;
    long long used_;
    Share shares_[kMaxPeers];
};
