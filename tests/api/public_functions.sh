#!/usr/bin/env bash
# Compares the library's public functions with api/public_functions.txt:
# every listed name must be declared by api/ctl.h (through the files of api/
# it includes) and defined in the library's archives, and every ctl_
# function that api/ declares must be listed.
# Usage: public_functions.sh <c++ compiler> <source dir> <nm> <archive>...
set -euo pipefail
cxx=$1 src=$2 nm=$3
shift 3
list="$src/api/public_functions.txt"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# The list: one name a line, each once.
grep -v '^[[:space:]]*$' "$list" > "$work/listed"
sort "$work/listed" > "$work/listed.sorted"
dups=$(uniq -d "$work/listed.sorted")
[ -z "$dups" ] || { echo "listed twice in $list:"; echo "$dups"; exit 1; }

# Declarations: the preprocessed header, keeping what came from files of api/.
echo '#include "api/ctl.h"' | "$cxx" -std=c++20 -x c++ -E -I "$src" - |
  awk -v dir="$src/api/" '
    /^# [0-9]+ "/ { file = $3; gsub(/"/, "", file); from_api = index(file, dir) == 1; next }
    from_api { print }' |
  grep -o '\bctl_[a-z0-9_]*[[:space:]]*(' | tr -d ' (' | sort -u > "$work/declared"

# Definitions: functions the archives define.
"$nm" -g --defined-only "$@" 2>/dev/null | awk '$2 == "T" && $3 ~ /^ctl_/ { print $3 }' |
  sort -u > "$work/defined"

status=0
report() {
  if [ -s "$2" ]; then
    echo "$1 ($(wc -l < "$2")):"
    # In the list's order where the names are listed.
    if [ "$3" = listed ]; then grep -Fxf "$2" "$work/listed"; else cat "$2"; fi
    status=1
  fi
}
comm -23 "$work/listed.sorted" "$work/declared" > "$work/undeclared"
comm -12 "$work/listed.sorted" "$work/declared" | comm -23 - "$work/defined" > "$work/undefined"
comm -13 "$work/listed.sorted" "$work/declared" > "$work/unlisted"
report "listed but not declared by api/ctl.h" "$work/undeclared" listed
report "declared but not defined in the library" "$work/undefined" listed
report "declared by api/ctl.h but not listed" "$work/unlisted" other
[ $status -ne 0 ] || echo "$(wc -l < "$work/listed") public functions declared and defined"
exit $status
