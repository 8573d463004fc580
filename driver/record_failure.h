// The two most common ways a failure is recorded: clear the last-error
// record, record one API error or one operating-system error, and return -1.
#pragma once

#include <cstdint>

#include "driver/api_errors.h"
#include "driver/error_record.h"

inline int fail_with_api_error(int32_t api_code) {
    clear_last_error();
    set_last_error(kErrApi, api_code, 0, 0, 0, nullptr, nullptr);
    return -1;
}

inline int fail_with_os_error(int32_t os_error) {
    clear_last_error();
    set_last_error(kErrOs, 0, os_error, 0, 0, nullptr, nullptr);
    return -1;
}

