# The script behind `make run` and `make stop`: started into a pipe it
# returns once the daemon is up (the daemon keeps its own output file, not
# the pipe), and it stops the daemon it started.
root=$(cd "$(dirname "$E2E_LIB")/../.." && pwd)
export PYV2_RUN_DIR="$W"
# The script installs the on-line help where the configuration says.
printf 'Help %s\n' "$W/help" | write_config

(bash "$root/scripts/run-daemon.sh" "$E2E_DAEMON" start | cat >"$W/run.out") &
pipeline=$!
for _ in $(seq 600); do
    kill -0 "$pipeline" 2>/dev/null || break
    sleep 0.1
done
if kill -0 "$pipeline" 2>/dev/null; then
    fail "the run script did not return into a pipe: $(cat "$W/run.out")"
    return
fi
pass
expect_in "run script says where the output goes" "Its output goes to $W/pyv2d.out" "$W/run.out"
check "the daemon answers" curl -sk --max-time 10 -o /dev/null "$BASE/blank.html"
check "pid file" test -s "$W/pyv2d.pid"
check "the daemon's own output file" test -f "$W/pyv2d.out"
expect_in "run script says where the help is" "The on-line help is installed in $W/help" "$W/run.out"
check "the help installed" cmp -s "$root/help/en/Pyv_2_OLH-1-01.html" "$W/help/en/Pyv_2_OLH-1-01.html"
fetch help /help/Pyv_2_OLH-1-01.html -b "WOXUSER=$USER_COOKIE_PYV2"
check "the help answered" cmp -s "$W/help.b" "$W/help/en/Pyv_2_OLH-1-01.html"
pid=$(cat "$W/pyv2d.pid")

bash "$root/scripts/run-daemon.sh" "$E2E_DAEMON" start >"$W/again.out"
expect_in "a second start finds it running" "already running (pid $pid)" "$W/again.out"
bash "$root/scripts/run-daemon.sh" "$E2E_DAEMON" stop >"$W/stop.out"
expect_in "stop" "pyv2 daemon $pid stopped" "$W/stop.out"
for _ in $(seq 100); do
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
done
check_not "the daemon ended" kill -0 "$pid" 2>/dev/null
