#!/usr/bin/env bash
# What each content page and the menu cost at real firmware speeds: for the
# default simulated machine and for a large one (bench/large_machine.scenario:
# 16 controllers of 24 to 32 drives, 8 units and 2 enclosures each), one
# table each of the driver requests one build sends, how many of them are
# distinct, and the median wall time of a build when the simulated firmware
# answers each request at once, after 0.1 ms and after 1 ms, and at 0.5 ms
# (the time at none plus 0.5 ms per request). Takes a few minutes.
#
#   bench/page_latency.sh [build-dir] [page]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=${1:-build}
only=${2:-}
bench="$build/bench/info_pages_bench"
[ -x "$bench" ] || { echo "build $bench first (cmake --build $build --target info_pages_bench)"; exit 2; }

echo "default machine: wall ms of a build, median"
env -u PYV2_SIM_SCENARIO "$bench" --wall 20 ${only:+"$only"}
echo
echo "large machine ($here/large_machine.scenario): wall ms of a build, median"
PYV2_SIM_SCENARIO="$here/large_machine.scenario" "$bench" --wall 5 ${only:+"$only"}
