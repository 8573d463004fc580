# The information pages and their actions over HTTPS on the default
# simulated machine: what each page shows of the simulated controllers,
# unit and drive identify, the phy link-speed limit and its refusal, and
# request values that name nothing.
start_daemon || return
USER="WOXUSER=$USER_COOKIE_PYV2"
ADMIN="WOXUSER=$ADMIN_COOKIE_PYV2"
LOG=/var/log/kq_mgmt.log

# page <name> <path> [cookie]: fetches a page as the user (or with the cookie).
page() {
    fetch "$1" "$2" -b "${3:-$USER}"
    expect_eq "$2 status" "HTTP/1.1 200 OK" "$(status_of "$1")"
}
# message <name>: the message a redirect page carries to the banner.
message() {
    grep -o 'font-family:Arial,Helvetica;\\">&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;.*</font>' "$W/$1.b" |
        sed -e 's/^.*&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;//' -e 's|</font>$||'
}
log_lines() { grep -c "$1" "$LOG" 2>/dev/null || true; }

# The summary lists every controller with its state.
page summary "/page0.html?c=0"
for row in "1|QX-2400-12|L1A0000001|WARNING" "2|QX-6200-8|M2B0000002|ERROR" "3|QX-8800-4i|S3C0000003|WARNING"; do
    IFS='|' read -r id model serial state <<<"$row"
    expect_in "summary row $id" "font-weight: bold;\">$id</a></td>
<td width=\"125\" class=\"tabledata\">$model</td>
<td width=\"135\" class=\"tabledata\">$serial</td>" "$W/summary.b"
done
expect_eq "summary states" "WARNING ERROR WARNING" \
    "$(grep -o 'font-weight: bold;\">[A-Z ]*</font></td></tr>' "$W/summary.b" | sed 's/.*">\(.*\)<\/font>.*/\1/' | xargs)"

# Controller details by family; a c naming no controller shows the first.
page details0 "/page1_0.html?c=0"
expect_in "first series: Monitor" "<b>Monitor</b></td><td width=\"300\" class=\"tabledata\">BL7X 1.01.00.004</td>" "$W/details0.b"
expect_not_in "first series: no bus" "Bus Type" "$W/details0.b"
expect_in "first series: drives" "<b># of Drives</b></td><td width=\"300\" class=\"tabledata\">10</td>" "$W/details0.b"
expect_in "error log link" "javascript:download_log(0);" "$W/details0.b"
expect_in "first series: memory" "<b>Available Memory</b></td><td width=\"300\" class=\"tabledata\">2 MB</td>" "$W/details0.b"
page details1 "/page1_0.html?c=1"
expect_in "family 6: memory" "<b>Available Memory</b></td><td width=\"300\" class=\"tabledata\">224 MB</td>" "$W/details1.b"
expect_in "family 6: bus" "<b>Bus Type</b></td><td width=\"300\" class=\"tabledata\">PCIX</td>" "$W/details1.b"
page details2 "/page1_0.html?c=2"
expect_in "family 8: memory" "<b>Available Memory</b></td><td width=\"300\" class=\"tabledata\">512 MB</td>" "$W/details2.b"
expect_in "family 8: phys" "<b>Controller Phys</b></td><td width=\"300\" class=\"tabledata\">8</td>" "$W/details2.b"
expect_in "family 8: drives" "<b>Drives</b></td><td width=\"300\" class=\"tabledata\">8 of 8</td>" "$W/details2.b"
# The RAID 6 unit counts its four drives, not its task records.
expect_in "family 8: drives in units" "<b>Active Drives</b></td><td width=\"300\" class=\"tabledata\">6 of 128</td>" "$W/details2.b"
for c in 9 -1 abc; do
    page "details_c$c" "/page1_0.html?c=$c"
    expect_in "c=$c shows the first controller" "Controller Details (Controller ID 1)" "$W/details_c$c.b"
done

# Units: the list, a unit's tree, a unit that does not exist.
page units1 "/page1_1.html?c=1&u=-2"
expect_in "RAID 5 listed" "class=\"tabledata\">RAID 5</font></td>" "$W/units1.b"
expect_in "degraded mirror" "<font style=\"color: #FF0000;font-weight: bold;\">DEGRADED</font>" "$W/units1.b"
expect_not_in "spare not listed" "goto_unit(2)" "$W/units1.b"
page tree "/page1_1.html?c=2&u=1"
expect_in "tree of unit 1" "Unit 1 (Controller ID 3)" "$W/tree.b"
expect_in "tree: rebuilding" "REBUILDING 40% (active)" "$W/tree.b"
expect_in "tree: its drives" "<!--- START SUBUNIT 1--->" "$W/tree.b"
page raid6 "/page1_1.html?c=2&u=0"
expect_in "RAID 6 tree" "<b>Type</b>&nbsp;&nbsp;</td><td class=\"tabledata\">RAID 6</td>" "$W/raid6.b"
expect_eq "RAID 6 boxes: its drives" "0 1 2 3" \
    "$(grep -o 'javascript:goto_drivesummary([0-9]*)' "$W/raid6.b" | grep -o '[0-9]*' | xargs)"
for u in 5 64 300 -7; do
    page "tree_u$u" "/page1_1.html?c=2&u=$u"
    expect_in "u=$u answers the list" "Unit Information (Controller ID 3)" "$W/tree_u$u.b"
done

# Drives: the highlighted row, the spare, the controller's slots.
page drives1 "/page1_2.html?c=1&d=3"
expect_eq "every cell of one row highlighted" "8" "$(grep -o 'background-color: #FFFF00;' "$W/drives1.b" | wc -l)"
expect_in "the fourth row highlighted" "<td width=\"50\" class=\"tabledatacenter\" style=\"background-color: #FFFF00;\"><a href=\"javascript:smart_data(1, 3);\"" "$W/drives1.b"
expect_in "the spare" "class=\"tabledatacenter\">S</td>" "$W/drives1.b"
page drives2 "/page1_2.html?c=2"
expect_in "slot link" "goto_enclosure(0,7);' style='color:#0000FF;text-decoration:underline;font-weight:bold;'>Enclosure 0 Slot 7</a>" "$W/drives2.b"

# Phys.
page phys2 "/page1_0_1.html?c=2&y=3"
expect_eq "eight phys" "8" "$(grep -c 'name="plinkspeed"' "$W/phys2.b")"
page phys0 "/page1_0_1.html?c=0"
expect_in "first series: no phys" "NO PHYS" "$W/phys0.b"

# Unit identify: any logged-in user, no command-log line; the simulator
# then reports the unit's lights on.
before=$(log_lines "Identify")
page blink "/page1_1.html?BlinkUnit=0&On=1&c=2"
expect_eq "unit identify message" "Blinking LED for unit 0" "$(message blink)"
expect_in "back to the unit page" "url = \"/page1_1.html?c=\" + parent.cur_controller;" "$W/blink.b"
page units2 "/page1_1.html?c=2&u=-2"
expect_in "unit 0 lights on" "checked onClick=\"blink_unit(0, 0)\"" "$W/units2.b"
page drives2on "/page1_2.html?c=2"
for port in 0 1 2 3; do
    expect_in "drive $port of unit 0 lit" "checked onClick=\"blink_drive($port, 0)\"" "$W/drives2on.b"
done
expect_eq "no log line for a unit" "$before" "$(log_lines "Identify")"
page unblink "/page1_1.html?BlinkUnit=0&On=0&c=2"
expect_eq "unit identify off" "Stopped blinking LED for unit 0" "$(message unblink)"
page units2off "/page1_1.html?c=2&u=-2"
expect_in "unit 0 lights off" "onClick=\"blink_unit(0, 1)\"" "$W/units2off.b"
page blink_none "/page1_1.html?BlinkUnit=70&On=1&c=2"
expect_eq "a unit that cannot be named" "Failed to start blinking LED for unit 70" "$(message blink_none)"

# Drive identify: logged.
page blinkd "/page1_2.html?BlinkDrive=5&On=1&c=2"
expect_eq "drive identify message" "Blinking LED for drive 5" "$(message blinkd)"
expect_in "drive identify logged" "Identify Port(controller=3, port=5, enable=" "$LOG"
page drives2d "/page1_2.html?c=2"
expect_in "drive 5 lit" "checked onClick=\"blink_drive(5, 0)\"" "$W/drives2d.b"
lines=$(log_lines "Identify Port")
page blinkd_bad "/page1_2.html?BlinkDrive=-1&On=1&c=2"
expect_eq "a port that cannot be named" "Failed to start blinking LED for drive -1" "$(message blinkd_bad)"
expect_eq "nothing sent for it" "$lines" "$(log_lines "Identify Port")"

# The phy link-speed limit: refused for a user, set for an administrator.
page phy_user "/page1_0_1.html?SetPhyLinkspeed=2&y=3&c=2"
expect_eq "user refused" "(0x0C:0x0011): Not logged in as Administrator" "$(message phy_user)"
page phy_admin "/page1_0_1.html?SetPhyLinkspeed=1&y=3&c=2" "$ADMIN"
expect_eq "limit set" "Set phy 3 link limit to 1.5 Gbps.  The link speed change will take effect after system reboot." "$(message phy_admin)"
expect_in "limit logged" "Set Phy Link Negotiation Limit(phy=3, limit=1): Success" "$LOG"
page phys_after "/page1_0_1.html?c=2" "$ADMIN"
expect_in "phy 3 limited" "set_phy_linkspeed(3, this.options[this.selectedIndex].value);\"><option value=\"0\">Auto</option><option value=\"1\" selected>1.5 Gbps</option>" "$W/phys_after.b"
lines=$(log_lines "Set Phy Link")
for y in -1 8 255; do
    page "phy_bad$y" "/page1_0_1.html?SetPhyLinkspeed=1&y=$y&c=2" "$ADMIN"
    expect_eq "phy $y names none" "Failed to set link limit for phy $y" "$(message "phy_bad$y")"
done
page phy_noy "/page1_0_1.html?SetPhyLinkspeed=1&c=2" "$ADMIN"
expect_eq "no phy given" "Failed to set link limit for phy -1" "$(message phy_noy)"
expect_eq "nothing sent for them" "$lines" "$(log_lines "Set Phy Link")"
