// Controller families. Discovery ends here: detect_families is its last step
// when it found a controller.
#include "driver/driver_layer.h"
#include "driver/record_failure.h"

// The family of each controller is read from its firmware through the
// second-series parameter access, which the back end provides; until then
// the families stay unknown (the table holds 0 and the families-known flag
// stays clear).
int DriverLayer::detect_families() {
    if (count_ == 0) {
        families_known_ = 0;
        return fail_with_api_error(kApiNoController);
    }
    return 0;
}
