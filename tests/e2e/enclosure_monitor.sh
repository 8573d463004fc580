# The enclosure monitor in the running daemon, on the default simulated
# machine: changes made to the SES enclosure's elements through the
# simulator's control file come back, as events the monitor posted to the
# controller, in the text event file and on the alarms page, each once; a
# temperature warning that clears posts "normal"; a sensor taken out posts
# its removal and shows as not installed; nothing is posted while
# nothing changes. The service's notices reach syslog. With EnclosureMonitor
# off nothing is posted; in Logger mode the monitor alone posts and reads
# back as well.
#
# The simulator's pause limit lets the monitor's 15-second pauses last
# 200 ms, so the enclosure check (every 9 passes with the default
# EnclMonitorSleepMinutes of 2) comes about every 2 seconds.
export PYV2_SIM_CONTROL="$W/control"
printf 'clock pause-limit-ms=200\n' >"$PYV2_SIM_CONTROL"
TXT=/var/log/wox_aen_S3C0000003.txt
BIN=/var/log/wox_aen_S3C0000003.bin
USER=(-b "WOXUSER=$USER_COOKIE_PYV2")

# stop_promptly <what>: SIGTERM ends the daemon with status 15 promptly:
# within 6 s, far below a pass of the unshortened monitor, with room for a
# loaded machine.
stop_promptly() {
    local start elapsed
    start=$(now_ms)
    expect_eq "$1 ends by SIGTERM" "exit 15" "$(stop_daemon TERM)"
    elapsed=$(since_ms "$start")
    check "$1 ended within 6 s (took ${elapsed} ms)" test "$elapsed" -lt 6000
}

# How many lines of the text event file hold a text.
lines_with() { grep -cF -- "$1" $TXT 2>/dev/null; }

# A private /dev/log in this test's mount namespace: /dev seen through an
# overlay, so the socket is made without touching the machine's /dev. The
# daemon's syslog lines are written to $W/syslog.
mkdir -p "$W/dev-upper" "$W/dev-work"
mount -t overlay overlay -o "lowerdir=/dev,upperdir=$W/dev-upper,workdir=$W/dev-work" /dev
rm -f /dev/log
/usr/bin/python3 -c '
import socket, sys
s = socket.socket(socket.AF_UNIX, socket.SOCK_DGRAM)
s.bind("/dev/log")
print("ready", flush=True)
with open(sys.argv[1], "ab", buffering=0) as out:
    while True:
        out.write(s.recv(4096).replace(b"\n", b" ").rstrip() + b"\n")
' "$W/syslog" >"$W/syslog.ready" &
for _ in $(seq 50); do [ -s "$W/syslog.ready" ] && break; sleep 0.1; done

# --- Monitoring on, as by default.
start_daemon || return
# The events the controller had queued are read first.
check "queued events stored" wait_for $TXT "unit=1"
check "service started" wait_for "$W/syslog" "ENCL: Monitoring service started."
check "monitoring enabled" wait_for "$W/syslog" "ENCL: Enclosure Monitoring service is enabled."
# syslog's priority: facility user (1) * 8 + notice (5).
expect_in "notice priority" "<13>" "$W/syslog"
expect_eq "started before enabled" "started enabled" \
    "$(grep -o 'service started\|service is enabled' "$W/syslog" | sed 's/service //;s/is //' | tr '\n' ' ' | sed 's/ $//')"

# A fan fails, then recovers.
sim "element index=3 enclosure=0 type=fan number=1 fail=1 rpm=0"
check "fan failure posted" wait_for $TXT "Enclosure fan error: encl=0, fan=1"
expect_in "as an error" "ERROR Enclosure fan error: encl=0, fan=1" $TXT
fetch alarms "/alarmsdata.html?c=2&auto=1" "${USER[@]}"
expect_in "on the alarms page" "Enclosure fan error: encl=0, fan=1" "$W/alarms.b"
sim "element index=3 enclosure=0 type=fan number=1 fail=0 rpm=4200"
check "fan recovery posted" wait_for $TXT "Enclosure fan normal: encl=0, fan=1"
expect_in "as information" "INFORMATION Enclosure fan normal: encl=0, fan=1" $TXT

# A temperature warning that clears.
sim "element index=3 enclosure=0 type=temp number=0 temperature=55 thresholds=4"
check "warning posted" wait_for $TXT "Enclosure temperature high: encl=0, temperature sensor=0"
expect_in "as a warning" "WARNING Enclosure temperature high: encl=0, temperature sensor=0" $TXT
sim "element index=3 enclosure=0 type=temp number=0 temperature=31 thresholds=0"
check "cleared warning posts normal" wait_for $TXT "Enclosure temperature normal: encl=0, temperature sensor=0"
expect_not_in "not status unknown" "Enclosure temperature status unknown" $TXT
fetch alarms "/alarmsdata.html?c=2&auto=1" "${USER[@]}"
expect_in "normal on the alarms page" "Enclosure temperature normal: encl=0, temperature sensor=0" "$W/alarms.b"
expect_in "high on the alarms page" "Enclosure temperature high: encl=0, temperature sensor=0" "$W/alarms.b"

# A temperature sensor taken out: its removal is posted, and the details
# page shows it not installed, without a temperature.
sim "element index=3 enclosure=0 type=temp number=1 status=not-installed"
check "sensor removal posted" wait_for $TXT "Enclosure temperature sensor removed: encl=0, temperature sensor=1"
expect_in "removal as a warning" "WARNING Enclosure temperature sensor removed: encl=0, temperature sensor=1" $TXT
fetch details "/page3_3.html?c=2&e=0" "${USER[@]}"
sed -n '/Temp Sensor Summary/,/<\/table>/p' "$W/details.b" | grep -F '">1</td>' >"$W/sensor1.row"
expect_in "sensor 1 not installed" ">NOT INSTALLED</font>" "$W/sensor1.row"
expect_in "sensor 1 without a temperature" ">--</td>" "$W/sensor1.row"
expect_not_in "sensor 1 no degrees" "&#176;" "$W/sensor1.row"

# Nothing changes: three checks' time passes, nothing is posted, and each
# change above was posted once.
lines=$(wc -l <$TXT)
records=$(($(stat -c %s $BIN) / 149))
sleep 7
expect_eq "no line while nothing changes" "$lines" "$(wc -l <$TXT)"
expect_eq "no record while nothing changes" "$records" "$(($(stat -c %s $BIN) / 149))"
# text | lines holding it
while IFS='|' read -r text count; do
    expect_eq "lines of [$text]" "$count" "$(lines_with "$text")"
done <<'TABLE'
Enclosure fan error: encl=0, fan=1|1
Enclosure fan normal: encl=0, fan=1|1
Enclosure temperature high: encl=0, temperature sensor=0|1
Enclosure temperature normal: encl=0, temperature sensor=0|1
Enclosure temperature sensor removed: encl=0, temperature sensor=1|1
Enclosure |5
TABLE
# The checks still run: a power supply lost now is posted.
sim "element index=3 enclosure=0 type=supply number=1 status=critical fail=1"
check "supply failure posted" wait_for $TXT "Enclosure power supply failed: encl=0, power supply=1"
stop_promptly "monitoring on"
check_not "nothing posted to the family-6 controller" grep -qa "Enclosure " /var/log/wox_aen_M2B0000002.txt

# --- EnclosureMonitor 0: baselines only, nothing posted.
write_config <<'EOF'
EnclosureMonitor 0
EOF
printf 'clock pause-limit-ms=200\n' >"$PYV2_SIM_CONTROL"
: >"$W/syslog"
start_daemon || return
check "service started while off" wait_for "$W/syslog" "ENCL: Monitoring service started."
sleep 1
lines=$(wc -l <$TXT)
sim "element index=3 enclosure=0 type=fan number=0 fail=1 rpm=0"
sleep 5
expect_eq "nothing posted while off" "$lines" "$(wc -l <$TXT)"
expect_not_in "not enabled" "Enclosure Monitoring service is enabled" "$W/syslog"
stop_daemon TERM >/dev/null

# --- Logger mode: the monitor alone, on the main thread, posts and reads
# back; it ends promptly by SIGTERM.
write_config <<'EOF'
Logger 1
EOF
printf 'clock pause-limit-ms=200\n' >"$PYV2_SIM_CONTROL"
launch_daemon
check "Logger mode: service started" wait_for "$W/syslog" "ENCL: Enclosure Monitoring service is enabled."
sim "element index=3 enclosure=0 type=temp number=1 temperature=70 thresholds=8"
check "Logger mode posts" wait_for $TXT "Enclosure temperature too high: encl=0, temperature sensor=1"
stop_promptly "Logger mode"
