// Query operations that the dispatcher answers by itself.
#include "api/family_router.h"

// Families 3, 4 and 6 to 10 are written out; any other value is -1 with the
// output and the last-error record untouched.
int FamilyRouter::get_controller_family(ObjectId id, int32_t* family) {
    const int32_t found = controller_family(id);
    if (found != 3 && (found < 4 || found > 10 || found == 5)) return -1;
    *family = found;
    return 0;
}
