# Twenty half-done handshakes, twenty greetings that drip a byte a second
# and three uploads that drip their body, all held open at once: a login
# page and a login are still answered at once, and each slow client is
# closed at its own deadline.
start_daemon || return
check "slow clients beside a login" /usr/bin/python3 "$(dirname "$E2E_LIB")/slow_clients.py" crowd
fetch after_crowd /blank.html
expect_eq "served after the slow clients" "HTTP/1.1 200 OK" "$(status_of after_crowd)"
