# A fault run on the default simulated machine: while two clients load
# every content page (one as a user, one as an administrator) and the
# monitor reads events, the simulator's control file injects, round after
# round, busy-driver storms, firmware errors, a controller pulled and
# returned, drives pulled and returned, enclosure fans failing and
# recovering, and numbered events on every controller. Afterwards the
# daemon still runs and answers, every page request got a whole answer,
# every numbered event is in its controller's text event file once, each
# failure and recovery of a fan the enclosure monitor watches is logged
# once, the daemon's memory did not grow, and SIGTERM ends it with status
# 15 (with no sanitizer report, in a sanitizer build).
#
# The faults run for PYV2_FAULT_SECONDS seconds (default 50); a longer run
# is made by hand with a larger value (README.md).
run_seconds=${PYV2_FAULT_SECONDS:-50}
# A sanitizer build's daemon sets aside at most 16 MB of freed memory (not
# 256), so that its resident size settles early in the run.
export ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}quarantine_size_mb=16"
export PYV2_SIM_CONTROL="$W/control" PYV2_SIM_STATE="$W/state"
printf 'clock pause-limit-ms=200\n' >"$PYV2_SIM_CONTROL"
USER="WOXUSER=$USER_COOKIE_PYV2"
ADMIN="WOXUSER=$ADMIN_COOKIE_PYV2"
# The text event file of the controller with the SES enclosure, and how
# many of its lines say that a fan of it failed or recovered.
FANS_TXT=/var/log/wox_aen_S3C0000003.txt
fan_lines() { cat "$FANS_TXT" 2>/dev/null | grep -c " Enclosure fan $1: encl=0, fan=${2:-[01]}\$"; }

# The content pages, for every controller position.
PAGES=(/menu.html)
for c in 0 1 2; do
    PAGES+=("/page0.html?c=$c" "/page1_0.html?c=$c" "/page1_1.html?c=$c&u=-2" "/page1_1.html?c=$c&u=0"
        "/page1_2.html?c=$c" "/page1_0_1.html?c=$c" "/page2_0.html?c=$c" "/page2_2.html?c=$c"
        "/page3_0.html?c=$c" "/alarmsdata.html?c=$c&auto=1" "/page3_2.html?c=$c" "/page3_3.html?c=$c&e=0"
        "/fwupdate.html?c=$c")
done

# whole <file>: a page's body ends its document.
whole() { tail -c 64 "$1" | tr -d ' \r\n\t' | grep -q '</html>$'; }

# client <name> <cookie>: loads the pages, round after round, until
# $W/stop exists; counts its requests in $W/<name>.count and notes each
# answer that is not a whole 200 in $W/<name>.failures.
client() {
    local name=$1 cookie=$2 requests=0 path code result
    : >"$W/$name.failures"
    until [ -e "$W/stop" ]; do
        for path in "${PAGES[@]}"; do
            [ -e "$W/stop" ] && break
            code=$(curl -sk --max-time 60 -o "$W/$name.b" -w '%{http_code}' -b "$cookie" "$BASE$path")
            result=$?
            requests=$((requests + 1))
            if [ "$result" -ne 0 ] || [ "$code" != 200 ] || ! whole "$W/$name.b"; then
                echo "$path: curl $result, HTTP $code, $(stat -c %s "$W/$name.b" 2>/dev/null) bytes" >>"$W/$name.failures"
            fi
        done
    done
    echo "$requests" >"$W/$name.count"
}

rss_kb() { awk '/^VmRSS:/ {print $2}' "/proc/$DAEMON_PID/status"; }

# fan_failed <name>: the enclosure details page fetched as <name> shows a
# fan in trouble (its status in red).
fan_failed() { sed -n '/Fan Summary/,/<\/table>/p' "$W/$1.b" | grep -q 'color="#FF0000"'; }

start_daemon || return
daemon_pid=$DAEMON_PID

client user "$USER" &
user_client=$!
client admin "$ADMIN" &
admin_client=$!

# The faults, in rounds of about a second. Each round posts one numbered
# event on each controller and starts or ends one fault, on each
# controller in turn. The first series' events carry no text: theirs is a
# port event numbered by its parameter byte (the number modulo 256), and
# its text file must hold them in the order posted. The controllers stamp
# the events with their own clock as they come (an event file takes no
# event older than its newest as new). The SES enclosure's
# fans fail and recover in turn, each change once the enclosure monitor
# logged the one before (its checks come every few seconds); the SAF-TE
# enclosure's fans, which the monitor does not watch, at will.
n=0
fan=0 fan_down=0 fan_failures=0 fan_recoveries=0
start=$(now_ms)
round=0
: >"$W/posted"
while [ "$(since_ms "$start")" -lt $((run_seconds * 1000)) ]; do
    for index in 1 2 3; do
        n=$((n + 1))
        if [ "$index" -eq 1 ]; then
            sim "event index=1 code=0x0023 param=$((n % 256))"
        else
            sim "event index=$index code=0x0019 severity=2 text=\"fault=$n\""
        fi
        echo "$index $n" >>"$W/posted"
    done
    victim=$((round % 3 + 1))
    case $((round % 8)) in
        0) sim "fault index=$victim errno=EBUSY count=40" ;;
        1) sim "fault index=$victim firmware-code=$([ "$victim" -eq 1 ] && echo 0x00C4 || echo 0x010C) count=6" ;;
        2) sim "set index=$victim present=0" ;;
        3) sim "set index=$victim present=1"
           sim "drive index=1 port=7 added=0"
           sim "drive index=2 port=6 status=2"
           sim "drive index=3 port=7 status=2" ;;
        4) sim "element index=2 enclosure=0 type=fan number=$((round / 8 % 2)) value=1" ;;
        5) sim "drive index=1 port=7 added=1"
           sim "drive index=2 port=6 status=255"
           sim "drive index=3 port=7 status=255"
           sim "fault index=$victim request=264 firmware-code=0x0101 count=4" ;;
        6) sim "element index=2 enclosure=0 type=fan number=0 value=0"
           sim "element index=2 enclosure=0 type=fan number=1 value=0" ;;
        7) sim "fault index=$victim errno=EBUSY count=10"
           sim "fault call=open index=$victim errno=EBUSY count=3" ;;
    esac
    # The fans, once the monitor has read an event, and so has taken the
    # baseline of the enclosures that it compares them with.
    if ! grep -q ': Drive removed: fault=' "$FANS_TXT" 2>/dev/null; then
        :
    elif [ "$fan_down" -eq 0 ] && [ "$(fan_lines normal)" -ge "$fan_recoveries" ]; then
        fan=$((1 - fan)) fan_down=1 fan_failures=$((fan_failures + 1))
        sim "element index=3 enclosure=0 type=fan number=$fan fail=1 rpm=0 status=critical"
    elif [ "$fan_down" -eq 1 ] && [ "$(fan_lines error)" -ge "$fan_failures" ]; then
        fan_down=0 fan_recoveries=$((fan_recoveries + 1))
        sim "element index=3 enclosure=0 type=fan number=$fan fail=0 rpm=3000 status=ok"
    fi
    # Once, a drive of the first series' RAID 5 fails in place.
    [ "$round" -eq 12 ] && sim "fail-drive index=1 port=1"
    round=$((round + 1))
    sleep 0.8
    echo "$(since_ms "$start") $(rss_kb)" >>"$W/rss"
done
touch "$W/stop"
wait "$user_client" "$admin_client"
sim "clear-faults"
for index in 1 2 3; do sim "set index=$index present=1"; done
echo "$n numbered events in $round rounds; requests: user $(cat "$W/user.count"), administrator $(cat "$W/admin.count")"

# Every request got a whole answer.
for name in user admin; do
    check "$name: requests made" test "$(cat "$W/$name.count")" -gt 0
    expect_eq "$name: requests without a whole answer" 0 "$(wc -l <"$W/$name.failures")"
    head -20 "$W/$name.failures"
done

# The daemon still runs and answers; the control file's lines were all taken.
check "the daemon still runs" kill -0 "$daemon_pid"
fetch after /page0.html?c=0 -b "$USER"
expect_eq "answers after the faults" "HTTP/1.1 200 OK" "$(status_of after)"
expect_not_in "every control line applied" "simulator control file" "$W/daemon.err"

# Each numbered event is in its controller's text event file once. The
# monitor gets the last ones within a few passes.
# numbers <index> <file>: the numbers of the events the file holds, oldest first.
numbers() {
    if [ "$1" -eq 1 ]; then
        grep -o ': Sector repair occurred: Port #[0-9]*$' "$2" | sed 's/.*#//' | tac
    else
        grep -o ': Drive removed: fault=[0-9]*$' "$2" | sed 's/.*=//' | sort -n
    fi
}
# posted <index>: what was posted to the controller, as numbers() gives it.
posted() {
    if [ "$1" -eq 1 ]; then
        awk '$1 == 1 {print $2 % 256}' "$W/posted"
    else
        awk -v i="$1" '$1 == i {print $2}' "$W/posted"
    fi
}
for entry in "1 L1A0000001" "2 M2B0000002" "3 S3C0000003"; do
    read -r index serial <<<"$entry"
    file=/var/log/wox_aen_$serial.txt
    posted "$index" >"$W/expected.$index"
    for _ in $(seq 300); do
        [ "$(numbers "$index" "$file" | wc -l)" -ge "$(wc -l <"$W/expected.$index")" ] && break
        sleep 0.1
    done
    numbers "$index" "$file" >"$W/logged.$index"
    if cmp -s "$W/expected.$index" "$W/logged.$index"; then
        pass
    else
        fail "controller $index: the numbered events in $file differ from those posted" \
            "(posted $(wc -l <"$W/expected.$index"), logged $(wc -l <"$W/logged.$index"), twice:" \
            "$(uniq -d "$W/logged.$index" | head -5 | xargs), missing: $(comm -23 <(sort "$W/expected.$index") <(sort "$W/logged.$index") | head -5 | xargs))"
    fi
done
check_not "no event file of an empty name" test -e /var/log/wox_aen_.txt -o -e /var/log/wox_aen_.bin

# Each failure and recovery of a fan is logged once.
if [ "$fan_down" -eq 1 ]; then
    fan_recoveries=$((fan_recoveries + 1))
    sim "element index=3 enclosure=0 type=fan number=$fan fail=0 rpm=3000 status=ok"
fi
for _ in $(seq 300); do
    [ "$(fan_lines normal)" -ge "$fan_recoveries" ] && break
    sleep 0.1
done
sleep 3 # a few more checks: nothing more is logged
echo "fans: $fan_failures failures, $fan_recoveries recoveries"
check "fans failed during the run" test "$fan_failures" -ge 2
expect_eq "fan failures and recoveries logged" "$fan_failures $fan_recoveries" "$(fan_lines error) $(fan_lines normal)"
for f in 0 1; do
    expect_eq "fan $f failures logged as recoveries" "$(fan_lines error $f)" "$(fan_lines normal $f)"
done

# The enclosure page shows a failed fan and a recovered one.
sim "element index=3 enclosure=0 type=fan number=0 fail=1 rpm=0 status=critical"
fetch fan_off "/page3_3.html?c=2&e=0" -b "$USER"
check "a failed fan shows" fan_failed fan_off
sim "element index=3 enclosure=0 type=fan number=0 fail=0 rpm=3000 status=ok"
fetch fan_on "/page3_3.html?c=2&e=0" -b "$USER"
check_not "a recovered fan shows" fan_failed fan_on

# The memory does not grow: the least resident size of the second quarter
# of the run (after the warm-up) against that of its last quarter, the
# least so that a request being answered at a sample does not count. A
# sanitizer build keeps freed memory a while and grows more on its own, so
# it gets more room; both are relative.
rss_floor() { awk -v from="$1" -v to="$2" '$1 > from && $1 <= to && (min == "" || $2 < min) {min = $2} END {print min}' "$W/rss"; }
ms=$((run_seconds * 1000))
warm_rss=$(rss_floor $((ms / 4)) $((ms / 2)))
end_rss=$(rss_floor $((ms * 3 / 4)) $((ms * 2)))
room=110
grep -qa __asan_init "$E2E_DAEMON" && room=125
echo "VmRSS: least $warm_rss kB in the second quarter, $end_rss kB in the last; room $room %"
if [ -n "$warm_rss" ] && [ -n "$end_rss" ]; then
    check "memory grew from $warm_rss kB to $end_rss kB" test $((end_rss * 100)) -le $((warm_rss * room + 1024 * 100))
else
    fail "memory not measured: $(cat "$W/rss" | xargs)"
fi

expect_eq "ends on SIGTERM" "exit 15" "$(stop_daemon TERM)"
