# The browser journeys of the Maintenance, Alarms and enclosure pages on the
# default simulated machine with a drive inserted in port 4 of its second
# controller: the administrator makes a spare, removes a drive after a
# sort, verifies, rebuilds and migrates units and clears the alarms the
# monitor stored; a user identifies an enclosure slot and mutes its alarm.
# Then the command log, the simulator's state and the event files.
# The alarms come first, while the events the test posted are the newest.
export PYV2_SIM_STATE="$W/state"
export PYV2_SIM_CONTROL="$W/control"
cat >"$W/control" <<'LINES'
clock pause-limit-ms=200
drive index=2 port=4 model="SIMDISK S500" serial="S500-0005" capacity=976773168 firmware="02.AA1"
LINES
printf 'Help %s\n' "$W/help" | write_config
bash "$(dirname "$E2E_LIB")/../../scripts/install-help.sh" >/dev/null
echo '<html><body><h1>Event 0002</h1></body></html>' >"$W/help/en/AEN_0002.html"
start_daemon || return
now=$(date +%s)
cat >>"$PYV2_SIM_CONTROL" <<LINES
event index=2 code=0x0002 severity=1 text="unit=1" time=$now
event index=2 code=0x000B severity=3 text="browser=1" time=$((now + 1))
LINES
check "events stored" wait_for /var/log/wox_aen_M2B0000002.txt "browser=1" 10
run_browser journeys.mjs default a:login a:alarms a:maintenance a:migrate u:login u:enclosures u:logout

for line in "Create Unit(controller=2 drives=7, type=" "Remove Drive(controller=2, drive=6): Success" \
    "Verify Unit(controller=2, unit=0): Success" "Rebuild Unit(controller=2, unit=1, drives=7, ignore ecc="; do
    expect_in "logged" "$line" /var/log/kq_mgmt.log
done
expect_eq "verify lines" "1" "$(grep -c 'Verify Unit' /var/log/kq_mgmt.log)"
# Unit 0 migrating (type 0x20) to one more drive.
check "unit 0 migrating" grep -qE '^unit index=2 number=0 records=hex:0220' "$W/state"
# The cleared events are gone from the controller's event files (the
# actions after the clearing stored events of their own).
for file in /var/log/wox_aen_M2B0000002.bin /var/log/wox_aen_M2B0000002.txt; do
    check "$file written" test -e "$file"
    check_not "cleared events gone from $file" grep -qa "browser=1" "$file"
done
