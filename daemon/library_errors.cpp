#include "daemon/library_errors.h"

#include "api/ctl.h"
#include "driver/error_record.h"

namespace {

constexpr int32_t kLibraryErrorCategory = 11;

}  // namespace

void forget_library_error() { clear_last_error(); }

int32_t library_api_error() {
    ErrorRecord* record = new ErrorRecord();
    ctl_get_last_error(record);
    uint64_t value = 0;
    ctl_decode_last_error(&value, *record);
    delete record;
    int32_t category = 0, code = 0;
    ctl_split_error_code(value, &category, &code);
    return category == kLibraryErrorCategory ? code : 0;
}
