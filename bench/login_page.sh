#!/usr/bin/env bash
# Benchmark, run by hand (not part of make test): requests per second of the
# daemon answering the login page over a new TLS connection per request,
# against nginx (one worker) serving the same bytes as a static file with the
# same certificate and key. Both are measured with wrk in one run, inside
# private mount and network namespaces, so nothing leaves the loopback
# interface and the machine's /etc/pyv2 is not touched.
#
#   bench/login_page.sh [daemon-program] [seconds] [connections]
# Needs root; installs wrk and nginx-light from Debian when missing.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
daemon=$(readlink -f "${1:-$here/build/daemon/pyv2d-sim}")
seconds=${2:-10}
connections=${3:-4}

[ "$(id -u)" -eq 0 ] || { echo "run as root"; exit 1; }
[ -x "$daemon" ] || { echo "no daemon program at $daemon (make build first)"; exit 1; }
missing=()
command -v wrk >/dev/null || missing+=(wrk)
[ -x /usr/sbin/nginx ] || missing+=(nginx-light)
if [ ${#missing[@]} -gt 0 ]; then
    apt-get update -qq
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${missing[@]}"
fi

work=$(mktemp -d /tmp/pyv2-bench.XXXXXX)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/etc-upper" "$work/etc-work" "$work/etc-pyv2" "$work/log" "$work/www" "$work/nginx"

unshare --mount --net --pid --fork --mount-proc --kill-child \
    env WORK="$work" DAEMON="$daemon" SECONDS_RUN="$seconds" CONNECTIONS="$connections" bash -c '
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

# nginx: one worker, the daemon'\''s own certificate file (key and certificate,
# the key under its pass phrase), the login page as a static file.
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

run() {
    wrk -t1 -c"$CONNECTIONS" -d"${SECONDS_RUN}s" -H "Connection: close" "$1" | tee /dev/stderr |
        awk "/Requests\\/sec/ { print \$2 }"
}
echo "== daemon: https://127.0.0.1:888/login.html ($(stat -c %s "$WORK/www/login.html") bytes)"
daemon_rps=$(run https://127.0.0.1:888/login.html)
echo "== nginx: the same bytes as a static file"
nginx_rps=$(run https://127.0.0.1:8443/login.html)
echo
printf "daemon %s requests/s, nginx %s requests/s, daemon/nginx = %s\n" "$daemon_rps" "$nginx_rps" \
    "$(awk "BEGIN { printf \"%.2f\", $daemon_rps / $nginx_rps }")"
'
