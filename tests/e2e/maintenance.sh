# The Maintenance page's actions over HTTPS on the default simulated
# controllers (position 0: controller 1, first series; position 1:
# controller 2, second series; position 2: controller 3): each action's
# message, its command-log line and what the controller then holds, as the
# page shows it; the refusals of a user and of values the page never sends.
start_daemon || return
ADMIN="WOXUSER=$ADMIN_COOKIE_PYV2"
USER="WOXUSER=$USER_COOKIE_PYV2"
LOG=/var/log/kq_mgmt.log
n=0

# act <cookie> <query>: requests the page with the query; the answer in
# $W/act.b, its message in $MESSAGE, its target in $TARGET, the command-log
# lines it added in $W/act.log.
act() {
    local before
    before=0
    [ -f "$LOG" ] && before=$(wc -l <"$LOG")
    fetch act "/page2_2.html?$2" -b "$1"
    MESSAGE=$(sed -n 's/.*&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;\(.*\)<\/font>";$/\1/p' "$W/act.b")
    TARGET=$(sed -n 's/^  url = "\(.*\)&c=" + parent.cur_controller;$/\1/p' "$W/act.b")
    # The lines without their time stamp: "Pyv2 [<line>]".
    tail -n +$((before + 1)) "$LOG" 2>/dev/null | sed 's/^.\{24\} Pyv2 \[//; s/\]$//' >"$W/act.log"
}
# page <position>: the Maintenance page of the controller in $W/page.b.
page() { fetch page "/page2_2.html?c=$1" -b "$ADMIN"; }
logged() { cat "$W/act.log"; }

# --- Seen by a user, changed by nobody but the administrator.
page 1
expect_in "page" "Unit Maintenance (Controller ID 2)" "$W/page.b"
cp "$W/page.b" "$W/before.b"
refused="(0x0C:0x0011): Not logged in as Administrator"
while IFS='|' read -r query message; do
    act "$USER" "c=1&$query"
    expect_eq "user $query" "$refused$message" "$MESSAGE"
    expect_eq "user $query target" "/page2_2.html?AvailListSort=1" "$TARGET"
    expect_eq "user $query logged" "" "$(logged)"
done <<'TABLE'
RemoveDrive=7| : (0x0C:0x001F): Operation aborted
RemoveDrives=6,7| : (0x0C:0x001F): Operation aborted
SpareDrive=7| : (0x0C:0x001F): Operation aborted
SpareDrives=6,7| : (0x0C:0x001F): Operation aborted
ClearDrivesConfig=5| : (0x0C:0x001F): Operation aborted
StopVerifyUnit=0| : Cannot stop the Verify
RebuildUnit=1&RebuildDrives=6| : Cannot start Rebuild
VerifyUnit=0| : Cannot start Verify
RemoveUnits=0| : Cannot remove units
DeleteUnits=0|.  Cannot delete units
CreateDrives=6,7&CreateType=RAID%201|Cannot create units
RescanController=1|Cannot Rescan controller
ModifyUnit=0&ModifyDrives=6| : Cannot Migrate unit
TABLE
page 1
expect_eq "nothing changed for the user" "" "$(diff <(grep -v 'Last updated' "$W/before.b") <(grep -v 'Last updated' "$W/page.b"))"

# --- Drive actions (controller 2: unit 0 RAID 5 on ports 0-2, unit 1 a
# degraded RAID 1 on port 3, a spare on port 5, free drives on 6 and 7).
act "$ADMIN" "c=1&SpareDrive=7&AvailListSort=3"
expect_eq "spare" "Successfully set spare(s) from Port 7 .  " "$MESSAGE"
expect_eq "spare target" "/page2_2.html?AvailListSort=3" "$TARGET"
expect_in "spare logged" "Create Unit(controller=2 drives=7, type=" "$W/act.log"
page 1
expect_in "drive 7 spare" "isaspare[7] = 1;" "$W/page.b"

act "$ADMIN" "c=1&ClearDrivesConfig=7,5"
expect_eq "clear" "Successfully cleared drive configuration from Port 7 ,5.  " "$MESSAGE"
expect_eq "clear logged" "2" "$(grep -c '^Delete Unit(controller=2, unit=.*): Success' "$W/act.log")"
page 1
expect_not_in "no spare left" "isaspare[7] = 1;" "$W/page.b"
expect_not_in "no spare left" "isaspare[5] = 1;" "$W/page.b"

# A drive that belongs to no unit has nothing to clear: done, nothing called.
act "$ADMIN" "c=1&ClearDrivesConfig=6"
expect_eq "clear a free drive" "Successfully cleared drive configuration from Port 6 .  " "$MESSAGE"
expect_eq "clear a free drive logged" "" "$(logged)"
# Nor on the first series, where a drive carries no configuration of its own.
act "$ADMIN" "c=0&ClearDrivesConfig=7"
expect_eq "first series: clear a free drive" "Successfully cleared drive configuration from Port 7 .  " "$MESSAGE"
expect_eq "first series: clear a free drive logged" "" "$(logged)"

act "$ADMIN" "c=1&SpareDrives=5,200"
expect_eq "spares, one impossible" \
    "(0x0B:0x000A): Invalid drive ID : Failed to set spare(s) from Port 200Successfully set spare(s) from Port 5 .  " "$MESSAGE"

act "$ADMIN" "c=1&RemoveDrive=7"
expect_eq "remove" "Successfully removed drive from Port 7.  You may now unplug it from the controller" "$MESSAGE"
expect_eq "remove logged" "Remove Drive(controller=2, drive=7): Success" "$(logged)"
page 1
expect_not_in "drive 7 gone" "availdrivelist[2] = 7;" "$W/page.b"

act "$ADMIN" "c=1&RemoveDrives=6,7"
expect_eq "remove two, one gone" \
    "(0x0B:0x002E): Port empty : Failed to remove drive from Port 7Successfully removed drive from Port 6 .  You may now unplug it from the controller" "$MESSAGE"

act "$ADMIN" "c=1&RemoveDrives="
expect_eq "remove nothing" "Please select at least one drive to create a unit" "$MESSAGE"

act "$ADMIN" "c=1&RescanController=1"
expect_eq "rescan" "Rescan found the following unit(s): [none] : Found the following drive(s): 6, 7" "$MESSAGE"
expect_eq "rescan logged" "Rescan Controller(controller=2, make os aware=yes): Success" "$(head -1 "$W/act.log")"
page 1
expect_in "drive 7 back" "availdrivelist[2] = 7;" "$W/page.b"

# --- Unit actions.
act "$ADMIN" "c=1&VerifyUnit=0"
expect_eq "verify" "Successfully started Verify on Unit 0" "$MESSAGE"
expect_eq "verify logged" "Verify Unit(controller=2, unit=0): Success" "$(logged)"
page 1
expect_in "verifying" "javascript: stop_verify(0);" "$W/page.b"

# The stop key holds the verify key: the stop is what is done.
act "$ADMIN" "c=1&StopVerifyUnit=0&AvailListSort=2"
expect_eq "stop verify" "Successfully stopped Verify on Unit 0" "$MESSAGE"
expect_eq "stop verify target" "/page2_2.html?AvailListSort=2" "$TARGET"
expect_eq "stop verify not logged" "" "$(logged)"
page 1
expect_not_in "not verifying" "stop_verify(0);\"" "$W/page.b"

act "$ADMIN" "c=1&StopVerifyUnit=99"
expect_eq "stop an impossible unit" "(0x0B:0x0009): Invalid unit ID : Failed to stop Verify on Unit 99" "$MESSAGE"

act "$ADMIN" "c=1&RebuildUnit=1&RebuildDrives=6&ignoreECC=1"
expect_eq "rebuild" "Successfully started Rebuild on Unit 1" "$MESSAGE"
# The second series rebuilds as the unit's own ECC policy says, whatever the
# request asks.
expect_in "rebuild logged" "Rebuild Unit(controller=2, unit=1, drives=6, ignore ecc=no): Success" "$W/act.log"
page 1
expect_in "rebuilding" "REBUILDING" "$W/page.b"
expect_not_in "drive 6 in use" "availdrivelist[1] = 6;" "$W/page.b"

act "$ADMIN" "c=1&DeleteUnits=0,9,1&AvailListSort=4"
expect_eq "delete to the first failure" \
    "Successfully deleted unit(s)  0 : (0x0B:0x003B): No such unit to delete : Failed to delete unit 9" "$MESSAGE"
expect_eq "delete logged" "2" "$(grep -c '^Delete Unit' "$W/act.log")"
expect_eq "delete target" "/page2_2.html?AvailListSort=4" "$TARGET"
page 1
expect_not_in "unit 0 deleted" "unumdrives0" "$W/page.b"
expect_in "unit 1 kept" "unumdrives1" "$W/page.b"

act "$ADMIN" "c=1&RemoveUnits=1"
expect_eq "remove unit" "Successfully removed unit(s)  1" "$MESSAGE"
expect_eq "remove unit target" "/page2_2.html?AvailListSort=1" "$TARGET"
expect_eq "remove unit logged" "Remove Unit(controller=2, unit=1, make os aware=yes): Success" "$(logged)"
page 1
expect_in "no units left" "NO UNITS" "$W/page.b"

act "$ADMIN" "c=1&DeleteUnits="
expect_eq "delete nothing" "" "$MESSAGE"

# First series (position 0): the rebuild of the degraded RAID 1 takes the
# request's ECC choice.
act "$ADMIN" "c=0&RebuildUnit=2&RebuildDrives=7&ignoreECC=1"
expect_eq "first-series rebuild" "Successfully started Rebuild on Unit 2" "$MESSAGE"
expect_in "first-series rebuild logged" "Rebuild Unit(controller=1, unit=2, drives=7, ignore ecc=yes): Success" "$W/act.log"

# --- Values the page never sends change nothing.
aborted="(0x0C:0x001F): Operation aborted"
long=$(printf '1,%.0s' $(seq 70))
while read -r query; do
    act "$ADMIN" "c=2&$query"
    expect_eq "refused $query" "$aborted" "$MESSAGE"
    expect_eq "refused $query logged" "" "$(logged)"
done <<TABLE
RemoveDrive=
RemoveDrive=300
RemoveDrive=7x
RemoveDrive=-1
RemoveDrives=7,,6
RemoveDrives=x,7
RemoveDrives=7%0A
RemoveDrives=0007
SpareDrives=$long
ClearDrivesConfig=%3Cscript%3E
VerifyUnit=0%00
DeleteUnits=0;1
RemoveUnits=256
RebuildUnit=1&RebuildDrives=7%0D
StopVerifyUnit=
CreateDrives=7
ModifyUnit=0
TABLE

# A controller position out of range selects the first controller.
act "$ADMIN" "c=-5&RescanController=1"
expect_in "c out of range" "Rescan Controller(controller=1, make os aware=yes): Success" "$W/act.log"
fetch page "/page2_2.html?c=77" -b "$ADMIN"
expect_in "c out of range page" "Unit Maintenance (Controller ID 1)" "$W/page.b"
