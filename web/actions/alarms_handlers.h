// The Alarms page's handlers: "/page3_0.html" writes the page or, for an
// administrator, clears the selected controller's event files
// ("ClearAlarms="); "/alarmsdata.html" writes the document of the page's
// inline frame. Both sort by severity when "SortBy=" begins with "sev".
#pragma once

#include "daemon/dispatcher.h"

class DaemonContext;
class PageBuilder;

int handle_page3_0(DaemonContext* context, PageBuilder* page, const PageRequest& request);
// Whether the URL asks to clear the event files ("ClearAlarms=").
bool page3_0_has_action(const char* url);
int handle_alarmsdata(DaemonContext* context, PageBuilder* page, const PageRequest& request);
