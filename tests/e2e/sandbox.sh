#!/usr/bin/env bash
# Runs one end-to-end test file against the real daemon program, as root, in
# private mount, network, UTS and PID namespaces: /etc/pyv2 and /var/log are
# directories of the test's own, the loopback network and port 888 are the
# test's own, and every process the test started ends with it.
#
#   sandbox.sh <daemon-program> <reaper-program> <test-file>
set -euo pipefail

daemon=$(readlink -f "$1")
reaper=$(readlink -f "$2")
test_file=$(readlink -f "$3")
here=$(cd "$(dirname "$0")" && pwd)

if [ "$(id -u)" -ne 0 ] || ! command -v unshare >/dev/null; then
    if [ "${PYV2_SKIP_E2E:-}" == 1 ]; then
        echo "SKIP: the end-to-end tests need root and unshare (PYV2_SKIP_E2E=1)"
        exit 77
    fi
    echo "FAILED: the end-to-end tests need root and unshare; set PYV2_SKIP_E2E=1 to skip them"
    exit 1
fi
# A syntax error anywhere in the test fails it before anything runs.
if ! bash -n "$test_file"; then
    echo "FAILED: syntax error in $test_file"
    exit 1
fi

work=$(mktemp -d /tmp/pyv2-e2e.XXXXXX)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/etc-upper" "$work/etc-work" "$work/etc-pyv2" "$work/var-log" "$work/scratch"

set +e
# Ten minutes a test; a longer fault run made by hand gets its own length more.
timeout --kill-after=5 $((600 + ${PYV2_FAULT_SECONDS:-0})) unshare --mount --net --uts --pid --fork --mount-proc --kill-child \
    env E2E_WORK="$work" E2E_DAEMON="$daemon" E2E_REAPER="$reaper" E2E_LIB="$here/lib.sh" \
    bash -c '
        set -e
        mount --make-rprivate /
        # /etc stays as it is, seen through an overlay, so /etc/pyv2 can be
        # made without touching the machine.
        mount -t overlay overlay -o "lowerdir=/etc,upperdir=$E2E_WORK/etc-upper,workdir=$E2E_WORK/etc-work" /etc
        mkdir -p /etc/pyv2
        mount --bind "$E2E_WORK/etc-pyv2" /etc/pyv2
        mount --bind "$E2E_WORK/var-log" /var/log
        ip link set lo up
        hostname testhost
        set +e
        source "$E2E_LIB"
        e2e_run "$0"
    ' "$test_file"
status=$?
set -e
# Only a test that ran through e2e_finish, which found it passed, passes.
if [ "$status" -eq 0 ] && [ "$(cat "$work/finished" 2>/dev/null)" != pass ]; then
    echo "FAILED: the test ended without its checks being counted (an exec, or an exit under a trap of its own)"
    exit 1
fi
exit $status
