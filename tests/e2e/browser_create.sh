# The browser test of unit creation and migration: headless Chromium through
# the frame set and the Maintenance page's pop-ups, against the daemon on
# the default simulated controllers with one drive inserted, the units read
# back from the simulator's state file. Each journey starts afresh.
for journey in create migrate; do
    export PYV2_SIM_STATE="$W/$journey.state"
    # A new drive in the family-6 controller's empty port 4, beside its two
    # free drives: three to create a RAID 5 from, or one to add to unit 0.
    export PYV2_SIM_CONTROL="$W/$journey.control"
    echo 'drive index=2 port=4 model="SIMDISK S500" serial="S500-0005" capacity=976773168 firmware="02.AA1"' >"$PYV2_SIM_CONTROL"
    start_daemon || return
    run_browser browser_create.mjs "$journey"
    stop_daemon TERM >/dev/null
done
# In the simulator: the new RAID 5 (type 5, 256k stripes) on the drives of
# ports 4, 6 and 7, and unit 0 migrating (type 0x20) to one more drive.
check "RAID 5 created" grep -qE '^unit index=2 number=3 records=hex:030509[0-9a-f]{34}(000c00(04|06|07)[0-9a-f]{32}){3} ' "$W/create.state"
check "RAID 5 named" grep -qF "param index=2 table=0x8303 id=17 value=hex:7765625f756e6974" "$W/create.state"
check "unit 0 migrating" grep -qE '^unit index=2 number=0 records=hex:0220' "$W/migrate.state"
