// The on-line help: the Help page ("/page5.html") and the help files under
// "/help", served from the configured language's folder of the help
// directory (configuration key Help) and from nowhere else.
#pragma once

#include "daemon/dispatcher.h"

// Results of handle_help besides 0 (answered): every one is answered
// "404 Not-Found".
enum : int {
    kHelpNotHelp = 1,           // the URL holds no "/help"
    kHelpUnknownKind = 2,       // the extension is not one the help serves
    kHelpNotServed = 3,         // missing, unreadable, or not inside the help directory
    kHelpNoLanguageFolder = 4,  // the configured language has no folder
};

int handle_page5(DaemonContext* context, PageBuilder* page, const PageRequest& request);
int handle_help(DaemonContext* context, PageBuilder* page, const PageRequest& request);

// The file a help URL names, for the help root and the language index: the
// part of the URL after "/help" up to any '?', under root/<language folder>.
// Returns 0 with the path in out (size bytes), or the result above: the
// rest must start with '/', hold no ".." component and fit out.
int help_file_path(const char* url, const char* root, int language, char* out, int size);
