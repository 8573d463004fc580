# Failed logins slow their address down: after five wrong passwords in a
# row, each further one makes the address wait (1 s, then 2 s, ...) before
# its next password is checked; what it posts meanwhile is answered as a
# wrong password of its level, unchecked and unlogged. Other addresses are
# not slowed, and a successful login clears the count. Logins that must
# fall inside a wait are sent by one curl, one after the other, and the
# whole run must end within the wait (timed from the client's side).
start_daemon || return
source "$(dirname "$E2E_LIB")/actions.bash"
wrong='whopwd=a&thepwd=wrong'
right='whopwd=a&thepwd=pyv2'
user='whopwd=u&thepwd=pyv2'
invalid_admin='(0x0C:0x0010): Invalid Administrator password entered'
invalid_user='(0x0C:0x000F): Invalid User password entered'

# logins <name> <address> <form>...: the logins in a row from the address,
# in one curl; the n-th one's head and page in $W/<name>_<n>.h and .b.
# When the run started and ended in $started and $ended.
logins() {
    local name=$1 address=$2 n=0 args=()
    shift 2
    for form in "$@"; do
        n=$((n + 1))
        [ "$n" -gt 1 ] && args+=(--next)
        args+=(-sk --max-time 30 --interface "$address" -D "$W/${name}_$n.h" -o "$W/${name}_$n.b"
            --data "$form" "$BASE/login.html")
    done
    started=$(now_ms)
    curl "${args[@]}"
    ended=$(now_ms)
}
# until_ms <time> <ms>: sleeps until ms milliseconds after time.
until_ms() { while [ "$(since_ms "$1")" -lt "$2" ]; do sleep 0.05; done; }

# A burst of twenty wrong passwords at once is slowed down: six are
# checked and logged, the sixth starting a wait of a second (one or two
# more when the burst lasts past the first waits); all are answered alike.
before=$(log_count)
burst_start=$(now_ms)
curl -sk --no-progress-meter --max-time 30 --parallel --parallel-max 10 --data "$wrong" -o "$W/burst_#1.b" \
    "$BASE/login.html?n=[1-20]"
burst_ms=$(since_ms "$burst_start")
for n in $(seq 20); do
    expect_in "burst answer $n" "$invalid_admin" "$W/burst_$n.b"
done
logged=$(($(log_count) - before))
check "six to eight of the burst logged, not $logged (the burst took $burst_ms ms)" \
    test "$logged" -ge 6 -a "$logged" -le 8 -a "$burst_ms" -lt 7000
expect_eq "the burst's lines are failures" "$logged" "$(grep -c 'Failed attempt at Administrator login' /var/log/kq_mgmt.log)"

# Another address logs in at once.
logins other 127.0.0.10 "$right"
expect_in "another address logs in at once" "Administrator now logged in" "$W/other_1.b"

# The first steps of the wait, from an address of its own: five failures
# are free, the sixth makes it wait a second, during which the right
# password is refused, unchecked and unlogged; after it a password is
# checked again, and a seventh failure makes the address wait two seconds,
# during which logins of either level are refused as wrong passwords of
# that level. A success then clears the count. On a machine too busy to
# send two logins within a wait, the steps are tried again from another
# address, up to six in all (returns 2 before any check).
wait_steps() {
    local from=$1 lines first_end seventh_start seventh_end
    lines=$(log_count)
    logins free "$from" "$wrong" "$wrong" "$wrong" "$wrong" "$wrong"
    logins first "$from" "$wrong" "$right"
    first_end=$ended
    [ "$((ended - started))" -lt 1000 ] || return 2
    expect_eq "six failures logged" "$((lines + 6))" "$(log_count)"
    expect_in "right password inside the wait" "$invalid_admin" "$W/first_2.b"
    expect_eq "right password inside the wait sets no cookie" "" "$(header_of first_2 Set-Cookie)"

    until_ms "$first_end" 1100
    logins seventh "$from" "$wrong"
    seventh_start=$started seventh_end=$ended
    logins second "$from" "$right" "$user"
    [ "$((ended - seventh_start))" -lt 2000 ] || return 2
    expect_in "wrong password after the wait" "$invalid_admin" "$W/seventh_1.b"
    expect_eq "wrong password after the wait is logged" "$((lines + 7))" "$(log_count)"
    expect_in "right password inside the second wait" "$invalid_admin" "$W/second_1.b"
    expect_in "user's right password inside the second wait" "$invalid_user" "$W/second_2.b"
    expect_eq "nothing logged inside the second wait" "$((lines + 7))" "$(log_count)"

    until_ms "$seventh_end" 2100
    logins after "$from" "$right"
    expect_in "right password after the wait" "Administrator now logged in" "$W/after_1.b"
    expect_eq "right password after the wait is logged" "$((lines + 8))" "$(log_count)"

    # The success cleared the count: five more wrong passwords are all
    # checked, and the right one right after them logs in.
    logins cleared "$from" "$wrong" "$wrong" "$wrong" "$wrong" "$wrong" "$right"
    expect_eq "five failures after a success are logged" "$((lines + 14))" "$(log_count)"
    expect_in "right password after five failures" "Administrator now logged in" "$W/cleared_6.b"
}
for from in 127.0.0.11 127.0.0.12 127.0.0.13 127.0.0.14 127.0.0.15 127.0.0.16 none; do
    if [ "$from" == none ]; then
        fail "the machine was too busy to send two logins within a wait, six times"
        break
    fi
    wait_steps "$from"
    [ $? -eq 2 ] || break
    echo "too busy to time the waits from $from; again from another address"
done
