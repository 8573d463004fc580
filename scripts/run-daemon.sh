#!/usr/bin/env bash
# Starts the daemon program on the default simulated controllers (make run)
# or stops it again (make stop). It needs root: it keeps its configuration
# and certificate in /etc/pyv2, its logs in /var/log, and listens on port 888;
# run by another user, it runs itself again through sudo.
set -euo pipefail
if [ "$(id -u)" -ne 0 ]; then
    exec sudo -- env PYV2_RUN_DIR="${PYV2_RUN_DIR:-}" "$0" "$@"
fi
program=$(readlink -f "${1:?daemon program}")
action=${2:-start}
port=888
# The pid file and the daemon's own output file (what it prints, its start-up
# failures included) stand beside the program unless PYV2_RUN_DIR names
# another directory.
run_dir=${PYV2_RUN_DIR:-$(dirname "$program")}
pid_file="$run_dir/pyv2d.pid"
out_file="$run_dir/pyv2d.out"

# A running process of the program.
is_daemon() { [ "$(readlink -f "/proc/$1/exe" 2>/dev/null)" == "$program" ]; }

running_pid() {
    [ -s "$pid_file" ] || return 1
    local pid
    pid=$(cat "$pid_file")
    is_daemon "$pid" && echo "$pid"
}

# The processes of the program in the session whose id is $1.
daemons_in_session() {
    local stat line fields pid
    for stat in /proc/[0-9]*/stat; do
        pid=${stat#/proc/}
        pid=${pid%/stat}
        line=$(cat "$stat" 2>/dev/null) || continue
        # The fields after the command's name, which may hold blanks: state,
        # parent, process group, session.
        read -r -a fields <<<"${line##*) }"
        if [ "${fields[3]:-}" == "$1" ] && is_daemon "$pid"; then echo "$pid"; fi
    done
}

# The processes listening on the port.
listeners() { ss -Hltnp "sport = :$port" | grep -o 'pid=[0-9]*' | cut -d= -f2 | sort -u; }

if [ "$action" == stop ]; then
    if pid=$(running_pid); then
        kill -TERM "$pid"
        rm -f "$pid_file"
        echo "pyv2 daemon $pid stopped"
    else
        echo "no pyv2 daemon started by make run is running"
    fi
    exit 0
fi

if pid=$(running_pid); then
    echo "the pyv2 daemon is already running (pid $pid): make stop ends it"
    exit 0
fi
# The daemon keeps its configuration and certificate in /etc/pyv2, which an
# installation provides.
install -d -m 0700 /etc/pyv2
# The on-line help, where the configuration's Help key says.
help_dir=$("$(dirname "$0")/install-help.sh")
# The program forks at once: the process started here returns, and its
# child is the daemon. Started in a session of its own, the daemon is the
# program's process in the session that bears the started process's pid, and
# the start succeeded only when that process listens on the port: another
# program, or another daemon, may hold it. The first start generates the
# certificate, which takes a moment. The daemon writes to its own output
# file, so it keeps no descriptor of this script's output: `make run | cat`
# returns once the daemon is up.
setsid "$program" </dev/null >"$out_file" 2>&1 &
session=$!
wait "$session" || true
pid=""
for _ in $(seq 300); do
    daemons=$(daemons_in_session "$session")
    [ -n "$daemons" ] || break
    pid=$(comm -12 <(echo "$daemons" | sort) <(listeners) | head -1)
    [ -n "$pid" ] && break
    sleep 0.1
done
if [ -z "$pid" ]; then
    if [ -n "$daemons" ]; then
        # Still running but not listening: it is ended, so that a failed
        # start leaves nothing behind.
        mapfile -t pids <<<"$daemons"
        kill -TERM "${pids[@]}" 2>/dev/null || true
        echo "the daemon did not listen on port $port within 30 seconds; its output:"
    else
        echo "the daemon ended without listening on port $port; its output:"
    fi
    cat "$out_file"
    exit 1
fi
echo "$pid" >"$pid_file"
cat <<TEXT
pyv2 daemon running (pid $pid) on the simulated controllers.
  Open   https://127.0.0.1:$port/  (the certificate is self-signed)
  Log in as user or administrator with the password "pyv2"
  Stop   make stop
  The on-line help is installed in $help_dir
  Its output goes to $out_file
TEXT
