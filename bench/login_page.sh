#!/usr/bin/env bash
# Benchmark, run by hand (not part of make test): requests per second of the
# daemon answering the login page over a new TLS connection per request,
# against nginx (one worker) serving the same bytes as a static file with the
# same certificate and key, both measured with wrk in one run (see
# bench/sandbox.sh). wrk resumes TLS sessions, so most of its handshakes are
# abbreviated ones; bench/handshakes.sh measures full ones.
#
#   bench/login_page.sh [daemon-program] [seconds per round] [connections] [rounds]
set -euo pipefail
if [ -z "${WORK:-}" ]; then
    here=$(cd "$(dirname "$0")/.." && pwd)
    export SECONDS_RUN=${2:-5} CONNECTIONS=${3:-4} ROUNDS=${4:-3}
    exec "$here/bench/sandbox.sh" "${1:-$here/build/daemon/pyv2d-sim}" "$0"
fi

# run <url>: requests/s
run() {
    wrk -t1 -c"$CONNECTIONS" -d"${SECONDS_RUN}s" -H "Connection: close" "$1" | awk "/Requests\\/sec/ { print \$2 }"
}
echo "login page: $(stat -c %s "$WORK/www/login.html") bytes, $CONNECTIONS connections"
d_all=() n_all=()
for round in $(seq "$ROUNDS"); do
    d_all+=("$(run https://127.0.0.1:888/login.html)")
    n_all+=("$(run https://127.0.0.1:8443/login.html)")
done
d=$(printf '%s\n' "${d_all[@]}" | median)
n=$(printf '%s\n' "${n_all[@]}" | median)
printf "daemon %s requests/s [%s], nginx %s requests/s [%s], daemon/nginx = %s\n" \
    "$d" "${d_all[*]}" "$n" "${n_all[*]}" "$(ratio "$d" "$n")"
