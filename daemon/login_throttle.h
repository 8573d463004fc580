// Failed logins, counted per peer address: after kFreeFailures failures in
// a row, each further failure makes the address wait before its next
// password is checked, 1 second doubling up to 5 minutes. A successful login
// clears the count. The table of addresses has a fixed size: when it is
// full, a new address takes the place of the address that failed longest
// ago among those not waiting (of those waiting, the one whose wait ends
// first), so many addresses cannot grow it.
#pragma once

class LoginThrottle {
public:
    static constexpr int kFreeFailures = 5;
    static constexpr long long kFirstWaitMs = 1000;
    static constexpr long long kLongestWaitMs = 300000;
    static constexpr int kAddresses = 1024;

    LoginThrottle();

    // Whether a password posted from peer at now_ms may be checked: false
    // while the address waits.
    bool may_check(const char* peer, long long now_ms) const;
    // A password from peer was wrong.
    void failed(const char* peer, long long now_ms);
    // A password from peer was right: its count is cleared.
    void succeeded(const char* peer);

    // The failures in a row of peer, and the end of its wait (0: none).
    int failures(const char* peer) const;
    long long wait_until(const char* peer) const;
    int count() const { return count_; }

private:
    struct Address {
        char text[16];
        int failures;
        long long last_failure;
        long long wait_until;
    };
    int find(const char* peer) const;
    int place_for(long long now_ms);

    Address addresses_[kAddresses];
    int count_;
};

// The throttle of the daemon's logins (one for the process: logins are
// served on the main thread only).
LoginThrottle& login_throttle();
