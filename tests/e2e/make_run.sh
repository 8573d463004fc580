# make run's script (scripts/run-daemon.sh): with port 888 held by another
# program the start fails, showing the daemon's own output; a normal start
# reports the daemon's own pid, which make stop then ends.
here=$(dirname "$E2E_LIB")
run="$here/../../scripts/run-daemon.sh"
export PYV2_RUN_DIR="$W/run"
mkdir -p "$PYV2_RUN_DIR"
printf 'Help %s\n' "$W/help" | write_config
# run_script <name> <action>: the script's output in $W/<name>.out.
run_script() { bash "$run" "$E2E_DAEMON" "$2" >"$W/$1.out" 2>&1; }
# The running processes of the daemon program.
daemons() {
    local p
    for p in /proc/[0-9]*; do
        if [ "$(readlink -f "$p/exe" 2>/dev/null)" == "$(readlink -f "$E2E_DAEMON")" ]; then echo "${p#/proc/}"; fi
    done
}

# Another program listening on the port.
python3 -c '
import socket, sys, time
s = socket.socket()
s.bind(("0.0.0.0", 888))
s.listen()
print("listening", flush=True)
time.sleep(120)
' >"$W/other.out" &
other=$!
wait_for "$W/other.out" listening 10
check_not "start with the port held" run_script held start
expect_in "the daemon's own failure shown" "Failed to start listening socket" "$W/held.out"
expect_not_in "no success claimed" "running (pid" "$W/held.out"
check_not "no pid file" test -e "$PYV2_RUN_DIR/pyv2d.pid"
expect_eq "no daemon left running" "" "$(daemons)"
check "the other program keeps the port" kill -0 "$other"
kill "$other"
wait "$other" 2>/dev/null

# The port free: the daemon started, its own pid reported and recorded.
check "start" run_script start start
cat "$W/start.out"
started=$(sed -n 's/^pyv2 daemon running (pid \([0-9]*\)).*/\1/p' "$W/start.out")
listener=$(ss -Hltnp 'sport = :888' | grep -o 'pid=[0-9]*' | cut -d= -f2 | sort -u)
expect_eq "the pid reported is the listener's" "$listener" "$started"
expect_eq "it is the daemon program" "$(readlink -f "$E2E_DAEMON")" "$(readlink -f "/proc/$started/exe")"
expect_eq "the pid recorded" "$started" "$(cat "$PYV2_RUN_DIR/pyv2d.pid")"
check "it answers" curl -sk --max-time 5 -o /dev/null "https://127.0.0.1:888/blank.html"
check "stop" run_script stop stop
expect_in "stop names it" "pyv2 daemon $started stopped" "$W/stop.out"
for _ in $(seq 100); do kill -0 "$started" 2>/dev/null || break; sleep 0.1; done
check_not "the daemon has ended" kill -0 "$started" 2>/dev/null
