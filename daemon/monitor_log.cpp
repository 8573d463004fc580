#include "daemon/monitor_log.h"

#include <syslog.h>

namespace {

MonitorLogSink log_sink = nullptr;

}  // namespace

void set_monitor_log_sink(MonitorLogSink sink) { log_sink = sink; }

void write_monitor_log(int priority, const char* line) {
    if (log_sink != nullptr)
        log_sink(priority, line);
    else
        syslog(priority, "%s", line);
}
