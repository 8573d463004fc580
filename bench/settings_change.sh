#!/usr/bin/env bash
# Benchmark, run by hand (not part of make test): how long the daemon takes
# to answer a change of a setting that it stores in its configuration file
# (Refresh=, alternately 3 and 4, as the administrator), against the same
# request from a user, which is refused and stores nothing. Each request is
# a new HTTPS connection made by curl; the figure is the time from the
# request sent to the first byte of the answer (curl's starttransfer less
# pretransfer), so the TLS handshake is not in it. The daemon runs in
# bench/sandbox.sh (nginx beside it is not used here).
#
#   bench/settings_change.sh [daemon-program] [requests per kind, default 200]
set -euo pipefail
if [ -z "${WORK:-}" ]; then
    here=$(cd "$(dirname "$0")/.." && pwd)
    export REQUESTS=${2:-200}
    exec "$here/bench/sandbox.sh" "${1:-$here/build/daemon/pyv2d-sim}" "$0"
fi

ADMIN="WOXUSER=mJmyR92BjuCos"  # the default administrator password's cookie
USER="WOXUSER=jUH8V5yT/afEs"
# one <cookie> <refresh>: milliseconds from the request sent to the answer's
# first byte, and the whole request.
one() {
    curl -sk -o /dev/null -b "$1" -w '%{time_pretransfer} %{time_starttransfer} %{time_total}\n' \
        "https://127.0.0.1:888/page4.html?Refresh=$2&c=0" |
        awk '{ printf "%.3f %.3f\n", ($2 - $1) * 1000, $3 * 1000 }'
}
: >"$WORK/admin" && : >"$WORK/user"
for i in $(seq "$REQUESTS"); do
    one "$ADMIN" $((3 + i % 2)) >>"$WORK/admin"
    one "$USER" $((3 + i % 2)) >>"$WORK/user"
done
grep -q "^Refresh [34]$" /etc/pyv2/pyv2.conf || { echo "the change was not stored"; exit 1; }
for kind in admin user; do
    printf '%s: answer %s ms (median), whole request %s ms, %s requests\n' \
        "$([ $kind == admin ] && echo 'Refresh= stored' || echo 'Refresh= refused (user)')" \
        "$(cut -d' ' -f1 "$WORK/$kind" | median)" "$(cut -d' ' -f2 "$WORK/$kind" | median)" \
        "$(wc -l <"$WORK/$kind")"
done
