# The Alarms page in headless Chromium: events the monitor stored are
# listed newest first, sorted by severity on request, open their help page,
# and the Clear Alarms button (after its question) empties the list and the
# controller's event files.
export PYV2_SIM_CONTROL="$W/control"
printf 'clock pause-limit-ms=200\n' >"$PYV2_SIM_CONTROL"
start_daemon || return
now=$(date +%s)
cat >>"$PYV2_SIM_CONTROL" <<LINES
event index=2 code=0x0002 severity=1 text="unit=1" time=$now
event index=2 code=0x000B severity=3 text="browser=1" time=$((now + 1))
LINES
for _ in $(seq 100); do grep -q "browser=1" /var/log/wox_aen_M2B0000002.txt 2>/dev/null && break; sleep 0.1; done
run_browser browser_alarms.mjs
expect_eq "binary event file emptied" 0 "$(stat -c %s /var/log/wox_aen_M2B0000002.bin)"
expect_eq "text event file emptied" 0 "$(stat -c %s /var/log/wox_aen_M2B0000002.txt)"
