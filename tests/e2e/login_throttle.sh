# Failed logins slow their address down: after five wrong passwords in a
# row, each further one makes the address wait (1 s, then 2 s, ...) before
# its next password is checked; what it posts meanwhile is answered as a
# wrong password of its level, unchecked and unlogged. Other addresses are
# not slowed, and a successful login clears the count.
start_daemon || return
log_lines() { wc -l </var/log/kq_mgmt.log 2>/dev/null || echo 0; }
wrong='whopwd=a&thepwd=wrong'
right='whopwd=a&thepwd=pyv2'
invalid_admin='(0x0C:0x0010): Invalid Administrator password entered'
invalid_user='(0x0C:0x000F): Invalid User password entered'

# login <name> <form> [curl options]: a login; its page in $W/<name>.b.
login() {
    local name=$1 form=$2
    shift 2
    fetch "$name" /login.html --data "$form" "$@"
}

# A burst of twenty wrong passwords at once: six are checked and logged,
# the sixth starting a wait of a second; the others are answered alike.
# Inside the wait the right password is refused too, as a wrong one of its
# level, and nothing is logged; another address logs in at once.
before=$(log_lines)
started=$(now_ms)
curl -sk --no-progress-meter --max-time 30 --parallel --parallel-max 10 --data "$wrong" -o "$W/burst_#1.b" \
    "$BASE/login.html?n=[1-20]"
burst_ms=$(since_ms "$started")
login in_wait "$right"
login in_wait_user 'whopwd=u&thepwd=pyv2'
login other_address "$right" --interface 127.0.0.10
in_wait_ms=$(since_ms "$started")
check "the burst and the logins inside the wait took $burst_ms and $in_wait_ms ms, less than the wait" \
    test "$in_wait_ms" -lt 1000
for n in $(seq 20); do
    expect_in "burst answer $n" "$invalid_admin" "$W/burst_$n.b"
done
expect_eq "failures of the burst logged" "6" "$(grep -c 'Failed attempt at Administrator login' /var/log/kq_mgmt.log)"
expect_in "right password inside the wait" "$invalid_admin" "$W/in_wait.b"
expect_eq "right password inside the wait sets no cookie" "" "$(header_of in_wait Set-Cookie)"
expect_in "user login inside the wait" "$invalid_user" "$W/in_wait_user.b"
expect_in "another address logs in at once" "Administrator now logged in" "$W/other_address.b"
expect_eq "only the burst's six failures and the other address's login logged" "$((before + 7))" "$(log_lines)"

# After the wait a password is checked again; a seventh failure makes the
# address wait two seconds.
while [ "$(since_ms "$started")" -lt 1100 ]; do sleep 0.1; done
login seventh "$wrong"
failed_at=$(now_ms)
expect_in "wrong password after the wait" "$invalid_admin" "$W/seventh.b"
expect_eq "wrong password after the wait is logged" "$((before + 8))" "$(log_lines)"
while [ "$(since_ms "$failed_at")" -lt 1200 ]; do sleep 0.1; done
login second_wait "$right"
expect_in "right password inside the second wait" "$invalid_admin" "$W/second_wait.b"
while [ "$(since_ms "$failed_at")" -lt 2100 ]; do sleep 0.1; done
login after_wait "$right"
expect_in "right password after the wait" "Administrator now logged in" "$W/after_wait.b"
expect_eq "right password after the wait is logged" "$((before + 9))" "$(log_lines)"

# The success cleared the count: five more wrong passwords are all checked,
# and the right one right after them logs in.
for n in $(seq 5); do
    login cleared$n "$wrong"
done
expect_eq "five failures after a success are logged" "$((before + 14))" "$(log_lines)"
login cleared_right "$right"
expect_in "right password after five failures" "Administrator now logged in" "$W/cleared_right.b"
