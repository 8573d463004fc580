// The handler of the Scheduling page ("/page2_1.html") and its schedule
// changes.
#pragma once

#include "daemon/dispatcher.h"

int handle_page2_1(DaemonContext* context, PageBuilder* page, const PageRequest& request);
// Whether the URL names a schedule change (one of the handler's keys).
bool page2_1_has_action(const char* url);
