// Unit and drive operations that the dispatcher routes by hand.
#include "api/family_router.h"
#include "backend/backends.h"

// Routed by the controller of the list's first entry, whatever the count.
int FamilyRouter::get_drive_status_list(uint8_t* statuses, uint32_t, IdList drives) {
    return route<Pattern::B>(drives.ids[0], KindRule{0, 0}, SeriesCall{[&] {
                                 return series_backend().get_drive_status_list(drives, statuses);
                             }});
}
