#!/usr/bin/env bash
# The benchmarks' common ground, run by hand (not part of make test): starts
# the daemon and nginx (one worker, serving the daemon's login page as a
# static file with the daemon's own certificate and key) inside private
# mount, network and PID namespaces, so nothing leaves the loopback interface
# and the machine's /etc/pyv2 is not touched; then sources the measurement
# script, which finds the daemon on port 888, nginx on port 8443 and the
# page at $WORK/www/login.html. Measurements alternate between the two
# servers in rounds, so that a change in the machine's load touches both,
# and report the median of the rounds. The work directory (the daemon's
# /etc/pyv2 and /var/log) is under /var/tmp, on the disk, so that the
# daemon's file syncs cost what they cost there.
#
#   bench/sandbox.sh <daemon-program> <measurement-script> [arguments...]
# Needs root; installs wrk and nginx-light from Debian when missing.
set -euo pipefail
daemon=$(readlink -f "$1")
measure=$(readlink -f "$2")
shift 2

[ "$(id -u)" -eq 0 ] || { echo "run as root"; exit 1; }
[ -x "$daemon" ] || { echo "no daemon program at $daemon (make build first)"; exit 1; }
missing=()
command -v wrk >/dev/null || missing+=(wrk)
[ -x /usr/sbin/nginx ] || missing+=(nginx-light)
if [ ${#missing[@]} -gt 0 ]; then
    apt-get update -qq
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${missing[@]}"
fi

work=$(mktemp -d /var/tmp/pyv2-bench.XXXXXX)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/etc-upper" "$work/etc-work" "$work/etc-pyv2" "$work/log" "$work/www" "$work/nginx"

unshare --mount --net --pid --fork --mount-proc --kill-child \
    env WORK="$work" DAEMON="$daemon" MEASURE="$measure" bash -c '
set -euo pipefail
mount --make-rprivate /
mount -t overlay overlay -o "lowerdir=/etc,upperdir=$WORK/etc-upper,workdir=$WORK/etc-work" /etc
mkdir -p /etc/pyv2
mount --bind "$WORK/etc-pyv2" /etc/pyv2
mount --bind "$WORK/log" /var/log
ip link set lo up

"$DAEMON" >"$WORK/daemon.out" 2>&1
for _ in $(seq 100); do curl -sk -o /dev/null https://127.0.0.1:888/blank.html && break; sleep 0.1; done
curl -sk -o "$WORK/www/login.html" https://127.0.0.1:888/login.html

echo Mv9qe >"$WORK/nginx/pass"
cat >"$WORK/nginx/nginx.conf" <<CONF
user root;
worker_processes 1;
daemon on;
pid $WORK/nginx/nginx.pid;
error_log $WORK/nginx/error.log;
events { worker_connections 1024; }
http {
    access_log off;
    client_body_temp_path $WORK/nginx;
    server {
        listen 127.0.0.1:8443 ssl;
        ssl_certificate /etc/pyv2/pyv2.pem;
        ssl_certificate_key /etc/pyv2/pyv2.pem;
        ssl_password_file $WORK/nginx/pass;
        ssl_protocols TLSv1.2 TLSv1.3;
        keepalive_timeout 0;
        location / { root $WORK/www; default_type text/html; }
    }
}
CONF
/usr/sbin/nginx -c "$WORK/nginx/nginx.conf" -e "$WORK/nginx/error.log"
cmp -s <(curl -sk https://127.0.0.1:8443/login.html) "$WORK/www/login.html" || { echo "nginx does not serve the page"; cat "$WORK/nginx/error.log"; exit 1; }

# ratio <daemon figure> <nginx figure>; median of the figures on standard input
ratio() { awk "BEGIN { printf \"%.2f\", $1 / $2 }"; }
median() { sort -n | awk "{ v[NR] = \$1 } END { print v[int((NR + 1) / 2)] }"; }
source "$MEASURE"
' "$@"
