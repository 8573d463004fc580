# Actions loaded from a page of another site change nothing: a GET that
# names an action of its page, with "Sec-Fetch-Site: cross-site", an Origin
# naming another host or a Referer naming another host, is answered "404
# Not-Found" and leaves the configuration, the controllers, the event files
# and the command log as they were, though it carries the administrator's
# login. The same GET from the daemon's own page is carried out, and pages
# that only show something are served whatever page linked them.
export PYV2_SIM_STATE="$W/state"
export PYV2_SIM_CONTROL="$W/control"
printf 'clock pause-limit-ms=200\n' >"$PYV2_SIM_CONTROL"
TXT=/var/log/wox_aen_M2B0000002.txt
BIN=/var/log/wox_aen_M2B0000002.bin
start_daemon || return
source "$(dirname "$E2E_LIB")/actions.bash"
ADMIN="WOXUSER=$ADMIN_COOKIE_PYV2"
printf 'event index=2 code=0x0002 severity=1 text="unit=1" time=%d\n' "$(date +%s)" >>"$PYV2_SIM_CONTROL"
check "an event to clear" wait_for $TXT "unit=1"

# What the actions change: the configuration, the command log, the
# controllers' state (without their event queues, which the monitor empties,
# and the units' raw records, which move on with their tasks) and the event
# files.
standing() {
    cat /etc/pyv2/pyv2.conf
    log_count
    sed '/^\(event-ring\|ring-event\) /d; s/ records=hex:[0-9a-f]*//' "$PYV2_SIM_STATE" 2>/dev/null | sort
    stat -c '%n %s' /var/log/wox_aen_*
}

# The three markers of another site's page, one at a time.
MARKERS=("Sec-Fetch-Site: cross-site" "Origin: https://evil.example" "Referer: https://evil.example/page.html")

# act <name> <path> <page of this server>: each marker refused, nothing
# changed; then the GET as the daemon's own page loads it, in $W/<name>.b.
act() {
    local name=$1 path=$2 own=$3 marker n=0
    for marker in "${MARKERS[@]}"; do
        n=$((n + 1))
        standing >"$W/before"
        fetch "$name-refused$n" "$path" -b "$ADMIN" -H "$marker"
        expect_eq "$path with $marker" "HTTP/1.1 404 Not-Found" "$(status_of "$name-refused$n")"
        expect_eq "$path with $marker: body" 1 "$(body_size "$name-refused$n")"
        standing >"$W/after"
        expect_eq "$path with $marker: nothing changed" "" "$(diff "$W/before" "$W/after")"
    done
    fetch "$name" "$path" -b "$ADMIN" -H "Sec-Fetch-Site: same-origin" -H "Referer: https://127.0.0.1:888$own"
    expect_eq "$path from its own page" "HTTP/1.1 200 OK" "$(status_of "$name")"
}

# Pages shown from another site's link, refreshes included.
while IFS='|' read -r path text; do
    for marker in "${MARKERS[@]}"; do
        fetch shown "$path" -b "$ADMIN" -H "$marker"
        expect_eq "$path with $marker" "HTTP/1.1 200 OK" "$(status_of shown)"
        expect_in "$path with $marker: the page" "$text" "$W/shown.b"
    done
done <<'TABLE'
/page2_2.html?c=1&AvailListSort=3|Unit Maintenance (Controller ID 2)
/page4.html?c=0&u=-2|name="ChangeRefresh"
/alarmsdata.html?c=1&auto=1|unit=1
/page2_0.html?c=2|ChangeRebuildRate
TABLE

# The automatic refresh interval of the daemon's settings.
refresh() { sed -n 's/^Refresh //p' /etc/pyv2/pyv2.conf; }
before=$(refresh)
act refresh "/page4.html?Refresh=30&c=0" "/page4.html?c=0&u=-2"
expect_eq "refresh set" "30" "$(refresh)"
check "refresh was another" test "$before" != 30

# A unit deleted on the Maintenance page.
lines=$(log_count)
act delete "/page2_2.html?c=1&DeleteUnits=0&AvailListSort=1" "/page2_2.html?c=1"
expect_eq "unit deleted" "Successfully deleted unit(s)  0" "$(message_of delete)"
expect_eq "deletion logged" 1 "$(logged_since "$lines" | grep -c '^Delete Unit(controller=2, unit=0')"
# The deletion's event reaches the event files a pass later: before the
# next action takes its snapshot.
check "the deletion's event filed" wait_for $TXT "Unit deleted"

# A controller setting.
act rate "/page2_0.html?ChangeRebuildRate=4&c=2" "/page2_0.html?c=2"
expect_eq "rate changed" "Changed Background Rebuild Rate to 4" "$(message_of rate)"
expect_eq "rate stored" "hex:46" "$(state_value 3 0x840C 5)"

# The alarms cleared.
act clear "/page3_0.html?ClearAlarms=1&c=1" "/page3_0.html?c=1"
expect_in "alarms cleared" "Cleared Alarms" "$W/clear.b"
expect_eq "event files emptied" "0 0" "$(stat -c %s $BIN) $(stat -c %s $TXT)"
