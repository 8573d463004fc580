#!/usr/bin/env bash
# Benchmark, run by hand (not part of make test): requests per second of the
# daemon answering the login page when every request makes a full TLS
# handshake (no session resumption), with 1, 4 and 16 concurrent clients (or
# the counts given), against nginx (one worker) serving the same bytes with
# the same certificate, both in one run (see bench/sandbox.sh). The client is
# bench/handshake_client.cpp, built here with g++; it speaks TLS 1.2 unless
# told 1.3.
#
#   bench/handshakes.sh [daemon-program] [seconds per round] [rounds] ["client counts"] [1.2|1.3]
set -euo pipefail
if [ -z "${WORK:-}" ]; then
    here=$(cd "$(dirname "$0")/.." && pwd)
    export SECONDS_RUN=${2:-5} ROUNDS=${3:-3} CLIENT_COUNTS=${4:-1 4 16} TLS_VERSION=${5:-1.2}
    export CLIENT="$here/build/bench/handshake_client"
    mkdir -p "$(dirname "$CLIENT")"
    if [ ! -x "$CLIENT" ] || [ "$here/bench/handshake_client.cpp" -nt "$CLIENT" ]; then
        g++ -std=c++20 -O2 -o "$CLIENT" "$here/bench/handshake_client.cpp" -lssl -lcrypto -pthread
    fi
    exec "$here/bench/sandbox.sh" "${1:-$here/build/daemon/pyv2d-sim}" "$0"
fi

# measure <port> <clients>: "<requests/s> <failures>"
measure() { "$CLIENT" "$1" /login.html "$2" "$SECONDS_RUN" "$TLS_VERSION"; }
echo "TLS $TLS_VERSION, $ROUNDS rounds of $SECONDS_RUN s each"
for clients in $CLIENT_COUNTS; do
    d_all=() n_all=() failed=0
    for round in $(seq "$ROUNDS"); do
        read -r rps f < <(measure 888 "$clients")
        d_all+=("$rps")
        failed=$((failed + f))
        read -r rps f < <(measure 8443 "$clients")
        n_all+=("$rps")
        failed=$((failed + f))
    done
    d=$(printf '%s\n' "${d_all[@]}" | median)
    n=$(printf '%s\n' "${n_all[@]}" | median)
    printf "%d client(s): daemon %s requests/s [%s], nginx %s requests/s [%s], daemon/nginx = %s, %d failed\n" \
        "$clients" "$d" "${d_all[*]}" "$n" "${n_all[*]}" "$(ratio "$d" "$n")" "$failed"
done
