# The browser journeys on a machine whose devices report hostile texts in
# every field the pages show (tests/e2e/hostile_machine.scenario): the
# administrator's and the user's journeys of the default machine, the
# alarms and the enclosure pages among them. The runner fails on any
# script error, any dialog a journey did not expect, and any device text
# that runs or loads as markup. Then what the journeys left behind.
here=$(dirname "$E2E_LIB")
export PYV2_SIM_SCENARIO="$here/hostile_machine.scenario"
export PYV2_SIM_STATE="$W/state"
export PYV2_SIM_CONTROL="$W/control"
printf 'clock pause-limit-ms=200\n' >"$W/control"
printf 'AutoLogout 30\nRemoteAccess 1\nHelp %s\n' "$W/help" | write_config
bash "$here/../../scripts/install-help.sh" >/dev/null
echo '<html><body><h1>Event 0019</h1></body></html>' >"$W/help/en/AEN_0019.html"
# An image for the second controller whose version text is hostile too.
"$(dirname "$E2E_REAPER")/e2e_firmware_image" "$W/good.img" arch=6 "version=</script>\"'\\<b>"
start_daemon || return
check "events stored" wait_for /var/log/wox_aen_S3C0000003.txt "pwned(7)" 10
run_browser journeys.mjs hostile image="$W/good.img" port=8443 \
    a:login a:navigate a:create a:settings a:firmware a:alarms a:daemon_settings a:outside a:port_change \
    u:login u:navigate u:enclosures u:read_only u:logout

check "RAID 5 created" grep -qE '^unit index=2 number=3 records=hex:030509' "$W/state"
for name in "1 mirror?" "2 größe_ü"; do
    check "the name of unit ${name%% *}" grep -q "^param index=3 table=0x830${name%% *} id=17 value=hex:$(printf '%s' "${name#* }" | od -An -tx1 | tr -d ' \n')" "$W/state"
done
expect_in "logged as typed" "Set Unit Name(controller=3, unit=2, name=größe_ü): Success" /var/log/kq_mgmt.log
check_not "cleared events gone" grep -qa "pwned(7)" /var/log/wox_aen_S3C0000003.txt
expect_eq "port stored" "8443" "$(sed -n 's/^Port //p' /etc/pyv2/pyv2.conf)"
