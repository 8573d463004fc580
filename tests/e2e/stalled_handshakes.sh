# Sixteen clients (and then eighty) that stall in their TLS handshake and
# reconnect whenever they are closed take no room from an administrator who
# logs in and loads pages beside them, whether they come from the
# administrator's own address (any local program can) or from another:
# every one of the administrator's requests is answered.
start_daemon || return
clients="$(dirname "$E2E_LIB")/slow_clients.py"
check "requests beside stalled handshakes of their own address" /usr/bin/python3 "$clients" stalled 127.0.0.1
check "requests beside stalled handshakes of another address" /usr/bin/python3 "$clients" stalled 127.0.0.2
# More than the room for unfinished connections holds: the stalled ones
# make room for each other, not for the administrator's.
check "requests beside a full room of stalled handshakes of their own address" /usr/bin/python3 "$clients" stalled 127.0.0.1 80
fetch after /blank.html
expect_eq "served after the stalled handshakes" "HTTP/1.1 200 OK" "$(status_of after)"
