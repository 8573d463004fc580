#pragma once

// The machine's host name and operating-system text, as pages, mails and the
// certificate show them.
class HostIdentity {
public:
    HostIdentity();
    ~HostIdentity();

    // uname()'s node name, or "[unknown machine]".
    const char* get_host_name() const { return host_name_; }
    // "Linux <release>" (or "Linux"), at most 51 characters.
    const char* get_os_text() const { return os_text_; }

private:
    char host_name_[128];
    char os_text_[52];
};
