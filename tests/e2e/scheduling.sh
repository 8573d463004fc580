# The Scheduling page and its changes over HTTPS on a simulated machine
# (tests/e2e/schedule_machine.scenario): slots added, deleted and refused at
# each bound, the schedules followed and ignored, the self-test tasks and the
# basic verify time; what the simulated controller then holds, the command
# log's lines, and the administrator level every change needs.
source "$(dirname "$E2E_LIB")/actions.bash"
use_machine "$(dirname "$E2E_LIB")/schedule_machine.scenario"
ADMIN="WOXUSER=$ADMIN_COOKIE_PYV2"
USER="WOXUSER=$USER_COOKIE_PYV2"
LOG=/var/log/kq_mgmt.log
start_daemon || return
SCHED="/page2_1.html"

# slot_value <slot>: the rebuild window the simulator holds for the slot of
# the second controller (index 2), as stored: start, then duration, in
# little-endian hex.
rebuild_slot() { state_value 2 "0x841$1" 3; }

# The page: the two slots of the scenario, the schedule followed.
fetch_ok page "$SCHED?c=1"
expect_in "slot 1" '<tr><td class="tabledata"><input type="checkbox" name="sched" value="0"><b>1.</b></td><td class="tabledata">Monday</td><td class="tabledata">1:00am</td><td class="tabledata">2</td></tr>' "$W/page.b"
expect_in "slot 2" '<input type="checkbox" name="sched" value="1"><b>2.</b></td><td class="tabledata">Wednesday</td><td class="tabledata">2:00am</td><td class="tabledata">3</td>' "$W/page.b"
expect_in "slot 3 free" '<tr><td class="tabledata"><b>3.</b></td><td class="tabledata">--</td><td class="tabledata">--</td><td class="tabledata">--</td></tr>' "$W/page.b"
expect_in "followed" '<input type="radio" name="rebuildstate" checked>Follow Schedule <input type="radio" name="rebuildstate" onClick="enable_sched(0, 0)">Ignore Schedule' "$W/page.b"
fetch_ok tab7 "$SCHED?c=1&WhichSched=7"
expect_in "tab 7: the rebuild table" "Schedule Rebuild/Migrate Tasks (Controller ID 2)" "$W/tab7.b"
expect_not_in "tab 7: no tab selected" " selected>" "$W/tab7.b"
fetch_ok first "$SCHED?c=0"
expect_in "first series" "(0x0C:0x0017): Scheduling is not supported on this controller model" "$W/first.b"
fetch_ok tab2 "$SCHED?c=9&WhichSched=2"
expect_in "c=9: the first controller" "Scheduling is not supported" "$W/tab2.b"
pages_parse page tab7 first

# A slot added: the lowest free one, start and duration in minutes.
lines=$(log_count)
fetch_ok add "$SCHED?RebuildSchedAddDay=1&Hour=2&Duration=3&WhichSched=0&c=1"
expect_eq "added" "Successfully added Rebuild Schedule slot" "$(message_of add)"
expect_eq "back to the rebuild tab" "/page2_1.html?WhichSched=0&c=" "$(target_of add)"
expect_eq "slot 2 held: Monday 2:00 for 180 minutes" "hex:1806b400" "$(rebuild_slot 2)"
expect_eq "logged" "Set Rebuild Task(controller=2, slot=2, start=Mon.02:00, duration=180): Success" \
    "$(logged_since "$lines")"

# The bounds: the first and last day, hour and duration are taken, one past
# each is refused before anything is sent.
fetch_ok add_low "$SCHED?RebuildSchedAddDay=0&Hour=0&Duration=1&WhichSched=0&c=1"
expect_eq "Sunday 0:00 for an hour" "hex:00003c00" "$(rebuild_slot 3)"
fetch_ok add_high "$SCHED?RebuildSchedAddDay=6&Hour=23&Duration=24&WhichSched=0&c=1"
expect_eq "Saturday 23:00 for a day" "hex:2427a005" "$(rebuild_slot 4)"
lines=$(log_count)
for query in "RebuildSchedAddDay=7&Hour=0&Duration=1" "RebuildSchedAddDay=-1&Hour=0&Duration=1" \
    "RebuildSchedAddDay=0&Hour=24&Duration=1" "RebuildSchedAddDay=0&Hour=-1&Duration=1" \
    "RebuildSchedAddDay=0&Hour=0&Duration=0" "RebuildSchedAddDay=0&Hour=0&Duration=25" \
    "RebuildSchedAddDay=0&Duration=1" "RebuildSchedAddDay=0&Hour=0"; do
    fetch_ok refused "$SCHED?$query&WhichSched=0&c=1"
    expect_eq "$query refused" "(0x0B:0x007A): Invalid argument or value : Failed to add Rebuild Schedule slot" \
        "$(message_of refused)"
done
fetch_ok refused_verify "$SCHED?VerifySchedAddDay=2&Hour=5&Duration=30&WhichSched=1&c=1"
expect_eq "verify duration refused" "(0x0B:0x007A): Invalid argument or value : Failed to add Verify Schedule slot" \
    "$(message_of refused_verify)"
fetch_ok refused_selftest "$SCHED?SelftestSchedAddDay=8&Hour=5&WhichSched=2&c=1"
expect_eq "self-test day refused" "(0x0B:0x007A): Invalid argument or value : Failed to add Self-test Schedule slot" \
    "$(message_of refused_selftest)"
expect_eq "nothing sent for them" "" "$(logged_since "$lines")"
expect_eq "slot 5 still free" "" "$(rebuild_slot 5)"

# Every slot in use: nothing is sent.
fetch_ok add5 "$SCHED?RebuildSchedAddDay=5&Hour=5&Duration=5&WhichSched=0&c=1"
fetch_ok add6 "$SCHED?RebuildSchedAddDay=5&Hour=6&Duration=5&WhichSched=0&c=1"
lines=$(log_count)
fetch_ok full "$SCHED?RebuildSchedAddDay=5&Hour=7&Duration=5&WhichSched=0&c=1"
expect_eq "all slots full" "All Rebuild Schedule slots full, please delete one or more slots before adding" \
    "$(message_of full)"
expect_eq "nothing sent when full" "" "$(logged_since "$lines")"

# Deleting: the listed slots cleared; a list that names a slot outside 0 to
# 6 (or none) is refused whole, and the answer names the list's slots as
# the request gave them. 256 is no slot 0.
lines=$(log_count)
fetch_ok delete "$SCHED?RebuildSchedDelete=2,4&c=1"
expect_eq "deleted" "Successfully deleted Rebuild Schedule slot(s)" "$(message_of delete)"
expect_eq "slot 2 cleared" "hex:ffff0000" "$(rebuild_slot 2)"
expect_eq "slot 4 cleared" "hex:ffff0000" "$(rebuild_slot 4)"
expect_eq "deletions logged" "Set Rebuild Task(controller=2, slot=2, start=delete: Success
Set Rebuild Task(controller=2, slot=4, start=delete: Success" "$(logged_since "$lines")"
lines=$(log_count)
for list in 7 9 -1 263 256 0,9 2,4,256 ""; do
    fetch_ok bad_delete "$SCHED?RebuildSchedDelete=$list&c=1"
    expect_eq "list [$list] refused" "(0x0B:0x007A): Invalid argument or value : Rebuild Schedule slot not deleted${list:+ $list}" \
        "$(message_of bad_delete)"
done
fetch_ok bad_delete "$SCHED?SelftestSchedDelete=9&c=1"
expect_eq "self-test slot 9 refused" "(0x0B:0x007A): Invalid argument or value : Self-test Schedule slot not deleted 9" \
    "$(message_of bad_delete)"
expect_eq "nothing sent for the bad lists" "" "$(logged_since "$lines")"

# A slot the controller refuses to clear is reported, by the number the page
# shows it under, with the controller's reason; the others are cleared.
echo "fault index=2 opcode=0x53 table=0x413 parameter=3 firmware-code=0x01D0 count=-1" >>"$PYV2_SIM_CONTROL"
fetch_ok partial "$SCHED?RebuildSchedDelete=1,3,5&c=1"
expect_eq "the failed slot named" \
    "Successfully deleted Rebuild Schedule slot(s) 2, 6 : (0x03:0x01D0): Invalid field in parameter list  : Rebuild Schedule slot not deleted 4" \
    "$(message_of partial)"
expect_eq "slot 1 cleared" "hex:ffff0000" "$(rebuild_slot 1)"
expect_eq "slot 3 kept" "hex:00003c00" "$(rebuild_slot 3)"
echo "clear-faults" >>"$PYV2_SIM_CONTROL"

# The last slots deleted: the schedule is then ignored.
lines=$(log_count)
fetch_ok delete_all "$SCHED?RebuildSchedDelete=0,3,6&c=1"
expect_eq "all deleted" "Successfully deleted Rebuild Schedule slot(s)" "$(message_of delete_all)"
expect_eq "schedule ignored" "hex:02" "$(state_value 2 0x840C 3)"
expect_in "the switch logged" "Disable Rebuild Schedule(controller=2): Success" "$LOG"
fetch_ok empty "$SCHED?c=1"
expect_in "no slot: ignored until one is set" "Ignored until at least one schedule slot is set below" "$W/empty.b"

# Follow and ignore; a user changes nothing.
fetch_ok follow "$SCHED?RebuildSchedEnable=1&c=1"
expect_eq "followed" "Rebuild/Migrate Schedule will be followed" "$(message_of follow)"
expect_eq "switch on" "hex:01" "$(state_value 2 0x840C 3)"
lines=$(log_count)
fetch_ok user "$SCHED?RebuildSchedEnable=0&c=1" "$USER"
expect_eq "user refused" "(0x0C:0x0011): Not logged in as Administrator : Rebuild Schedule state unchanged" \
    "$(message_of user)"
for query in "RebuildSchedAddDay=1&Hour=2&Duration=3" "VerifySchedAddDay=1&Hour=2&Duration=3" \
    "RebuildSchedDelete=0" "SelftestSchedTasks=2" "BasicVerifySchedDay=1&Hour=1"; do
    fetch_ok user_change "$SCHED?$query&c=1" "$USER"
    expect_in "user refused: $query" "(0x0C:0x0011): Not logged in as Administrator : " "$W/user_change.b"
done
expect_eq "user: nothing sent" "" "$(logged_since "$lines")"
expect_eq "user: switch kept" "hex:01" "$(state_value 2 0x840C 3)"

# The self-test tab: tasks and slots.
fetch_ok tasks "$SCHED?SelftestSchedTasks=3&c=1"
expect_eq "tasks set" "Successfully changed Self-test Task state" "$(message_of tasks)"
expect_eq "both tasks" "hex:0300" "$(state_value 2 0x840C 9)"
for mask in 4 -1 7; do
    fetch_ok bad_tasks "$SCHED?SelftestSchedTasks=$mask&c=1"
    expect_eq "mask $mask refused" "(0x0B:0x007A): Invalid argument or value : Failed to change Self-test Task state" \
        "$(message_of bad_tasks)"
done
expect_eq "tasks kept" "hex:0300" "$(state_value 2 0x840C 9)"
lines=$(log_count)
fetch_ok selftest "$SCHED?SelftestSchedAddDay=6&Hour=23&Duration=0&WhichSched=2&c=1"
expect_eq "self-test slot" "Successfully added Self-test Schedule slot" "$(message_of selftest)"
expect_eq "to the self-test tab" "/page2_1.html?WhichSched=2&c=" "$(target_of selftest)"
expect_eq "self-test logged" "Set Selftest Task(controller=2, slot=0, start=Sat.23:00): Success" \
    "$(logged_since "$lines")"
fetch_ok selftest_tab "$SCHED?c=1&WhichSched=2"
expect_in "self-test slot shown" '<input type="checkbox" name="sched" value="0"><b>1.</b></td><td class="tabledata">Saturday</td><td class="tabledata">11:00pm</td><td width="300" rowspan="7"' "$W/selftest_tab.b"
expect_in "tasks shown" 'name="SelfTestCheckSmart" value="2" onClick="change_sched_tasks()" checked>' "$W/selftest_tab.b"

# The verify schedule of the controller with the basic/advanced choice.
fetch_ok modes "$SCHED?c=2&WhichSched=1"
expect_in "basic mode" '<input type="radio" name="verifymode" checked><b>Basic</b>' "$W/modes.b"
fetch_ok advanced "$SCHED?VerifySchedEnable=1&c=2"
expect_eq "advanced" "Advanced Verify Schedule will be used" "$(message_of advanced)"
expect_in "advanced logged" "Advance Verify Schedule(controller=3): Success" "$LOG"
fetch_ok verify_add "$SCHED?VerifySchedAddDay=3&Hour=12&Duration=4&WhichSched=1&c=2"
expect_eq "verify slot" "Successfully added Verify Schedule slot" "$(message_of verify_add)"
expect_eq "verify slot held" "hex:b013f000" "$(state_value 3 0x8410 4)"
fetch_ok basic "$SCHED?VerifySchedEnable=0&c=2"
expect_eq "basic" "Basic Verify Schedule will be used" "$(message_of basic)"
fetch_ok basic_time "$SCHED?BasicVerifySchedDay=2&Hour=5&Duration=NULL&c=2"
expect_eq "basic time" "Successfully added Verify Schedule slot" "$(message_of basic_time)"
expect_eq "basic time held" "hex:6c0c" "$(state_value 3 0x840C 11)"
fetch_ok bad_basic "$SCHED?BasicVerifySchedDay=2&Hour=24&c=2"
expect_eq "basic hour refused" "(0x0B:0x007A): Invalid argument or value : Failed to add Verify Schedule slot" \
    "$(message_of bad_basic)"
fetch_ok modes_after "$SCHED?c=2&WhichSched=1"
expect_in "basic time shown" '<option value="2" selected>Tuesday</option>' "$W/modes_after.b"
expect_in "slot disabled in basic mode" '<input type="checkbox" name="sched" value="0" disabled><b>1.</b>' "$W/modes_after.b"
pages_parse modes modes_after selftest_tab empty
