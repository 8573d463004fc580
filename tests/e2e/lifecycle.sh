# Start-up, its failures and the ends by signal, with their exit statuses.

# A first start writes the complete configuration file and the certificate.
start_daemon || return
expect_eq "configuration keys" "Port EmailEnable EmailSender EmailServer EmailServerLogin EmailServerPasswd EmailRecipient EmailServerPortLastSetTo EmailServerNoSSLPort EmailServerSSLPort EmailSeverity EmailServerPortFlag ROpwd ADMINpwd RemoteAccess Language Logger Refresh BGRate MsgPath imgPath Help OEM OEMBrand AutoLogout CommandLog EnclosureMonitor EnclMonitorSleepMinutes" "$(cut -d' ' -f1 /etc/pyv2/pyv2.conf | tr '\n' ' ' | sed 's/ $//')"
expect_eq "certificate mode" "400" "$(stat -c %a /etc/pyv2/pyv2.pem)"

# A second daemon cannot listen on the same port.
"$E2E_REAPER" "$W/pid2" "$W/status2" "$E2E_DAEMON" >"$W/second.out" 2>&1
for _ in $(seq 100); do [ -s "$W/status2" ] && break; sleep 0.1; done
expect_eq "port taken: status" "exit 3" "$(cat "$W/status2")"
expect_eq "port taken: message" "(0x0C:0x0005): Failed to start listening socket" "$(cat "$W/second.out")"

# signal | exit status
while IFS='|' read -r signal status; do
    [ -n "$DAEMON_PID" ] || start_daemon || return
    expect_eq "SIG$signal" "$status" "$(stop_daemon "$signal")"
    DAEMON_PID=""
    check_not "port closed after SIG$signal" curl -sk --max-time 2 -o /dev/null "$BASE/blank.html"
done <<'TABLE'
TERM|exit 15
QUIT|exit 3
TABLE

# A hang-up, as when the terminal that started the daemon closes, leaves it
# serving.
start_daemon || return
kill -HUP "$DAEMON_PID"
sleep 0.5
fetch after_hangup /blank.html
expect_eq "served after SIGHUP" "HTTP/1.1 200 OK" "$(status_of after_hangup)"
expect_eq "running after SIGHUP" "" "$(cat "$W/status" 2>/dev/null)"
stop_daemon TERM >/dev/null

# A descriptor that the starter left open is not held by the daemon.
exec 7>"$W/inherited"
start_daemon || return
exec 7>&-
expect_eq "inherited descriptor closed" "" "$(find /proc/"$DAEMON_PID"/fd -lname "$W/inherited" 2>&1)"

# Out of descriptors, the daemon goes on serving the connections it has,
# and accepts again once some of them close.
open_now=$(find /proc/"$DAEMON_PID"/fd -mindepth 1 | wc -l)
check "descriptor limit lowered" prlimit --nofile=$((open_now + 20)) --pid "$DAEMON_PID"
check "served out of descriptors" /usr/bin/python3 "$(dirname "$E2E_LIB")/slow_clients.py" descriptors
stop_daemon TERM >/dev/null

# Started under umask 000, the daemon still creates its files for itself
# alone; the temporary files that an interrupted rewrite left (the
# certificate's holds the key) are removed at start, nothing else.
rm -f /etc/pyv2/pyv2.conf /etc/pyv2/pyv2.pem /var/log/kq_mgmt.log
for name in pyv2.pem.tmp-Ab12Cd pyv2.conf.tmp-x9Y8z7 pyv2.pem.backup pyv2.conf.tmp-short; do
    printf 'left over\n' >"/etc/pyv2/$name"
done
umask 000
start_daemon || return
umask 022
fetch umask_login /login.html --data 'whopwd=a&thepwd=pyv2'
# file | mode
while IFS='|' read -r file mode; do
    expect_eq "mode of $file under umask 000" "$mode" "$(stat -c %a "$file" 2>&1)"
done <<'TABLE'
/etc/pyv2/pyv2.conf|600
/etc/pyv2/pyv2.pem|400
/var/log/kq_mgmt.log|600
TABLE
check "stale certificate temporary removed" test ! -e /etc/pyv2/pyv2.pem.tmp-Ab12Cd
check "stale configuration temporary removed" test ! -e /etc/pyv2/pyv2.conf.tmp-x9Y8z7
check "other files kept" test -e /etc/pyv2/pyv2.pem.backup -a -e /etc/pyv2/pyv2.conf.tmp-short
rm -f /etc/pyv2/pyv2.pem.backup /etc/pyv2/pyv2.conf.tmp-short
stop_daemon TERM >/dev/null

# A terminating signal ends the daemon at once, also while a client holds
# a request open (for 8 seconds: "at once" is well before that, with room
# for a loaded machine).
start_daemon || return
{ printf 'POST /login.html HTTP/1.1\r\nContent-Length: 100\r\n\r\nwhopwd'; sleep 8; } | raw held 10 &
held=$!
sleep 1
started=$(now_ms)
expect_eq "SIGTERM during a request" "exit 15" "$(stop_daemon TERM)"
DAEMON_PID=""
ended_ms=$(since_ms "$started")
check "SIGTERM during a request ends at once, not after $ended_ms ms" test "$ended_ms" -lt 6000
wait "$held"

# The configured port is the one listened on.
printf 'Port 8443\n' | write_config
start_daemon 8443 || return
check "configured port" curl -sk --max-time 2 -o /dev/null "https://127.0.0.1:8443/blank.html"
check_not "default port unused" curl -sk --max-time 2 -o /dev/null "$BASE/blank.html"
stop_daemon TERM >/dev/null

# A certificate file that cannot be loaded is left as it is and the start
# fails; so does a start that cannot write a missing certificate.
printf 'not a certificate\n' >/etc/pyv2/pyv2.pem
printf 'Port 888\n' | write_config
launch_daemon
expect_eq "bad certificate: status" "exit 7" "$(daemon_status)"
expect_eq "bad certificate: message" "(0x0C:0x0003): Failed to create SSL context" "$(cat "$W/daemon.out")"
expect_eq "bad certificate kept" "not a certificate" "$(cat /etc/pyv2/pyv2.pem)"
rm -f /etc/pyv2/pyv2.pem
mount -o remount,bind,ro /etc/pyv2
launch_daemon
expect_eq "read-only directory: status" "exit 7" "$(daemon_status)"
expect_eq "read-only directory: message" "(0x0C:0x0003): Failed to create SSL context" "$(cat "$W/daemon.out")"
mount -o remount,bind,rw /etc/pyv2

# Logger mode: no certificate and no listening socket; the signals still end it.
printf 'Logger 1\n' | write_config
launch_daemon
sleep 1
check "logger mode: no certificate" test ! -e /etc/pyv2/pyv2.pem
check_not "logger mode: nothing listens" curl -sk --max-time 2 -o /dev/null "$BASE/blank.html"
expect_eq "logger mode: SIGTERM" "exit 15" "$(stop_daemon TERM)"
