#!/usr/bin/env bash
# Benchmark, run by hand (not part of make test): requests per second of the
# daemon answering the login page over a new TLS connection per request,
# against nginx (one worker) serving the same bytes as a static file with the
# same certificate and key, both measured with wrk in one run (see
# bench/sandbox.sh). wrk resumes TLS sessions, so most of its handshakes are
# abbreviated ones; bench/handshakes.sh measures full ones.
#
#   bench/login_page.sh [daemon-program] [seconds] [connections]
set -euo pipefail
if [ -z "${WORK:-}" ]; then
    here=$(cd "$(dirname "$0")/.." && pwd)
    export SECONDS_RUN=${2:-10} CONNECTIONS=${3:-4}
    exec "$here/bench/sandbox.sh" "${1:-$here/build/daemon/pyv2d-sim}" "$0"
fi

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
    "$(ratio "$daemon_rps" "$nginx_rps")"
