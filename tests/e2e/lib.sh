# Helpers of the end-to-end tests, sourced inside the sandbox (sandbox.sh):
# starting and stopping the daemon, HTTPS requests with curl and openssl
# s_client, and checks that count passes and failures.

W="$E2E_WORK/scratch"
BASE="https://127.0.0.1:888"
DAEMON_PID=""

# Password hashes (crypt with the login salt) and the cookies they give.
HASH_PYV2="gZvut5gu9qKCM"      # "pyv2", the default of both levels
HASH_USERPW="gZXnTEG76PKSE"    # "userpw"
ADMIN_COOKIE_PYV2="mJmyR92BjuCos"
USER_COOKIE_PYV2="jUH8V5yT/afEs"
USER_COOKIE_USERPW="jUd0cQMQXd7yk"

# The checks are counted in files, a byte each, so that a check made in a
# subshell (a pipe into `while`, a `( ... )`, a `$( ... )`) counts too.
pass() { printf x >>"$E2E_WORK/passes"; }
fail() {
    printf x >>"$E2E_WORK/failures"
    echo "FAILED: $*"
}
# counted <passes|failures>: how many so far.
counted() { if [ -e "$E2E_WORK/$1" ]; then stat -c %s "$E2E_WORK/$1"; else echo 0; fi; }

# check <what> <command...>: passes when the command succeeds.
check() {
    local what=$1
    shift
    if "$@"; then pass; else fail "$what"; fi
}

# check_not <what> <command...>: passes when the command fails; a command
# that could not be run at all (status 126 or 127: not found, not
# executable, also behind a wrapper such as timeout) proves nothing.
check_not() {
    local what=$1 status
    shift
    "$@"
    status=$?
    if [ "$status" -eq 126 ] || [ "$status" -eq 127 ]; then
        fail "$what: the command could not be run (status $status)"
    elif [ "$status" -eq 0 ]; then
        fail "$what"
    else
        pass
    fi
}

# expect_eq <what> <expected> <actual>
expect_eq() {
    if [ "$2" == "$3" ]; then pass; else fail "$1: expected [$2], got [$3]"; fi
}

# expect_in <what> <text> <file>: the file holds the text.
expect_in() {
    if grep -qF -- "$2" "$3"; then pass; else fail "$1: [$2] not in $3"; fi
}

# expect_not_in <what> <text> <file>
expect_not_in() {
    if grep -qF -- "$2" "$3"; then fail "$1: [$2] found in $3"; else pass; fi
}

# The configuration file, from standard input.
write_config() {
    cat >/etc/pyv2/pyv2.conf
}

# launch_daemon [command...]: starts the daemon program (run by the
# command given, such as strace with its options); its output goes to
# $W/daemon.out and $W/daemon.err, its pid to $W/pid and, when it ends, how
# it ended to $W/status. Sets DAEMON_PID once the pid is known.
launch_daemon() {
    sanitizer_check
    rm -f "$W/pid" "$W/status"
    DAEMON_PID=""
    "$@" "$E2E_REAPER" "$W/pid" "$W/status" "$E2E_DAEMON" >"$W/daemon.out" 2>"$W/daemon.err" &
    for _ in $(seq 100); do
        [ -s "$W/pid" ] && DAEMON_PID=$(cat "$W/pid") && return 0
        [ -s "$W/status" ] && return 0
        sleep 0.1
    done
}

# start_daemon [port]: starts the daemon program and waits until it answers.
start_daemon() {
    local port=${1:-888}
    launch_daemon
    for _ in $(seq 300); do
        if [ -n "$DAEMON_PID" ] && curl -sk --max-time 2 -o /dev/null "https://127.0.0.1:$port/blank.html"; then
            return 0
        fi
        [ -s "$W/status" ] && break
        sleep 0.1
    done
    fail "the daemon did not start: $(cat "$W/status" 2>/dev/null) $(cat "$W/daemon.out")"
    return 1
}

# daemon_status: how the daemon ended ("exit N" or "signal N"), waiting up
# to 20 seconds for it.
daemon_status() {
    for _ in $(seq 200); do
        [ -s "$W/status" ] && break
        sleep 0.1
    done
    cat "$W/status" 2>/dev/null
}

# stop_daemon <signal>: sends the signal and prints how the daemon ended.
stop_daemon() {
    kill -"$1" "$DAEMON_PID"
    daemon_status
    DAEMON_PID=""
}

# sim <line>: applied to the running simulated machine through its control
# file ($PYV2_SIM_CONTROL).
sim() { printf '%s\n' "$*" >>"$PYV2_SIM_CONTROL"; }

# wait_for <file> <text> [seconds]: until the file holds the text (20 s at
# most by default).
wait_for() {
    for _ in $(seq $((${3:-20} * 10))); do
        grep -qF -- "$2" "$1" 2>/dev/null && return 0
        sleep 0.1
    done
    return 1
}

# fetch <name> <path> [curl options...]: the answer's head in $W/<name>.h
# and its body in $W/<name>.b.
fetch() {
    local name=$1 path=$2
    shift 2
    curl -sk --max-time 30 -D "$W/$name.h" -o "$W/$name.b" "$@" "$BASE$path"
}

# The status line, a header's value (empty when absent), the body length.
status_of() { head -1 "$W/$1.h" | tr -d '\r'; }
header_of() { grep -i "^$2:" "$W/$1.h" | head -1 | cut -d' ' -f2- | tr -d '\r'; }
body_size() { stat -c %s "$W/$1.b"; }

# raw <name> [seconds]: sends standard input as it is over TLS and keeps
# what comes back in $W/<name>.raw.
raw() {
    timeout "${2:-30}" openssl s_client -quiet -connect 127.0.0.1:888 -ign_eof >"$W/$1.raw" 2>/dev/null
}

# Milliseconds of a monotonic enough clock, and since a start.
now_ms() { echo $(($(date +%s%N) / 1000000)); }
since_ms() { echo $(($(now_ms) - $1)); }

# A sanitizer build of the daemon reports memory faults, undefined behaviour
# and leaks on standard error.
sanitizer_check() {
    if grep -qE "Sanitizer|runtime error" "$W/daemon.err" 2>/dev/null; then
        fail "sanitizer report: $(head -c 4000 "$W/daemon.err")"
    fi
    rm -f "$W/daemon.err"
}

# A command that bash cannot find (a misspelt helper, a missing program) is
# a failure of the test, wherever it runs: bash calls this in the process
# that would have run the command, so it is noted in a file.
command_not_found_handle() {
    echo "FAILED: unknown command: $1" >&2
    echo "$1" >>"$W/unknown-commands"
    return 127
}

e2e_finish() {
    E2E_FINISHED=1
    if [ -n "$DAEMON_PID" ] && kill -TERM "$DAEMON_PID" 2>/dev/null; then
        daemon_status >/dev/null
    fi
    sanitizer_check
    if [ -s "$W/unknown-commands" ]; then
        fail "unknown commands ran: $(sort -u "$W/unknown-commands" | tr '\n' ' ')"
    fi
    local passed failed
    passed=$(counted passes)
    failed=$(counted failures)
    if [ "$failed" -ne 0 ]; then
        echo "--- daemon output"
        cat "$W/daemon.out" "$W/daemon.err" 2>/dev/null
    fi
    echo "$passed passed, $failed failed"
    # sandbox.sh passes a test only when this file says so: a test that
    # ended in any other way (an exec, an exit under a trap of its own)
    # never wrote it.
    if [ "$failed" -eq 0 ] && [ "$passed" -gt 0 ]; then
        echo pass >"$E2E_WORK/finished"
        return 0
    fi
    echo fail >"$E2E_WORK/finished"
    return 1
}

# An `exit` anywhere in a test ends the shell before e2e_finish: a failure,
# whatever its status.
e2e_on_exit() {
    [ -n "${E2E_FINISHED:-}" ] && return
    fail "the test exited before its end"
    e2e_finish
    exit 1
}

# e2e_run <test-file>: runs the test, then e2e_finish. A test passes only
# when it ran to its last line (a `return` of the file, as in
# `start_daemon || return`, counts only after a failure), ran no unknown
# command, and made checks of which none failed.
e2e_run() {
    local copy
    copy="$E2E_WORK/$(basename "$1")"
    # The copy ends with a line that only a test run to its end reaches.
    { cat "$1"; printf '\nE2E_REACHED_END=1\n'; } >"$copy"
    E2E_REACHED_END=""
    trap e2e_on_exit EXIT
    # shellcheck disable=SC1090
    source "$copy"
    if [ -z "$E2E_REACHED_END" ] && [ "$(counted failures)" -eq 0 ]; then
        fail "the test stopped before its end (a return, or a syntax error)"
    fi
    e2e_finish
}

# run_browser <script.mjs> [arguments...]: runs a browser test script in
# headless chromium, with the base URL, a fresh profile directory and the
# screenshot directory before the arguments: one check for the run (the
# script's own checks are in its output, shown), its screenshots copied to
# $E2E_SHOTS when that is set. A failure when chromium or playwright-core
# is missing.
run_browser() {
    local script=$1 here profile
    shift
    here=$(dirname "$E2E_LIB")
    if [ ! -x /usr/bin/chromium ] || [ ! -d "$here/node_modules/playwright-core" ]; then
        fail "chromium or playwright-core missing: make test installs them"
        return
    fi
    mkdir -p "$W/shots"
    profile=$(mktemp -d "$W/profile.XXXXXX")
    if node "$here/$script" "$BASE" "$profile" "$W/shots" "$@" >"$W/browser.out" 2>&1; then
        pass
    else
        fail "browser test $script $*"
    fi
    cat "$W/browser.out"
    if [ -n "$E2E_SHOTS" ]; then cp "$W"/shots/*.png "$E2E_SHOTS"/ 2>/dev/null; fi
}
