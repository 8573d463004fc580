# A change of the listening port from the Pyv2 Settings page: refused for a
# user, for a port out of range or the same port, and for a port another
# program listens on (the daemon stays where it is); otherwise stored, the
# browser sent to the same host on the new port, and the daemon listening
# there and no longer on the old one, also after a restart.
start_daemon || return
source "$(dirname "$E2E_LIB")/actions.bash"
ADMIN="WOXUSER=$ADMIN_COOKIE_PYV2"
USER="WOXUSER=$USER_COOKIE_PYV2"
CONF=/etc/pyv2/pyv2.conf

# port <cookie> <value> [curl options...]: the port change; its message in
# $MESSAGE, the new address the page sends the browser to in $HOME_URL.
port() {
    local cookie=$1 value=$2
    shift 2
    fetch port "/page4.html?Port=$value&c=0" -b "$cookie" "$@"
    MESSAGE=$(message_of port)
    HOME_URL=$(sed -n 's/^  url = "\(https:.*\)";$/\1/p' "$W/port.b")
}
stored_port() { sed -n 's/^Port //p' "$CONF"; }
# answers <port>: the daemon answers there (within 5 s: the listener is
# rebuilt once the answer to the change is written); refuses <port>: nothing
# listens there.
answers() {
    for _ in $(seq 50); do
        curl -sk --max-time 5 -o /dev/null "https://127.0.0.1:$1/blank.html" && return 0
        sleep 0.1
    done
    return 1
}
refuses() { ! curl -sk --max-time 5 -o /dev/null "https://127.0.0.1:$1/blank.html"; }
# listener <address> <port>: another program listening there until the
# test ends.
listener() {
    /usr/bin/python3 -c '
import socket, sys, time
s = socket.socket()
s.bind((sys.argv[1], int(sys.argv[2])))
s.listen(1)
print("up", flush=True)
time.sleep(600)
' "$1" "$2" >"$W/listener$2" &
    for _ in $(seq 50); do
        [ -s "$W/listener$2" ] && return
        sleep 0.1
    done
}

while IFS='|' read -r value message; do
    port "$ADMIN" "$value"
    expect_eq "port $value" "$message" "$MESSAGE"
    expect_eq "port $value stored" "888" "$(stored_port)"
done <<'TABLE'
888|The port entered is the same as the current port, Listening Port unchanged
0|Invalid Listening Port specified
65536|Invalid Listening Port specified
-1|Invalid Listening Port specified
abc|Invalid Listening Port specified
|Invalid Listening Port specified
99999999999|Invalid Listening Port specified
TABLE
port "$USER" 8443
expect_eq "user" "(0x0C:0x0011): Not logged in as AdministratorListening Port unchanged" "$MESSAGE"
expect_eq "user stored" "888" "$(stored_port)"

# Ports another program holds, on every address or on loopback only.
listener 0.0.0.0 8444
listener 127.0.0.1 8445
for busy in 8444 8445; do
    port "$ADMIN" $busy
    expect_eq "busy $busy" "(0x0C:0x0005): Failed to start listening socket : Listening Port unchanged" "$MESSAGE"
    expect_eq "busy $busy stored" "888" "$(stored_port)"
    check "still on 888 after $busy" answers 888
done

# A free port: the browser is sent to the host it asked for, on the new port.
port "$ADMIN" 8443 -H "Host: 127.0.0.1:888"
expect_eq "moved" "https://127.0.0.1:8443" "$HOME_URL"
expect_eq "moved status" "HTTP/1.1 200 OK" "$(status_of port)"
expect_in "moved page" "Please wait a moment while you are redirected to the new port" "$W/port.b"
expect_eq "moved stored" "8443" "$(stored_port)"
check "answers on 8443" answers 8443
check "gone from 888" refuses 888
BASE="https://127.0.0.1:8443"

# Host headers that are not a plain host name or address: the machine's
# own name is used. Each change from the port the last one moved to.
while IFS='|' read -r to host url; do
    port "$ADMIN" "$to" -H "$host"
    expect_eq "$host" "$url" "$HOME_URL"
    check "answers on $to" answers "$to"
    check "gone from ${BASE##*:}" refuses "${BASE##*:}"
    BASE="https://127.0.0.1:$to"
done <<'TABLE'
8446|Host: evil";alert(1)//:8443|https://testhost:8446
8447|Host:|https://testhost:8447
8448|Host: [::1]:8447|https://[::1]:8448
8449|Host: raid-box.example.org|https://raid-box.example.org:8449
TABLE

# A restart listens on the stored port.
stop_daemon TERM >/dev/null
start_daemon 8449 || return
check "restarted on 8449" answers 8449
