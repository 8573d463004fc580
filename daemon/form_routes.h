// Where a request goes before it is read whole: which form a POST carries,
// by the handler its URL reaches, whether a URL asks that handler for an
// action, and whether the peer is served at all. The connection reads a body
// only for a handler that takes it, and refuses forms and actions sent from
// pages of other sites.
#pragma once

class RequestReader;

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

// Whether the URL names an action of the handler it reaches: one of the keys
// that handler acts on (a change of a controller or of the daemon), by the
// handler's own test in the dispatcher's table. Page loads, automatic
// refreshes and downloads name none.
bool url_names_action(const char* url);

// Whether a request read whole is refused as sent from a page of another
// site: a POST by form_from_elsewhere, a GET whose URL names an action by
// action_from_elsewhere (request_checks.h). Other GETs (page loads,
// automatic refreshes, downloads) are served whatever page they came from.
bool sent_from_elsewhere(const RequestReader& request);

// Whether the dispatcher refuses a peer (its address text) for the
// RemoteAccess setting: while it is 0, only addresses whose text holds
// "127.0.0.1" are served.
bool remote_peer_refused(int remote_access, const char* peer);
