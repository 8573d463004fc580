// The handlers of the Controller Settings page and of the firmware update
// it starts.
#pragma once

#include "daemon/dispatcher.h"

class ConfigStore;

// "/page2_0.html": the page, or one change of a controller or unit setting
// named by its query key (administrators only), reported by the redirect
// page back to it.
int handle_page2_0(DaemonContext* context, PageBuilder* page, const PageRequest& request);
// Whether the URL names one of those changes (one of the handler's keys).
bool page2_0_has_action(const char* url);

// "/fwcheck.html": an administrator's uploaded image stored in its
// temporary file and checked against the controller; the page with the
// check's pop-up, or the redirect page saying why not.
int handle_fwcheck(DaemonContext* context, PageBuilder* page, const PageRequest& request);
// "/fwupdate.html": the stored image downloaded to the controller
// (administrators only); the file is removed whatever the outcome.
int handle_fwupdate(DaemonContext* context, PageBuilder* page, const PageRequest& request);
// "/fwupdate_canceled.html": the stored image removed.
int handle_fwupdate_canceled(DaemonContext* context, PageBuilder* page, const PageRequest& request);
// Each of the three firmware URLs acts whatever its query: true.
bool firmware_has_action(const char* url);

// The first-series background rate kept for the next start: the digit of
// rate (1 to 5; any other rate is not stored) at the controller index's
// place in BGRate, the text lengthened with the default rate 3 where it is
// shorter. Returns 0 when the text was stored, 1 when the rate or index is
// none to keep (nothing changes), 2 when the configuration file could not
// be written (BGRate stays as it was).
enum : int { kRateStored = 0, kRateNotKept = 1, kRateNotSaved = 2 };
[[nodiscard]] int store_background_rate(ConfigStore* config, int controller_index, int rate);
