// The handler of the Battery Backup page ("/page3_1.html"): the page, the
// notice of a newly installed battery and the start of a capacity test.
#pragma once

#include "daemon/dispatcher.h"

int handle_page3_1(DaemonContext* context, PageBuilder* page, const PageRequest& request);
// Whether the URL names one of its actions ("InitBBU=", "TestBBU=").
bool page3_1_has_action(const char* url);
