# The Battery Backup page and its actions over HTTPS on a simulated machine
# (tests/e2e/schedule_machine.scenario): the page of a healthy, a missing, a
# pack-less and a disabled unit; the capacity test started on a present, an
# absent and a failing battery; the administrator level it needs.
source "$(dirname "$E2E_LIB")/actions.bash"
use_machine "$(dirname "$E2E_LIB")/schedule_machine.scenario"
ADMIN="WOXUSER=$ADMIN_COOKIE_PYV2"
USER="WOXUSER=$USER_COOKIE_PYV2"
start_daemon || return
BBU="/page3_1.html"
row() { echo "<tr><td width=\"215\" class=\"tabledata\">&nbsp;&nbsp;<b>$1</b></td><td width=\"300\" colspan=\"2\" class=\"tabledata\">$2</td></tr>"; }
green() { echo "<font style=\"color: #009900;font-weight: bold;\">$1</font>"; }

# A healthy unit.
fetch_ok page "$BBU?c=1" "$USER"
expect_in "present" "$(row "Battery Backup Unit" "$(green PRESENT)")" "$W/page.b"
expect_in "serial" "$(row "Serial #" BBU2)" "$W/page.b"
expect_in "ready" "$(row "BBU Ready" "$(green Ready)")" "$W/page.b"
expect_in "temperature" "$(row "Battery Temperature" '<font style="color: #009900;font-weight: bold;">OK&nbsp;(77&#176;F&nbsp;|&nbsp;25&#176;C)</font>')" "$W/page.b"
expect_in "capacity" "$(row "Estimated Backup Capacity" "72 hours")" "$W/page.b"
expect_in "test link" '<td width="110" class="tabledata">02-Jun-2025</td><td width="190" class="tabledata"><a href="javascript:test_bbu();"' "$W/page.b"
fetch_ok first "$BBU?c=0"
expect_in "first series" "(0x0C:0x0018): Battery Backup is not supported on this controller model" "$W/first.b"
expect_not_in "first series: no table" "<table" "$W/first.b"
fetch_ok none "$BBU?c=3"
expect_in "no unit" "$(row "Battery Backup Unit" '<font style="color: #FF0000;font-weight: bold;">NOT PRESENT</font>')" "$W/none.b"
expect_eq "no unit: nine rows of --" "9" "$(grep -c 'class="tabledata">--</td></tr>' "$W/none.b")"
pages_parse page first none

# The capacity test: a user is refused and nothing is sent.
lines=$(log_count)
fetch_ok user "$BBU&TestBBU=1?c=1" "$USER"
expect_eq "user refused" "(0x0C:0x0011): Not logged in as Administrator : Failed to start BBU test" "$(message_of user)"
expect_eq "user: nothing sent" "" "$(logged_since "$lines")"
fetch_ok still_ready "$BBU?c=1"
expect_in "user: the unit still ready" "$(row "BBU Ready" "$(green Ready)")" "$W/still_ready.b"

# Started on the healthy battery, by the page's own URL.
lines=$(log_count)
fetch_ok start "$BBU&TestBBU=1?c=1"
expect_eq "test started" "Successfully started battery capacity test" "$(message_of start)"
expect_eq "back to the page" "/page3_1.html?c=" "$(target_of start)"
expect_eq "test logged" "Start BBU Battery Test(controller=2): Success" "$(logged_since "$lines")"
fetch_ok testing "$BBU?c=1"
expect_in "now testing" "$(row "BBU Status" '<font style="color: #FF0000;font-weight: bold;">TESTING</font>')" "$W/testing.b"
fetch_ok again "$BBU?TestBBU=1&c=1"
expect_eq "a second test refused" \
    "The BBU resource needed is in use; retry command after a delay opcode 0x1E : Failed to start battery capacity test" \
    "$(message_of again)"

# A failing battery and a controller without a unit: the library's reason.
lines=$(log_count)
fetch_ok failing "$BBU?TestBBU=1&c=2"
expect_eq "failing battery" "BBU not ready opcode 0x1E : Failed to start battery capacity test" "$(message_of failing)"
fetch_ok absent "$BBU?TestBBU=1&c=3"
expect_eq "no unit" "(0x0B:0x004A): Controller has no battery backup unit : Failed to start battery capacity test" \
    "$(message_of absent)"
expect_eq "both logged as failed" "Start BBU Battery Test(controller=3): Failed
Start BBU Battery Test(controller=4): Failed" "$(logged_since "$lines")"

# The installation notice needs no level and is not logged; with both keys
# only the notice runs.
lines=$(log_count)
fetch_ok init "$BBU&InitBBU=1?c=1" "$USER"
expect_eq "installed" "Successfully installed new battery" "$(message_of init)"
fetch_ok both "$BBU?InitBBU=1&TestBBU=1&c=3"
expect_eq "both keys: the notice" "Successfully installed new battery" "$(message_of both)"
expect_eq "notice not logged" "" "$(logged_since "$lines")"

# A unit without its battery pack, then switched off.
echo "battery index=4 pack=0" >>"$PYV2_SIM_CONTROL"
fetch_ok pack "$BBU?c=3"
expect_in "pack-less unit present" "$(row "Battery Backup Unit" "$(green PRESENT)")" "$W/pack.b"
expect_in "its firmware" "$(row Firmware "BBU 3.02.00.004")" "$W/pack.b"
expect_eq "five battery rows of --" "5" "$(grep -c 'class="tabledata">--</td></tr>' "$W/pack.b")"
echo "battery index=4 enabled=0" >>"$PYV2_SIM_CONTROL"
fetch_ok disabled "$BBU?c=3"
expect_in "disabled" "$(row "Battery Backup Unit" '<font style="color: #FF0000;font-weight: bold;">DISABLED</font>')" "$W/disabled.b"
expect_eq "disabled: nine rows of --" "9" "$(grep -c 'class="tabledata">--</td></tr>' "$W/disabled.b")"
