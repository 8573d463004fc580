#include "daemon/start_controllers.h"

#include <cstring>

#include "api/ctl.h"
#include "daemon/config_store.h"

int apply_start_controller_settings(const ConfigStore& config)
{
    ControllerIdList list;
    list.count = 0;
    if (ctl_list_controllers(&list) != 0)
        return 0;
    const uint32_t count = list.count > 255 ? 255 : list.count;
    for (uint32_t i = 0; i < count; i++) {
        const ObjectId id = list.ids[i];
        int32_t family = 0;
        uint8_t index = 0;
        if (ctl_get_controller_family(id, &family) == 0 && family <= 3 &&
            ctl_parse_controller_id(id, &index) == 0) {
            const char* rates = config.get_bg_rate();
            if (index < std::strlen(rates)) {
                // The library refuses what is not 1 to 5.
                int32_t rate = rates[index] - '0';
                ctl_set_rebuild_rate(id, &rate);
            }
        }
        IdList units, drives;
        ctl_rescan_controller(id, 1, &units, &drives);
    }
    return 0;
}
