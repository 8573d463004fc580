// The library's static objects. Each is built on first use through its
// accessor and never destroyed (the daemon's threads may still use them while
// the process exits); the startup object below makes sure they are all built
// before main, in this order: the driver layer (controller discovery) first.
#include "driver/driver_layer.h"

DriverLayer& library_driver_layer() {
    static DriverLayer* const layer = new DriverLayer;
    return *layer;
}

namespace {

struct LibraryStartup {
    LibraryStartup() { library_driver_layer(); }
};

const LibraryStartup startup;

}  // namespace
