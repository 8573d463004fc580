# kill -9 at random moments while the daemon writes its files: every file
# is afterwards either the old or the new one, whole, and the next start
# succeeds.

source "$(dirname "$E2E_LIB")/crash.bash"

# A complete first start gives the reference set of keys.
start_daemon || return
reference_keys=$(conf_keys)
check "the reference configuration has its keys" test "$(echo "$reference_keys" | wc -l)" -ge 20
expect_eq "first start ends on SIGTERM" "exit 15" "$(stop_daemon TERM)"

# First starts killed at random moments: the certificate (made on the first
# start) and the configuration are absent or whole. In round 1 the renames
# are held (the reaper and the daemon run under strace) and the kill comes
# while the new certificate waits in its temporary file, so at least that
# round interrupts a write.
interrupted=0
for round in $(seq 10); do
    rm -f /etc/pyv2/pyv2.conf /etc/pyv2/pyv2.pem
    if [ "$round" == 1 ]; then
        # A sanitizer build cannot look for leaks under ptrace: the
        # processes that end normally in this round (the reaper, the
        # daemon's first process) are not looked at.
        # shellcheck disable=SC2046
        launch_daemon env ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0" \
            strace -f --seccomp-bpf -o /dev/null $(hold_renames 1500)
        kill_inside "/etc/pyv2/pyv2.pem.tmp-*" 60
    else
        launch_daemon
        random_pause 400
        kill_daemon
    fi
    for written in /etc/pyv2/pyv2.conf /etc/pyv2/pyv2.pem; do
        if compgen -G "$written.tmp-*" >/dev/null; then
            interrupted=$((interrupted + 1))
            break
        fi
    done
    if [ -e /etc/pyv2/pyv2.pem ]; then
        check "first start $round: the certificate is whole" pem_whole
    else
        pass
    fi
    if [ -e /etc/pyv2/pyv2.conf ]; then
        check "first start $round: the configuration is whole" conf_whole
    else
        pass
    fi
    next_start "first start $round" || return
    check "first start $round: a whole certificate after the restart" pem_whole
    check "first start $round: a whole configuration after the restart" conf_whole
    check_not "first start $round: no temporary left" compgen -G "/etc/pyv2/pyv2.*.tmp-*"
done
check "a first start was killed inside a write ($interrupted)" test "$interrupted" -ge 1

# Event files: batches of events, which the monitor writes into the binary
# and then the text file at the end of its pass, with kills at random
# moments. Afterwards each file is whole (binary records of 149 bytes, text
# lines ending in their line break) and a restart logs what was left to
# log: every event is in each file once (events that a kill left in the
# binary file alone are newer than the text file's newest line, so the
# restart puts them there).
export PYV2_SIM_CONTROL="$W/control" PYV2_SIM_STATE="$W/state"
printf 'clock pause-limit-ms=200\n' >"$PYV2_SIM_CONTROL"
TXT=/var/log/wox_aen_M2B0000002.txt
BIN=/var/log/wox_aen_M2B0000002.bin
# The texts of the binary file's records, one a line.
binary_texts() {
    python3 - "$BIN" <<'PY'
import sys
data = open(sys.argv[1], "rb").read()
for i in range(0, len(data) - len(data) % 149, 149):
    print(data[i + 21:i + 149].split(b"\0")[0].decode("latin-1"))
PY
}
files_whole() {
    [ $(($(stat -c %s "$BIN") % 149)) -eq 0 ] || return 1
    [ ! -s "$TXT" ] || [ "$(tail -c1 "$TXT" | od -An -c | tr -d ' ')" == '\n' ]
}
base=$(date +%s)
batch=30 rounds=5 sent=0 interrupted=0
for round in $(seq "$rounds"); do
    start_daemon || return
    TRACER_PID=""
    # shellcheck disable=SC2046
    if [ "$round" == 2 ]; then trace_daemon $(hold_renames 1500) || return; fi
    for n in $(seq "$batch"); do
        sent=$((sent + 1))
        sim "event index=2 code=0x0019 severity=2 text=\"crash=$round-$n\" time=$((base + sent))"
    done
    if [ "$round" == 2 ]; then
        # The renames held: the kill comes while an event file waits in its
        # temporary file.
        kill_inside "/var/log/wox_aen_M2B0000002.*.tmp-*"
        wait $TRACER_PID
    else
        # Once the simulator holds the whole batch (its saved state, which
        # the next start reads, has the last event's time), the kill comes
        # while the monitor's pass reads and writes it, or after.
        check "round $round: the batch is queued" wait_for "$PYV2_SIM_STATE" " time=$((base + sent)) "
        random_pause 100
        kill_daemon
    fi
    compgen -G "/var/log/wox_aen_M2B0000002.*.tmp-*" >/dev/null && interrupted=$((interrupted + 1))
    check "round $round: the event files are whole after the kill" files_whole
    # A new process reads the control file from its start: only the pause
    # limit is to be applied again.
    printf 'clock pause-limit-ms=200\n' >"$PYV2_SIM_CONTROL"
done
start_daemon || return
check "the last batch is logged after the restart" wait_for "$TXT" "crash=$rounds-$batch"
sleep 1
expect_eq "ends on SIGTERM" "exit 15" "$(stop_daemon TERM)"
check "the event files are whole" files_whole
binary_texts >"$W/binary_texts"
for round in $(seq "$rounds"); do
    for n in $(seq "$batch"); do
        expect_eq "crash=$round-$n in the binary file once" 1 \
            "$(grep -c -- "^crash=$round-$n\$" "$W/binary_texts")"
        expect_eq "crash=$round-$n in the text file once" 1 "$(grep -c -- "crash=$round-$n\$" "$TXT")"
    done
done
check "a kill interrupted an event file's rewrite ($interrupted)" test "$interrupted" -ge 1
