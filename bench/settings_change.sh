#!/usr/bin/env bash
# Benchmark, run by hand (not part of make test): how long the daemon takes
# to answer a change of a setting that it stores in its configuration file
# (Refresh=, alternately 3 and 4, as the administrator), against the same
# request from a user, which is refused and stores nothing. Each request is
# a new HTTPS connection made by curl; the figure is the time from the
# request sent to the first byte of the answer (curl's starttransfer less
# pretransfer), so the TLS handshake is not in it. The daemon runs in
# private mount, network and PID namespaces with its /etc/pyv2 in a
# directory under /var/tmp, on the disk, so the file's syncs cost what
# they cost there.
#
#   bench/settings_change.sh [daemon-program] [requests per kind, default 200]
set -euo pipefail
if [ -z "${WORK:-}" ]; then
    here=$(cd "$(dirname "$0")/.." && pwd)
    daemon=$(readlink -f "${1:-$here/build/daemon/pyv2d-sim}")
    [ "$(id -u)" -eq 0 ] || { echo "run as root"; exit 1; }
    [ -x "$daemon" ] || { echo "no daemon program at $daemon (make build first)"; exit 1; }
    work=$(mktemp -d /var/tmp/pyv2-bench.XXXXXX)
    trap 'rm -rf "$work"' EXIT
    mkdir -p "$work/etc-upper" "$work/etc-work" "$work/etc-pyv2" "$work/log"
    unshare --mount --net --pid --fork --mount-proc --kill-child \
        env WORK="$work" DAEMON="$daemon" REQUESTS="${2:-200}" bash "$0"
    exit
fi

mount --make-rprivate /
mount -t overlay overlay -o "lowerdir=/etc,upperdir=$WORK/etc-upper,workdir=$WORK/etc-work" /etc
mkdir -p /etc/pyv2
mount --bind "$WORK/etc-pyv2" /etc/pyv2
mount --bind "$WORK/log" /var/log
ip link set lo up
"$DAEMON" >"$WORK/daemon.out" 2>&1
for _ in $(seq 100); do curl -sk -o /dev/null https://127.0.0.1:888/blank.html && break; sleep 0.1; done

ADMIN="WOXUSER=mJmyR92BjuCos"  # the default administrator password's cookie
USER="WOXUSER=jUH8V5yT/afEs"
# one <cookie> <refresh>: milliseconds from the request sent to the answer's
# first byte, and the whole request.
one() {
    curl -sk -o /dev/null -b "$1" -w '%{time_pretransfer} %{time_starttransfer} %{time_total}\n' \
        "https://127.0.0.1:888/page4.html?Refresh=$2&c=0" |
        awk '{ printf "%.3f %.3f\n", ($2 - $1) * 1000, $3 * 1000 }'
}
median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
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
