# Twenty half-done handshakes, twenty greetings that drip a byte a second
# and three uploads that drip their body, all held open at once: a login
# page and a login are still answered at once, and each slow client is
# closed at its own deadline.
start_daemon || return
check "slow clients beside a login" /usr/bin/python3 "$(dirname "$E2E_LIB")/slow_clients.py" crowd
fetch after_crowd /blank.html
expect_eq "served after the slow clients" "HTTP/1.1 200 OK" "$(status_of after_crowd)"

# Twenty logins announcing 8 MB each, dripping their bodies from five
# addresses, hold nothing that other clients need: ten logins in a row from
# another address are served at once. From addresses that RemoteAccess 0
# refuses, no body is read at all: they are answered after their headers.
clients="$(dirname "$E2E_LIB")/slow_clients.py"
check "logins beside 20 dripping ones" /usr/bin/python3 "$clients" drip 127.0.0.10 none
check "logins beside 20 dripping ones of refused addresses" \
    /usr/bin/python3 "$clients" drip 127.0.0.30 "HTTP/1.1 200 OK"

# A flood of reconnecting clients from other addresses never closes a fresh
# connection before it is read.
check "requests beside a flood of reconnecting clients" /usr/bin/python3 "$clients" flood
