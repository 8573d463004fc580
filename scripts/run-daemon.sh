#!/usr/bin/env bash
# Starts the daemon program on the default simulated controllers (make run)
# or stops it again (make stop). It needs root: it keeps its configuration
# and certificate in /etc/pyv2, its logs in /var/log, and listens on port 888.
set -euo pipefail
program=$(readlink -f "${1:?daemon program}")
action=${2:-start}
# The pid file and the daemon's own output file (what it prints, its start-up
# failures included) stand beside the program unless PYV2_RUN_DIR names
# another directory.
run_dir=${PYV2_RUN_DIR:-$(dirname "$program")}
pid_file="$run_dir/pyv2d.pid"
out_file="$run_dir/pyv2d.out"
sudo_cmd=""
[ "$(id -u)" -eq 0 ] || sudo_cmd="sudo"

running_pid() {
    [ -s "$pid_file" ] || return 1
    local pid
    pid=$(cat "$pid_file")
    [ "$(readlink -f "/proc/$pid/exe" 2>/dev/null)" == "$program" ] && echo "$pid"
}

if [ "$action" == stop ]; then
    if pid=$(running_pid); then
        $sudo_cmd kill -TERM "$pid"
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
$sudo_cmd install -d -m 0700 /etc/pyv2
# The on-line help, where the configuration's Help key says.
help_dir=$($sudo_cmd "$(dirname "$0")/install-help.sh")
# The program forks into the background; its first start generates the
# certificate, which takes a moment. It writes to its own output file, so it
# keeps no descriptor of this script's output: `make run | cat` returns once
# the daemon is up.
$sudo_cmd "$program" </dev/null >"$out_file" 2>&1
for _ in $(seq 100); do
    pid=$($sudo_cmd ss -Hltnp 'sport = :888' 2>/dev/null | grep -o 'pid=[0-9]*' | head -1 | cut -d= -f2 || true)
    [ -n "$pid" ] && break
    sleep 0.1
done
if [ -z "${pid:-}" ]; then
    echo "the daemon did not start listening on port 888 (is the port in use?); its output:"
    cat "$out_file"
    exit 1
fi
echo "$pid" >"$pid_file"
cat <<TEXT
pyv2 daemon running (pid $pid) on the simulated controllers.
  Open   https://127.0.0.1:888/  (the certificate is self-signed)
  Log in as user or administrator with the password "pyv2"
  Stop   make stop
  The on-line help is installed in $help_dir
  Its output goes to $out_file
TEXT
