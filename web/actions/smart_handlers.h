// The handlers of a drive's S.M.A.R.T. data: the pop-up with the drive's
// details and the data as a hexadecimal dump ("/smart.html"), and the data
// as a download of its 512 bytes ("/smart.dat"). Any logged-in requester may
// read them; each read is written to the command log.
#pragma once

#include "daemon/dispatcher.h"

int handle_smart(DaemonContext* context, PageBuilder* page, const PageRequest& request);
// Answers "404 Not-Found" when the data cannot be read: a download never
// carries anything but the drive's own data.
int handle_smart_dat(DaemonContext* context, PageBuilder* page, const PageRequest& request);
