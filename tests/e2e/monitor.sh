# The monitor on the default simulated controllers: events injected through
# the simulator's control file reach the text and binary event files and,
# past the severity filter, a real SMTP server (plain, then TLS with AUTH);
# a ring that wraps and a restart of the daemon store each event once; a
# mail server that takes the connection and never answers holds up neither
# the event files nor the web interface nor the shutdown.
#
# The simulator's pause limit lets the monitor's 15-second pauses last
# 200 ms, so each pass comes soon after the last.
here=$(dirname "$E2E_LIB")
export PYV2_SIM_CONTROL="$W/control" PYV2_SIM_STATE="$W/state"
printf 'clock pause-limit-ms=200\n' >"$PYV2_SIM_CONTROL"
TXT=/var/log/wox_aen_M2B0000002.txt
BIN=/var/log/wox_aen_M2B0000002.bin

# start_peer <name> [options]: a real SMTP server writing what it receives
# to $W/<name>/; its port in PEER_PORT.
start_peer() {
    local name=$1
    shift
    mkdir -p "$W/$name"
    /usr/bin/python3 "$here/../daemon/data/smtp_peer.py" --out "$W/$name" "$@" >"$W/$name.port" 2>"$W/$name.err" &
    for _ in $(seq 100); do [ -s "$W/$name.port" ] && break; sleep 0.1; done
    PEER_PORT=$(head -1 "$W/$name.port")
}

# The mails a peer received that hold a text.
mails_with() { grep -lF -- "$2" "$W/$1"/mail-*.eml 2>/dev/null | wc -l; }

# wait_mail <peer> <text> [seconds]: until a mail holding the text arrived.
wait_mail() {
    for _ in $(seq $((${3:-10} * 10))); do
        [ "$(mails_with "$1" "$2")" -gt 0 ] && return 0
        sleep 0.1
    done
    return 1
}

# The newest record of a binary event file: index, time, severity,
# category, code and the text area up to its trailing zeros.
newest_record() {
    python3 - "$1" <<'EOF'
import struct, sys
data = open(sys.argv[1], "rb").read()
index, time, severity, category, code, text = struct.unpack("<IQBII128s", data[:149])
print(len(data) % 149, index, time, severity, category, code, text.rstrip(b"\0"))
EOF
}

utc_stamp() { date -u -d "@$1" +%Y%m%d%H%M%S; }
mail_time() { LC_ALL=C date -u -d "@$1" '+%b %d, %Y %I:%M:%S%p'; }

# --- Plain SMTP; warnings and errors are mailed (EmailSeverity 2).
start_peer plain
write_config <<EOF
EmailEnable 1
EmailSender ops@example.org
EmailServer 127.0.0.1
EmailRecipient admin@example.org
EmailServerNoSSLPort $PEER_PORT
EmailSeverity 2
EOF
# What a rewrite killed midway left behind goes at start; nothing else.
printf 'half\n' >/var/log/wox_aen_M2B0000002.bin.tmp-Ab12Cd
printf 'kept\n' >/var/log/wox_aen_M2B0000002.bin.old
umask 000
start_daemon || return
umask 022

now=$(date +%s)
sim "event index=2 code=0x0019 severity=2 text=\"port=5\" time=$now"
check "event in the text file" wait_for $TXT "port=5"
expect_eq "text line" "$(utc_stamp "$now") WARNING (0x04:0x0019): Drive removed: port=5" "$(head -1 $TXT)"
expect_eq "binary record" "0 2 $now 2 4 25 b'port=5\\x00(0x04:0x0019): Drive removed: port=5'" "$(newest_record $BIN)"
check "mail received" wait_mail plain "port=5"
expect_eq "mailed once" 1 "$(mails_with plain 'port=5')"
mail=$(grep -lF "port=5" "$W"/plain/mail-*.eml | head -1)
expect_in "mail subject" "Subject: QEL Pyv2 alert -- host: testhost" "$mail"
expect_in "mail body" "$(mail_time "$now") - Controller 2"$'\r'"WARNING - (0x04:0x0019): Drive removed: port=5" \
    <(tr -d '\n' <"$mail")
expect_in "mail envelope" "rcpt admin@example.org" "${mail%.eml}.env"
check "interrupted rewrite removed" test ! -e /var/log/wox_aen_M2B0000002.bin.tmp-Ab12Cd
check "other files kept" test -e /var/log/wox_aen_M2B0000002.bin.old
# file | mode, made under umask 000
while IFS='|' read -r file mode; do
    expect_eq "mode of $file" "$mode" "$(stat -c %a "$file" 2>&1)"
done <<TABLE
$TXT|600
$BIN|600
TABLE

# Information passes the files but not the filter; severity 4 reaches the
# binary file only; code 49 reaches nothing.
sim "event index=2 code=0x0031 severity=3 time=$now"
sim "event index=2 code=0x0055 severity=4 text=\"debug=1\" time=$now"
sim "event index=2 code=0x000B severity=3 text=\"unit=7\" time=$now"
sim "event index=2 code=0x0002 severity=1 text=\"unit=8\" time=$now"
check "error stored" wait_for $TXT "unit=8"
check "error mailed" wait_mail plain "unit=8"
expect_in "information stored" "INFORMATION (0x04:0x000B): Rebuild started: unit=7" $TXT
expect_eq "information not mailed" 0 "$(mails_with plain 'unit=7')"
expect_not_in "severity 4 not in the text file" "debug=1" $TXT
check "severity 4 in the binary file" grep -qa "debug=1" $BIN
check_not "code 49 stored nowhere" grep -qa "0x0031" $TXT $BIN

# 300 events at once: the ring keeps the newest 256 (it writes over its
# oldest), and each of those is stored once; later ones follow.
for i in $(seq 0 299); do
    printf 'event index=2 code=0x000C severity=3 text="wrap=%d" time=%d\n' "$i" $((now + 1))
done >"$W/wrap"
cat "$W/wrap" >>"$PYV2_SIM_CONTROL"
check "the ring's newest stored" wait_for $TXT "wrap=299" 60
expect_eq "each kept event once" "256 256" "$(grep -o 'wrap=[0-9]*' $TXT | wc -l) $(grep -o 'wrap=[0-9]*' $TXT | sort -u | wc -l)"
expect_eq "the oldest kept" "wrap=44" "$(grep -o 'wrap=[0-9]*' $TXT | tail -1)"
sim "event index=2 code=0x000C severity=3 text=\"after=1\" time=$((now + 2))"
check "events after the wrap" wait_for $TXT "after=1"
lines_before=$(wc -l <$TXT)
records_before=$(($(stat -c %s $BIN) / 149))
first_series=$(cat /var/log/wox_aen_L1A0000001.txt)
check "first-series events stored" test -n "$first_series"
stop_daemon TERM >/dev/null

# --- A restart, now with SMTPS and AUTH: the queued events are read again
# and none is stored or mailed twice.
openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj /CN=peer.test -keyout "$W/key.pem" \
    -out "$W/cert.pem" >/dev/null 2>&1
start_peer tls --cert "$W/cert.pem" --key "$W/key.pem" --user bob --password pw
stored=$(printf '\x10abcpw' | openssl enc -bf-cbc -K 626f6200000000000000000000000000 \
    -iv 0000000000000000 -provider legacy -provider default -base64 -A)
write_config <<EOF
EmailEnable 1
EmailSender ops@example.org
EmailServer 127.0.0.1
EmailRecipient admin@example.org
EmailServerLogin bob
EmailServerPasswd $stored
EmailServerSSLPort $PEER_PORT
EmailServerPortFlag 1
EmailSeverity 3
EOF
printf 'clock pause-limit-ms=200\n' >"$PYV2_SIM_CONTROL"
start_daemon || return
sim "event index=2 code=0x0002 severity=1 text=\"restart=1\" time=$((now + 3))"
check "event after the restart" wait_for $TXT "restart=1"
expect_eq "text file: one line more" $((lines_before + 1)) "$(wc -l <$TXT)"
expect_eq "binary file: one record more" $((records_before + 1)) "$(($(stat -c %s $BIN) / 149))"
expect_eq "no line twice" "" "$(sort $TXT | uniq -d)"
expect_eq "first-series events handed out once" "$first_series" "$(cat /var/log/wox_aen_L1A0000001.txt)"
check "mailed over TLS" wait_mail tls "restart=1"
sleep 1
expect_eq "only the new event mailed" "1" "$(ls "$W"/tls/mail-*.eml 2>/dev/null | wc -l)"
expect_eq "authenticated" "PLAIN 626f62 7077 ok" "$(cat "$W/tls/auth.log" 2>&1)"
stop_daemon TERM >/dev/null

# --- A server that takes the connection and never answers: each mail to it
# waits 10 s for the TLS handshake, so what waits behind a mail takes 10 s
# or more; the limits below leave room for a loaded machine.
/usr/bin/python3 -c '
import socket, sys, time
s = socket.socket(); s.bind(("127.0.0.1", 0)); s.listen(64)
print(s.getsockname()[1], flush=True)
held = []
while True:
    c, _ = s.accept(); held.append(c)
' >"$W/silent.port" &
for _ in $(seq 100); do [ -s "$W/silent.port" ] && break; sleep 0.1; done
sed -i "s/^EmailServerSSLPort .*/EmailServerSSLPort $(cat "$W/silent.port")/" /etc/pyv2/pyv2.conf
printf 'clock pause-limit-ms=200\n' >"$PYV2_SIM_CONTROL"
start_daemon || return
start=$(now_ms)
for i in 1 2 3 4 5; do
    sim "event index=2 code=0x0002 severity=1 text=\"silent=$i\" time=$((now + 4))"
done
check "events stored while the mail waits" wait_for $TXT "silent=5" 5
elapsed=$(since_ms "$start")
check "stored within 6 s (took ${elapsed} ms)" test "$elapsed" -lt 6000
start=$(now_ms)
fetch during_mail /blank.html
expect_eq "web answer while the mail waits" "HTTP/1.1 200 OK" "$(status_of during_mail)"
elapsed=$(since_ms "$start")
check "answered within 6 s (took ${elapsed} ms)" test "$elapsed" -lt 6000
start=$(now_ms)
expect_eq "SIGTERM while a mail waits" "exit 15" "$(stop_daemon TERM)"
elapsed=$(since_ms "$start")
check "ended within 6 s (took ${elapsed} ms)" test "$elapsed" -lt 6000

# --- Logger mode: the monitor alone, on the main thread; nothing listens.
write_config <<'EOF2'
Logger 1
EOF2
printf 'clock pause-limit-ms=200\n' >"$PYV2_SIM_CONTROL"
launch_daemon
sim "event index=2 code=0x0002 severity=1 text=\"logger=1\" time=$((now + 5))"
check "Logger mode stores events" wait_for $TXT "logger=1"
check_not "Logger mode: nothing listens" curl -sk --max-time 2 -o /dev/null "$BASE/blank.html"
start=$(now_ms)
expect_eq "Logger mode ends by SIGTERM" "exit 15" "$(stop_daemon TERM)"
elapsed=$(since_ms "$start")
check "Logger mode ended within 3 s (took ${elapsed} ms)" test "$elapsed" -lt 3000
