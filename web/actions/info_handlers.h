// The handlers of the controller information pages: the summary, a
// controller's details, its units (with the unit identify action), drives
// (with the drive identify action) and phys (with the link-speed limit).
#pragma once

#include "daemon/dispatcher.h"

int handle_page0(DaemonContext* context, PageBuilder* page, const PageRequest& request);
int handle_page1_0(DaemonContext* context, PageBuilder* page, const PageRequest& request);
int handle_page1_1(DaemonContext* context, PageBuilder* page, const PageRequest& request);
int handle_page1_2(DaemonContext* context, PageBuilder* page, const PageRequest& request);
int handle_page1_0_1(DaemonContext* context, PageBuilder* page, const PageRequest& request);

// Whether the URL names the page's action: the unit identify
// ("BlinkUnit="), the drive identify ("BlinkDrive="), the phy link-speed
// limit ("SetPhyLinkspeed=").
bool page1_1_has_action(const char* url);
bool page1_2_has_action(const char* url);
bool page1_0_1_has_action(const char* url);
