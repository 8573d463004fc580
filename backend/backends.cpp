// The back-end objects join the library's static objects (see
// driver/library_startup.cpp): built on first use through their accessor and
// never destroyed, and built before main by the start-up object below, which
// asks for the driver layer first, so discovery and family detection always
// come before the back ends whichever initialiser the program runs first.
#include "backend/backends.h"

#include "driver/driver_layer.h"

LibraryBackends& library_backends() {
    static LibraryBackends* const backends = new LibraryBackends;
    return *backends;
}

namespace {

struct BackendStartup {
    BackendStartup() {
        library_driver_layer();
        library_backends();
    }
};

const BackendStartup startup;

}  // namespace
