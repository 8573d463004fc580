// The two reports support staff are sent: the controller error report
// ("/errorlog_C.dat", C the controller's position) and the enclosure
// diagnostic report ("/encl_diaglog_cCeE.dat", E the enclosure's position).
// Each is a header of "### " lines naming the system and the device,
// followed by the device's logs between "### BEGIN <name>" and
// "### END <name>", answered as one application/binary body. Lines end with
// CR LF; a log's bytes follow its BEGIN line at once, unchanged, and its END
// line follows them after CR LF.
#pragma once

#include "daemon/dispatcher.h"

int handle_errorlog(DaemonContext* context, PageBuilder* page, const PageRequest& request);
int handle_encl_diaglog(DaemonContext* context, PageBuilder* page, const PageRequest& request);

// The positions an enclosure report's URL names: after "encl_diaglog_" and
// one character, the controller's digits up to an 'e', the enclosure's up to
// '.' or the end (at most 15 characters are read). False when the 'e' or the
// enclosure's digits are missing (*missing_enclosure tells which).
bool parse_encl_diaglog_url(const char* url, int* controller, int* enclosure,
                            bool* missing_enclosure);
