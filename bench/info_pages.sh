#!/usr/bin/env bash
# What each content page and the menu cost the daemon, with the simulator's
# share apart. Runs build/bench/info_pages_bench natively for the CPU time
# of a build (median of many), then each page under callgrind for the share
# of its instructions spent in the simulated drivers (the platform:: seam
# and below); the cost outside the simulator is the median times the rest.
#
#   bench/info_pages.sh [build-dir] [controllers] [page]
#
# Without a controller count: the default simulated machine. With one: a
# machine of that many controllers of the largest kind (128 ports and phys,
# 32 units of 4 drives, 8 enclosures of 16 slots each); 255 is the most the
# controller list holds. A page name measures that page alone. With
# NATIVE=1 only the native figures are taken: at 255 controllers every page
# takes seconds in the simulator and far longer under callgrind, so the
# simulator's share is best taken on a smaller machine of the same kind
# (8 controllers, say) and applied to the native figures.
set -euo pipefail
build=${1:-build}
controllers=${2:-}
only=${3:-}
bench="$build/bench/info_pages_bench"
[ -x "$bench" ] || { echo "build $bench first (cmake --build $build --target info_pages_bench)"; exit 2; }
[ "${NATIVE:-0}" = 1 ] || command -v valgrind >/dev/null || { echo "valgrind is needed"; exit 2; }
work=$(mktemp -d /tmp/pyv2-pages-bench.XXXXXX)
trap 'rm -rf "$work"' EXIT

builds=200
profiled=10
if [ -n "$controllers" ]; then
    {
        echo "kernel release=6.1.0-sim"
        echo "driver name=dq-sas pairing=sysfs"
        for ((c = 0; c < controllers; c++)); do
            echo "controller index=$c driver=dq-sas arch=8 model=\"QX-8800-16i\" serial=\"S$c\" ports=128 phys=128"
            for ((p = 0; p < 128; p++)); do
                echo "  drive port=$p model=\"SIMDISK X1000\" serial=\"X$c-$p\" interface=sas enclosure=$((p / 16)) slot=$((p % 16))"
            done
            for ((u = 0; u < 32; u++)); do
                echo "  unit number=$u type=raid5 drives=$((4 * u)),$((4 * u + 1)),$((4 * u + 2)),$((4 * u + 3))"
            done
            for ((e = 0; e < 8; e++)); do echo "  enclosure number=$e type=ses kind=2 slots=16"; done
        done
    } >"$work/machine.scenario"
    export PYV2_SIM_SCENARIO="$work/machine.scenario"
    builds=$((controllers > 8 ? 3 : 20))
    profiled=1
fi

"$bench" "$builds" ${only:+"$only"} >"$work/native.txt"
head -1 "$work/native.txt"
if [ "${NATIVE:-0}" = 1 ]; then
    tail -n +2 "$work/native.txt"
    exit 0
fi
printf '%-13s %11s %7s %14s %14s %9s %9s\n' page "median us" "sim %" "outside sim us" "page writer us" bytes requests
# The instructions of a callgrind profile: in all, and in the simulator.
# Run from / so that no function is listed twice, under its file's path
# and again under the path relative to the working directory.
instructions() {
    (cd / && callgrind_annotate --inclusive=yes --threshold=100 --auto=no "$1") |
        awk '/PROGRAM TOTALS/ { gsub(",", "", $1); t = $1 }
             / [^ ]*platform[^ ]*:platform::[a-z_]+\(/ { gsub(",", "", $1); s += $1 }
             END { print t + 0, s + 0 }'
}
# Pages measured (a name, then figures); not the notes of pages this build
# lacks or could not build.
tail -n +3 "$work/native.txt" | grep -E '^[a-z].*[a-z] +[0-9]' | while read -r line; do
    page=$(echo "$line" | sed -E 's/^(.*[a-z]) +[0-9].*$/\1/')
    read -r median _min bytes requests <<<"${line#"$page"}"
    out="$work/cg.$(echo "$page" | tr ' ' _)"
    # The whole build, then only the page writer (the HTML and scripts; an
    # action's redirect page).
    valgrind --tool=callgrind --callgrind-out-file="$out" --toggle-collect='*build_page*' \
        "$bench" "$profiled" "$page" >/dev/null 2>&1
    valgrind --tool=callgrind --callgrind-out-file="$out.writer" --toggle-collect='write_page*' \
        --toggle-collect='write_menu*' --toggle-collect='PageBuilder::write_redirect*' \
        "$bench" "$profiled" "$page" >/dev/null 2>&1
    read -r total sim <<<"$(instructions "$out")"
    read -r writer writer_sim <<<"$(instructions "$out.writer")"
    awk -v p="$page" -v m="$median" -v t="$total" -v s="$sim" -v w="$writer" -v ws="$writer_sim" \
        -v b="$bytes" -v r="$requests" 'BEGIN {
            share = t > 0 ? s / t : 0
            writing = t > 0 ? m * (w - ws) / t : 0
            printf "%-13s %11.1f %7.1f %14.1f %14.1f %9s %9s\n", p, m, 100 * share, m * (1 - share), writing, b, r
        }'
done
grep '^#' "$work/native.txt" || true
