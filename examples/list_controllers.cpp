// Lists the controllers the library found, with each one's family, model and
// firmware version, through the library's public functions only.
#include <cstdio>

#include "api/ctl.h"

namespace {

// The reason of the last failure, for a value that could not be read.
const char* failure_text(char* buffer, int size) {
    ErrorRecord record;
    ctl_get_last_error(&record);
    std::snprintf(buffer, size_t(size), "[%s]", record.text);
    return buffer;
}

}  // namespace

int main() {
    ControllerIdList list;
    if (ctl_list_controllers(&list) != 0) {
        char reason[1100];
        std::printf("no controllers %s\n", failure_text(reason, sizeof reason));
        return 1;
    }
    std::printf("%u controllers\n", list.count);
    for (uint32_t i = 0; i < list.count; ++i) {
        const ObjectId id = list.ids[i];
        int32_t family = -1;
        char model[64], firmware[32], reason[1100];
        ctl_get_controller_family(id, &family);
        const char* model_text =
            ctl_get_controller_model(id, model) == 0 ? model : failure_text(reason, sizeof reason);
        std::printf("controller %u: family %d, model %s", id.b[1], family, model_text);
        const char* firmware_text = ctl_get_firmware_version(id, firmware) == 0
                                        ? firmware
                                        : failure_text(reason, sizeof reason);
        std::printf(", firmware %s\n", firmware_text);
    }
    return 0;
}
