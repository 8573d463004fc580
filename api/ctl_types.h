// The records that cross the library's public interface: identifiers and
// their lists, the last-error record, the task schedule, events, drive
// statistics, the driver's compatibility record and firmware images.
#pragma once

#include "backend/drive_stats_records.h"
#include "backend/event_record.h"
#include "backend/firmware_records.h"
#include "backend/task_schedule.h"
#include "driver/compat_info.h"
#include "driver/error_record.h"
#include "driver/object_id.h"
