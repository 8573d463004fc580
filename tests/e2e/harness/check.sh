#!/usr/bin/env bash
# The end-to-end harness itself: a test passes only when it ran to its end,
# ran no unknown command and made checks of which none failed; without root
# the tests fail unless PYV2_SKIP_E2E=1 skips them.
#
#   check.sh <daemon-program> <reaper-program>
set -uo pipefail
daemon=$1
reaper=$2
sandbox="$(cd "$(dirname "$0")/.." && pwd)/sandbox.sh"
cases=$(mktemp -d /tmp/pyv2-harness.XXXXXX)
trap 'rm -rf "$cases"' EXIT
chmod a+rx "$cases"
passed=0 failed=0

# expect <case> <pass|fail> <test text> [env...]: runs the text as a test.
expect() {
    local name=$1 want=$2 text=$3
    shift 3
    printf '%s\n' "$text" >"$cases/$name.sh"
    chmod a+r "$cases/$name.sh"
    env "$@" bash "$sandbox" "$daemon" "$reaper" "$cases/$name.sh" >"$cases/$name.out" 2>&1
    local status=$?
    local got=fail
    [ "$status" -eq 0 ] && got=pass
    [ "$status" -eq 77 ] && got=skip
    if [ "$got" == "$want" ]; then
        passed=$((passed + 1))
    else
        failed=$((failed + 1))
        echo "FAILED: $name: expected $want, got $got (status $status)"
        sed 's/^/    /' "$cases/$name.out"
    fi
}

if [ "$(id -u)" -ne 0 ]; then
    echo "SKIP: the harness checks need root"
    exit 77
fi

expect passes pass 'check "true holds" true'
expect no_check fail ':'
expect failed_check fail 'check "true holds" true
check "false holds" false'
expect exits_early fail 'check "true holds" true
exit 0
check "false holds" false'
expect returns_early fail 'check "true holds" true
return
check "false holds" false'
expect misspelt_helper fail 'check "true holds" true
chekc "a typo" true'
expect unknown_program_in_a_check fail 'check_not "a program that is not there fails" no_such_program_of_pyv2'
expect unknown_program_in_a_substitution fail 'expect_eq "empty" "" "$(no_such_program_of_pyv2 2>/dev/null)"'
expect syntax_error_further_down fail 'check "true holds" true
if then
check "false holds" false'
expect exec_early fail 'check "true holds" true
exec true
check "false holds" false'
expect exit_under_its_own_trap fail 'check "true holds" true
trap ":" EXIT
exit 0
check "false holds" false'
expect failed_check_in_a_subshell fail 'check "true holds" true
( check "false holds" false )'
expect failed_check_in_a_pipe fail 'check "true holds" true
printf "a\n" | while read -r line; do expect_eq "a line" b "$line"; done'
expect checks_in_a_subshell pass '( check "true holds" true )'
expect check_not_of_a_program_not_run fail 'check "true holds" true
check_not "a wrapped program that is not there fails" timeout 5 no_such_program_of_pyv2'
expect unknown_case_of_a_client_script fail 'check "a case" /usr/bin/python3 "$(dirname "$E2E_LIB")/slow_clients.py" no_such_case'
expect unknown_case_of_the_waiting_room fail 'check "a case" /usr/bin/python3 "$(dirname "$E2E_LIB")/waiting_room.py" 888 no_such_case'

# Without root the tests fail, unless skipped on purpose.
if command -v setpriv >/dev/null; then
    as_nobody=(setpriv --reuid=65534 --regid=65534 --clear-groups)
    expect without_root fail 'check "true holds" true' "${as_nobody[@]}"
    grep -q "need root" "$cases/without_root.out" || { failed=$((failed + 1)); echo "FAILED: without root: $(cat "$cases/without_root.out")"; }
    expect without_root_skipped skip 'check "true holds" true' PYV2_SKIP_E2E=1 "${as_nobody[@]}"
fi

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
