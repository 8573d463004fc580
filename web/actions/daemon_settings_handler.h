// The handler of the Pyv2 Settings page ("/page4.html"): at most one action
// per request, recognised by the first of its keys present in the URL (the
// password change by "curpwd=" in the posted form), or the page itself.
// Every change but the test mail needs the administrator; each is stored in
// the configuration file at once and reported on the redirect page back to
// the settings page. A change the file cannot take is not made: its answer
// says that it was not saved. A port change answers the port-change page
// instead and has the listener rebuilt on the new port.
#pragma once

#include "daemon/dispatcher.h"

int handle_page4(DaemonContext* context, PageBuilder* page, const PageRequest& request);
// Whether the URL names one of the handler's actions by its key (the
// password change comes as a posted form, not in the URL).
bool page4_has_action(const char* url);

// The host part of the new address after a port change, from the request's
// Host header: the name or IPv4 address before any ':', or a bracketed IPv6
// address, of at most 63 characters and only of the characters a host name
// or address holds. False (out empty) for any other header.
bool host_of_header(const char* host, char* out, int size);

// True when a listening socket can be opened on port now (it is closed
// again at once).
bool port_can_listen(int port);
