# kill -9 at random moments while the daemon writes its files: every file
# is afterwards either the old or the new one, whole, and the next start
# succeeds.

# pem_whole: the certificate file holds a key (under the daemon's pass
# phrase) and a certificate of that key.
pem_whole() {
    local pem=/etc/pyv2/pyv2.pem cert_key key
    cert_key=$(openssl x509 -in "$pem" -noout -pubkey 2>/dev/null) || return 1
    key=$(openssl pkey -in "$pem" -passin pass:Mv9qe -pubout 2>/dev/null) || return 1
    [ -n "$key" ] && [ "$cert_key" == "$key" ]
}

# conf_keys: the configuration file's keys, in their order; a whole file
# has every key of a complete one and ends with its line break.
conf_keys() { cut -d' ' -f1 /etc/pyv2/pyv2.conf; }
conf_whole() {
    [ "$(tail -c1 /etc/pyv2/pyv2.conf | od -An -c | tr -d ' ')" == '\n' ] &&
        [ "$(conf_keys)" == "$reference_keys" ]
}

# next_start <what>: the daemon starts on what the kill left, answers and
# ends on SIGTERM.
next_start() {
    start_daemon || return 1
    fetch after_kill /blank.html
    expect_eq "$1: answers after the restart" "HTTP/1.1 200 OK" "$(status_of after_kill)"
    expect_eq "$1: ends on SIGTERM" "exit 15" "$(stop_daemon TERM)"
}

# A complete first start gives the reference set of keys.
start_daemon || return
reference_keys=$(conf_keys)
check "the reference configuration has its keys" test "$(echo "$reference_keys" | wc -l)" -ge 20
expect_eq "first start ends on SIGTERM" "exit 15" "$(stop_daemon TERM)"

# First starts killed at random moments: the certificate (made on the first
# start) and the configuration are absent or whole.
for round in $(seq 10); do
    rm -f /etc/pyv2/pyv2.conf /etc/pyv2/pyv2.pem
    launch_daemon
    sleep "0.$(printf '%03d' $((RANDOM % 400)))"
    kill -9 "$DAEMON_PID" 2>/dev/null
    daemon_status >/dev/null
    DAEMON_PID=""
    if [ -e /etc/pyv2/pyv2.pem ]; then
        check "first start $round: the certificate is whole" pem_whole
    else
        pass
    fi
    if [ -e /etc/pyv2/pyv2.conf ]; then
        check "first start $round: the configuration is whole" conf_whole
    else
        pass
    fi
    next_start "first start $round" || return
    check "first start $round: a whole certificate after the restart" pem_whole
    check "first start $round: a whole configuration after the restart" conf_whole
done
