# A drive's S.M.A.R.T. data over HTTPS on a simulated machine
# (tests/e2e/schedule_machine.scenario): the pop-up and the download for
# SATA drives of both series, SAS drives, an empty port and ports that name
# no drive; the download carries the drive's own 512 bytes or answers "404
# Not-Found", never a page of anything else. Then the machine without
# controllers.
source "$(dirname "$E2E_LIB")/actions.bash"
use_machine "$(dirname "$E2E_LIB")/schedule_machine.scenario"
ADMIN="WOXUSER=$ADMIN_COOKIE_PYV2"
USER="WOXUSER=$USER_COOKIE_PYV2"
start_daemon || return

# dump_of <name>: the hexadecimal dump of the pop-up fetched as <name>, as
# plain hex digits; dump_lines <name>: its number of lines.
dump_of() {
    sed -n 's/.*font-family: monospace;">\(.*\)<\/font>.*/\1/p' "$W/$1.b" | sed 's/<br>//g; s/ //g' | tr 'A-F' 'a-f'
}
dump_lines() { sed -n 's/.*font-family: monospace;">\(.*\)<\/font>.*/\1/p' "$W/$1.b" | grep -o '<br>' | wc -l; }
# byte_of <name> <offset>: one byte of the download fetched as <name>.
byte_of() { od -An -tu1 -j "$2" -N1 "$W/$1.b" | tr -d ' '; }
# Whether the 512 bytes add up to 0 modulo 256, as the drive seals them.
sealed() { [ "$(od -An -tu1 -v "$W/$1.b" | tr -s ' ' '\n' | awk '{s += $1} END {print s % 256}')" = 0 ]; }
not_found() {
    fetch "$1" "$2" -b "$USER"
    expect_eq "$2 not found" "HTTP/1.1 404 Not-Found" "$(status_of "$1")"
    expect_eq "$2: one byte" "1" "$(body_size "$1")"
}

# A SATA drive of a second-series controller, by a user: the download is
# the drive's block, the pop-up shows the same bytes.
lines=$(log_count)
fetch dat "/smart.dat?c=1&p=0" -b "$USER"
expect_eq "download status" "HTTP/1.1 200 OK" "$(status_of dat)"
expect_eq "download type" "application/binary; charset=utf-8" "$(header_of dat Content-Type)"
expect_eq "512 bytes" "512" "$(body_size dat)"
expect_eq "revision" "16" "$(byte_of dat 0)"
expect_eq "reallocated sectors" "7" "$(byte_of dat 19)"
expect_eq "power-on hours" "225 16" "$(byte_of dat 31) $(byte_of dat 32)"
expect_eq "temperature" "38" "$(byte_of dat 55)"
check "download sealed" sealed dat
expect_eq "download logged" "Get Drive SMART Data(controller=2, drive=0): Success" "$(logged_since "$lines")"
fetch_ok popup "/smart.html?c=1&p=0" "$USER"
expect_eq "32 lines and one more break" "33" "$(dump_lines popup)"
expect_eq "the dump is the download" "$(xxd -p -c 512 "$W/dat.b")" "$(dump_of popup)"
expect_in "window title" "<title>Pyv2 - testhost</title>" "$W/popup.b"
expect_in "close button" '<form><input type="button" value="Close" onClick="window.close();"></form>' "$W/popup.b"
expect_in "details of family 6" '<tr><td colspan="2" class="tabletitle12">Extra Drive Info (Controller ID 2 - Port 0)</td></tr>' "$W/popup.b"
expect_in "serial" '<b>Serial #</b></td><td width="330" class="tabledata">S500-0001</td>' "$W/popup.b"
expect_not_in "no WWN on family 6" "WWN" "$W/popup.b"
expect_not_in "no refresh" "automatically refresh" "$W/popup.b"
expect_not_in "no init" "function init(" "$W/popup.b"

# A first-series drive: no details, the dump.
fetch dat0 "/smart.dat?c=0&p=0" -b "$USER"
expect_eq "first series: 512 bytes" "512" "$(body_size dat0)"
expect_eq "first series: temperature" "35" "$(byte_of dat0 43)"
fetch_ok popup0 "/smart.html?c=0&p=0"
expect_not_in "first series: no details" "Extra Drive Info" "$W/popup0.b"
expect_eq "first series: the dump is the download" "$(xxd -p -c 512 "$W/dat0.b")" "$(dump_of popup0)"

# The later controller: a SATA drive shows every detail and the dump, a SAS
# drive its details only, and its download is not found.
fetch_ok sata8 "/smart.html?c=2&p=1"
expect_in "VPort" "Extra Drive Info (Controller ID 3 - VPort 1)" "$W/sata8.b"
expect_eq "fifteen details" "15" "$(grep -c '<td width="180" class="tabledata">' "$W/sata8.b")"
expect_in "temperature row" '<b>41</b>&#176;C (<b>105</b>&#176;F)' "$W/sata8.b"
expect_eq "SATA dump" "33" "$(dump_lines sata8)"
lines=$(log_count)
fetch_ok sas8 "/smart.html?c=2&p=0"
expect_in "SAS: details" "<b>Drive Type</b></td><td width=\"330\" class=\"tabledata\">SAS</td>" "$W/sas8.b"
expect_not_in "SAS: no SMART table" "S.M.A.R.T. (" "$W/sas8.b"
not_found sas8dat "/smart.dat?c=2&p=0"
expect_eq "SAS reads logged as failed" "Get Drive SMART Data(controller=3, drive=0): Failed
Get Drive SMART Data(controller=3, drive=0): Failed" "$(logged_since "$lines")"

# A SAS drive of family 6 and an empty port: the pop-up says why, the
# download is not found.
fetch_ok sas6 "/smart.html?c=1&p=2"
expect_in "SAS on family 6: the reason" \
    '<font style="color: #FF0000;"><br><b>Invalid operation for specified port ATA 0xB0 port 2: Controller ID 2 - Failed to get S.M.A.R.T. data</b><br><br></font>' \
    "$W/sas6.b"
not_found sas6dat "/smart.dat?c=1&p=2"
lines=$(log_count)
fetch_ok empty "/smart.html?c=1&p=5"
expect_in "empty port: the reason" "Failed to get S.M.A.R.T. data</b>" "$W/empty.b"
not_found emptydat "/smart.dat?c=1&p=5"
expect_eq "empty port logged as failed" "Get Drive SMART Data(controller=2, drive=5): Failed
Get Drive SMART Data(controller=2, drive=5): Failed" "$(logged_since "$lines")"

# Positions that name no port: nothing is sent.
lines=$(log_count)
for p in 8 200 -1 9999999 x; do
    fetch_ok "bad$p" "/smart.html?c=1&p=$p"
    if [ "$p" = x ]; then
        expect_in "p=x reads port 0" "Extra Drive Info (Controller ID 2 - Port 0)" "$W/badx.b"
        continue
    fi
    expect_in "p=$p: invalid drive" "<b>(0x0B:0x000A): Invalid drive ID: Controller ID 2 - Failed to get S.M.A.R.T. data</b>" "$W/bad$p.b"
    expect_not_in "p=$p: no details" "Extra Drive Info" "$W/bad$p.b"
    not_found "baddat$p" "/smart.dat?c=1&p=$p"
done
expect_eq "only p=x read" "Get Drive SMART Data(controller=2, drive=0): Success" "$(logged_since "$lines")"
pages_parse popup popup0 sata8 sas8 sas6 bad200

# Without controllers: the pages show "NO CONTROLLERS", the download is not
# found.
stop_daemon TERM >/dev/null
echo "kernel release=6.1.0-sim" >"$W/empty.scenario"
export PYV2_SIM_SCENARIO="$W/empty.scenario"
unset PYV2_SIM_STATE
start_daemon || return
for path in "/smart.html?c=0&p=0" "/page2_1.html?c=0" "/page3_1.html?c=0"; do
    fetch_ok none "$path"
    expect_in "$path: no controllers" '<font style="color: #FF0000;font-weight: bold;">NO CONTROLLERS</font>' "$W/none.b"
done
not_found nonedat "/smart.dat?c=0&p=0"
