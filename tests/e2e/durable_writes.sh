# The files the daemon replaces reach the disk in the order that makes
# them outlive a power failure (strace follows the daemon's calls): a new
# configuration file is synced before it is renamed into place and its
# directory after the rename; the event files are written once in a
# monitor pass of several events, each the same way.
source "$(dirname "$E2E_LIB")/actions.bash"
export PYV2_SIM_CONTROL="$W/control"
printf 'clock pause-limit-ms=200\n' >"$PYV2_SIM_CONTROL"
TXT=/var/log/wox_aen_M2B0000002.txt
BIN=/var/log/wox_aen_M2B0000002.bin
start_daemon || return
# The machine's own events are stored before the trace starts.
check "the first pass is done" wait_for "$TXT" "unit=1"
sleep 0.5

strace -f -y -o "$W/trace" -e trace=openat,fsync,rename -p "$DAEMON_PID" 2>"$W/strace.err" &
tracer=$!
for _ in $(seq 100); do
    grep -q attached "$W/strace.err" && break
    sleep 0.05
done
check "strace attached" grep -q attached "$W/strace.err"

fetch refresh "/page4.html?Refresh=3&c=0" -b "WOXUSER=$ADMIN_COOKIE_PYV2"
expect_eq "the change is answered" "Minutes between automatic page refresh set to 3" \
    "$(message_of refresh)"
now=$(date +%s)
# Five events at once: one pass reads them all.
printf 'event index=2 code=0x000B severity=3 text="n=%d" time=%d\n' \
    1 $((now + 1)) 2 $((now + 2)) 3 $((now + 3)) 4 $((now + 4)) 5 $((now + 5)) >>"$PYV2_SIM_CONTROL"
check "the events are stored" wait_for "$TXT" "n=5"
# The pass ends with the syncs.
for _ in $(seq 100); do
    grep -q 'fsync([0-9]*</var/log>)' "$W/trace" && break
    sleep 0.05
done
sleep 0.2
kill "$tracer"
wait "$tracer"

# The calls of each thread in their order, a call that strace split
# ("unfinished", "resumed") made whole again: "name argument" per line, the
# first path argument or descriptor's path.
/usr/bin/python3 - "$W/trace" >"$W/calls" <<'PY'
import re, sys
pending = {}
for line in open(sys.argv[1]):
    m = re.match(r"(\d+)\s+(.*)", line.rstrip("\n"))
    if not m:
        continue
    tid, text = m.groups()
    if text.endswith("<unfinished ...>"):
        pending[tid] = text[: -len("<unfinished ...>")]
        continue
    r = re.match(r"<\.\.\. \w+ resumed>(.*)", text)
    if r:
        text = pending.pop(tid, "") + r.group(1)
    c = re.match(r"(\w+)\((.*)\)\s+=\s+(-?\d+)", text)
    if not c or c.group(3).startswith("-"):
        continue
    name, args = c.group(1), c.group(2)
    if name == "openat":
        arg = re.search(r'"([^"]*)"', args).group(1)
    elif name == "rename":
        arg = re.findall(r'"([^"]*)"', args)[1]
    else:
        arg = re.match(r"\d+<(.*)>", args).group(1)
    print(tid, name, arg)
PY

# follows <tid> <call> <then...>: in the thread's calls, the first call is
# followed (not necessarily at once) by the others, in that order.
follows() {
    awk -v tid="$1" '$1 == tid { print $2 " " $3 }' "$W/calls" >"$W/thread"
    shift
    /usr/bin/python3 - "$W/thread" "$@" <<'PY'
import sys
calls = [l.rstrip("\n") for l in open(sys.argv[1])]
wanted, at = sys.argv[2:], 0
for call in calls:
    if at < len(wanted) and call == wanted[at]:
        at += 1
sys.exit(0 if at == len(wanted) else 1)
PY
}
count() { grep -c -- "$1" "$W/calls"; }

# The configuration file: its temporary synced, renamed, the directory synced.
main=$(awk '$2 == "rename" && $3 == "/etc/pyv2/pyv2.conf" { print $1; exit }' "$W/calls")
check "the configuration file was replaced" test -n "$main"
tmp=$(awk -v tid="$main" '$1 == tid && $2 == "fsync" && $3 ~ /pyv2\.conf\.tmp-/ { print $3; exit }' "$W/calls")
check "the configuration's temporary file was synced" test -n "$tmp"
check "synced, renamed, then its directory synced" \
    follows "$main" "fsync $tmp" "rename /etc/pyv2/pyv2.conf" "fsync /etc/pyv2"

# The event files: five events, one rewrite of each file: its temporary
# synced, renamed, and the directory synced.
monitor=$(awk -v f="$TXT" '$2 == "rename" && $3 == f { print $1; exit }' "$W/calls")
check "the event files were replaced" test -n "$monitor"
for file in "$BIN" "$TXT"; do
    expect_eq "$file: renamed once" 1 "$(count "^$monitor rename $file\$")"
    tmp=$(awk -v tid="$monitor" -v f="$file" '$1 == tid && $2 == "fsync" && index($3, f ".tmp-") == 1 { print $3; exit }' "$W/calls")
    check "$file: its temporary file was synced" test -n "$tmp"
    check "$file: synced, renamed, then the directory synced" \
        follows "$monitor" "fsync $tmp" "rename $file" "fsync /var/log"
done
expect_eq "ends on SIGTERM" "exit 15" "$(stop_daemon TERM)"
