// The records that cross the library's public interface: identifiers and
// their lists, the last-error record and the task schedule.
#pragma once

#include "backend/task_schedule.h"
#include "driver/error_record.h"
#include "driver/object_id.h"
