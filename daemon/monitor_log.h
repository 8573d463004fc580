// Where the monitor thread's own notices go (the enclosure monitor's "ENCL: "
// lines, the count of dropped alert mails): syslog, unless a test names
// another sink.
#pragma once

using MonitorLogSink = void (*)(int priority, const char* line);
// Null sends the notices to syslog again.
void set_monitor_log_sink(MonitorLogSink sink);

// One notice, of a syslog priority, to the sink.
void write_monitor_log(int priority, const char* line);
