// The handlers of the enclosure pages: "/page3_2.html", the Enclosure
// Summary page, and "/page3_3.html", the Enclosure Details page and its nine
// element actions (fan speed and state, alarm state and audibility, power
// supply state, and the identify LEDs of slots, power supplies, temperature
// sensors and fans). Every logged-in user may use them, but switching a
// power supply needs the administrator level.
#pragma once

struct PageRequest;
class DaemonContext;
class PageBuilder;

int handle_page3_2(DaemonContext* context, PageBuilder* page, const PageRequest& request);
int handle_page3_3(DaemonContext* context, PageBuilder* page, const PageRequest& request);
// Whether the URL names one of the element actions (one of the details
// handler's keys); the summary has none.
bool page3_3_has_action(const char* url);
