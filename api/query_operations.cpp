// Query operations that the dispatcher answers by itself.
#include <cstring>

#include "api/family_router.h"
#include "backend/backends.h"

// Families 3, 4 and 6 to 10 are written out; any other value is -1 with the
// output and the last-error record untouched.
int FamilyRouter::get_controller_family(ObjectId id, int32_t* family) {
    const int32_t found = controller_family(id);
    if (found != 3 && (found < 4 || found > 10 || found == 5)) return -1;
    *family = found;
    return 0;
}

namespace {

// Family-10 battery units have no firmware version or text 5 to read.
constexpr int32_t kNoBbuTextsFamily = 10;
constexpr char kNotAvailable[] = "N/A";

int not_available(char* text) {
    std::memcpy(text, kNotAvailable, sizeof kNotAvailable);
    return 0;
}

}  // namespace

int FamilyRouter::get_bbu_firmware_version(ObjectId id, char* version) {
    if (controller_family(id) == kNoBbuTextsFamily) return not_available(version);
    auto read = [&] { return series_backend().get_bbu_firmware_version(id, version); };
    return route<Pattern::A>(id, KindRule{0, 0}, SeriesCall{read});
}

int FamilyRouter::get_bbu_string_5(ObjectId id, char* text) {
    if (controller_family(id) == kNoBbuTextsFamily) return not_available(text);
    auto read = [&] { return series_backend().get_bbu_string_5(id, text); };
    return route<Pattern::A>(id, KindRule{0, 0}, SeriesCall{read});
}
