# Helpers of the end-to-end tests that kill the daemon while it writes its
# files, sourced after lib.sh: whether a file it wrote is whole, the kill
# itself, and the start on what a kill left.

# pem_whole: the certificate file holds a key (under the daemon's pass
# phrase) and a certificate of that key.
pem_whole() {
    local pem=/etc/pyv2/pyv2.pem cert_key key
    cert_key=$(openssl x509 -in "$pem" -noout -pubkey 2>/dev/null) || return 1
    key=$(openssl pkey -in "$pem" -passin pass:Mv9qe -pubout 2>/dev/null) || return 1
    [ -n "$key" ] && [ "$cert_key" == "$key" ]
}

# conf_keys: the configuration file's keys, in their order. After a
# complete start, `reference_keys=$(conf_keys)` gives the keys that every
# whole file has.
conf_keys() { cut -d' ' -f1 /etc/pyv2/pyv2.conf; }

# conf_whole: the configuration file has every key of $reference_keys, in
# their order, and ends with its line break.
conf_whole() {
    [ "$(tail -c1 /etc/pyv2/pyv2.conf | od -An -c | tr -d ' ')" == '\n' ] &&
        [ "$(conf_keys)" == "$reference_keys" ]
}

# kill_daemon: SIGKILL, and the daemon's end waited for.
kill_daemon() {
    kill -9 "$DAEMON_PID" 2>/dev/null
    daemon_status >/dev/null
    DAEMON_PID=""
}

# random_pause <milliseconds>: sleeps between 0 and that many less one.
random_pause() { sleep "$(printf '0.%03d' $((RANDOM % $1)))"; }

# next_start <what>: the daemon starts on what the kill left, answers and
# ends on SIGTERM.
next_start() {
    start_daemon || return 1
    fetch after_kill /blank.html
    expect_eq "$1: answers after the restart" "HTTP/1.1 200 OK" "$(status_of after_kill)"
    expect_eq "$1: ends on SIGTERM" "exit 15" "$(stop_daemon TERM)"
}

# trace_daemon <strace options...>: the daemon under strace with the
# options, its pid in TRACER_PID, once it is attached. The tracer ends with
# the daemon.
trace_daemon() {
    strace -f -o /dev/null -p "$DAEMON_PID" "$@" 2>"$W/strace.err" &
    TRACER_PID=$!
    for _ in $(seq 100); do
        grep -q attached "$W/strace.err" && return 0
        sleep 0.05
    done
    fail "strace did not attach: $(cat "$W/strace.err")"
    return 1
}

# slow_rewrites <milliseconds>: the daemon is held that long (by strace)
# after each file it opens and before each fsync and rename, so that a kill
# at a random moment lands inside a rewrite of a file far more often than
# it would between the daemon's quick steps.
slow_rewrites() {
    trace_daemon -e trace=openat,fsync,rename \
        -e inject=openat:delay_exit="$1"ms -e inject=fsync,rename:delay_enter="$1"ms
}

# hold_renames <milliseconds>: strace options that hold each rename that
# long, so that every rewrite's temporary file stays that long beside the
# file it is to replace.
hold_renames() { echo "-e trace=rename -e inject=rename:delay_enter=$1ms"; }

# kill_inside <glob> [seconds]: kills the daemon as soon as a file of the
# glob (the temporary files of a rewrite) exists, within 20 seconds; with
# renames held (hold_renames) the kill then surely lands inside that
# rewrite. Fails when none appeared.
kill_inside() {
    for _ in $(seq $((${2:-20} * 50))); do
        if compgen -G "$1" >/dev/null; then
            kill_daemon
            return 0
        fi
        sleep 0.02
    done
    fail "no rewrite began: nothing of $1"
    kill_daemon
    return 1
}

# kill_amid <round> <what> <counter> <command...>: runs the command in the
# background, the daemon slowed by slow_rewrites in two rounds of three;
# once the counter (a file of $E2E_WORK, read with counted) has grown,
# which is checked, kills the daemon at a random moment within 300 ms and
# waits for the command and the tracer. In round 2 the renames are held
# instead and the kill comes as soon as a file of $KILL_INSIDE (the
# temporary files of the file the test watches) exists: at least that
# round interrupts a rewrite. Fails when strace did not attach.
kill_amid() {
    local round=$1 what=$2 counter=$3 before pid
    shift 3
    TRACER_PID=""
    if [ "$round" == 2 ]; then
        # shellcheck disable=SC2046
        trace_daemon $(hold_renames 1500) || return 1
    elif [ $((round % 3)) != 0 ]; then
        slow_rewrites 60 || return 1
    fi
    before=$(counted "$counter")
    "$@" &
    pid=$!
    for _ in $(seq 300); do
        [ "$(counted "$counter")" -gt "$before" ] && break
        sleep 0.05
    done
    check "round $round: $what" test "$(counted "$counter")" -gt "$before"
    if [ "$round" == 2 ]; then
        kill_inside "$KILL_INSIDE"
    else
        random_pause 300
        kill_daemon
    fi
    wait "$pid" $TRACER_PID
    return 0
}
