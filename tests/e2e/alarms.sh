# The Alarms handlers over HTTPS: the sort key, the controller a request
# selects, and the clear, which an administrator may make (with any value)
# and a user may not, and which is not reported as made when the files
# cannot be written.
export PYV2_SIM_CONTROL="$W/control"
printf 'clock pause-limit-ms=200\n' >"$PYV2_SIM_CONTROL"
TXT=/var/log/wox_aen_M2B0000002.txt
BIN=/var/log/wox_aen_M2B0000002.bin
start_daemon || return
now=$(date +%s)
printf 'event index=2 code=0x0002 severity=1 text="unit=1" time=%d\n' "$now" >>"$PYV2_SIM_CONTROL"
for _ in $(seq 100); do grep -q "unit=1" $TXT 2>/dev/null && break; sleep 0.1; done
ADMIN=(-b "WOXUSER=$ADMIN_COOKIE_PYV2")
USER=(-b "WOXUSER=$USER_COOKIE_PYV2")

# The sort key: a value beginning with "sev", case counting.
# query | frame source
while IFS='|' read -r query frame; do
    fetch sort "/page3_0.html?c=1$query" "${USER[@]}"
    expect_in "frame of [$query]" "src=\"$frame\"" "$W/sort.b"
done <<'TABLE'
|/alarmsdata.html?c=1&auto=1
&SortBy=sev|/alarmsdata.html?c=1&auto=1&SortBy=sev
&SortBy=severity|/alarmsdata.html?c=1&auto=1&SortBy=sev
&SortBy=SEV|/alarmsdata.html?c=1&auto=1
&SortBy=time|/alarmsdata.html?c=1&auto=1
TABLE

# Grouped by severity the error comes first; in file order the newest.
fetch by_time "/alarmsdata.html?c=1&auto=1" "${USER[@]}"
fetch by_sev "/alarmsdata.html?c=1&auto=1&SortBy=sev" "${USER[@]}"
expect_eq "rows in both orders" "$(grep -c '<tr><td width="47"' "$W/by_time.b")" \
    "$(($(grep -c '<tr><td width="47"' "$W/by_sev.b") + $(grep -o 'bgcolor="brown"' "$W/by_time.b" | wc -l)))"
expect_eq "first row by severity" '#FF0000' "$(grep -o '<tr><td width="47" align="center" bgcolor="[^"]*"' "$W/by_sev.b" | head -1 | cut -d'"' -f6)"
# A position past the list selects the first controller.
fetch first "/alarmsdata.html?c=0&auto=1" "${USER[@]}"
fetch past "/alarmsdata.html?c=99&auto=1" "${USER[@]}"
expect_eq "c past the list" "$(cat "$W/first.b")" "$(cat "$W/past.b")"
check "the first controller's events" grep -q "goto_aen_help" "$W/first.b"

# A user may not clear; nothing changes.
size=$(stat -c %s $BIN)
fetch user_clear "/page3_0.html?ClearAlarms=1&c=1" "${USER[@]}"
expect_in "user refused" "(0x0C:0x0011): Not logged in as Administrator : Cannot clear Alarms" "$W/user_clear.b"
expect_eq "binary file kept" "$size" "$(stat -c %s $BIN)"
check "text file kept" grep -q "unit=1" $TXT

# An event directory that cannot take the emptied files (read-only, as a
# full disk would be): the clear is answered as not made, and both files
# stay as they were.
source "$(dirname "$E2E_LIB")/actions.bash"
cp $BIN "$W/bin.before"
cp $TXT "$W/txt.before"
mount -o remount,bind,ro /var/log
fetch ro_clear "/page3_0.html?ClearAlarms=1&c=1" "${ADMIN[@]}"
mount -o remount,bind,rw /var/log
expect_eq "a clear that cannot be written" "Cannot clear Alarms" "$(message_of ro_clear)"
check "binary file kept" cmp -s "$W/bin.before" $BIN
check "text file kept" cmp -s "$W/txt.before" $TXT

# An administrator clears with any value, 0 included; the frame then has
# no rows until a new event comes.
fetch admin_clear "/page3_0.html?ClearAlarms=0&c=1" "${ADMIN[@]}"
expect_in "cleared" "Cleared Alarms" "$W/admin_clear.b"
expect_eq "files emptied" "0 0" "$(stat -c %s $BIN) $(stat -c %s $TXT)"
fetch empty "/alarmsdata.html?c=1&auto=1" "${USER[@]}"
expect_in "no rows" "NO ALARMS FOUND" "$W/empty.b"
printf 'event index=2 code=0x0019 severity=2 text="port=6" time=%d\n' $((now + 1)) >>"$PYV2_SIM_CONTROL"
for _ in $(seq 100); do grep -q "port=6" $TXT 2>/dev/null && break; sleep 0.1; done
fetch again "/alarmsdata.html?c=1&auto=1" "${USER[@]}"
expect_eq "one row after the next event" 1 "$(grep -c '<tr><td width="47"' "$W/again.b")"
stop_daemon TERM >/dev/null

# Without any controller the frame's URL answers the whole page in its
# "NO CONTROLLERS" form.
: >"$W/no-controllers"
export PYV2_SIM_SCENARIO="$W/no-controllers"
start_daemon || return
fetch none "/alarmsdata.html?c=0&auto=1" "${USER[@]}"
expect_in "no controllers" "NO CONTROLLERS" "$W/none.b"
expect_in "the whole page" "onLoad=\"init(1);\"" "$W/none.b"
