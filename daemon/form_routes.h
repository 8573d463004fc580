// Where a request goes before it is read whole: which form a POST carries,
// by the handler its URL reaches, and whether the peer is served at all. The
// connection reads a body only for a handler that takes it.
#pragma once

// The forms a POST may carry, by the handler its URL reaches (the
// dispatcher's order): the login form, the password form of the daemon
// settings (for a logged-in requester) and the firmware image upload (for
// the administrator). No other handler reads a body.
enum : int {
    kFormNone,
    kFormLogin,
    kFormSettings,
    kFormUpload,
};
int form_route(const char* url);

// Whether the dispatcher refuses a peer (its address text) for the
// RemoteAccess setting: while it is 0, only addresses whose text holds
// "127.0.0.1" are served.
bool remote_peer_refused(int remote_access, const char* peer);
