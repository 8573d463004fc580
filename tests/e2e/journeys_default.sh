# The browser journeys on the default simulated machine, with a drive
# inserted in port 4 of its second controller and no battery backup unit on
# its third: the administrator logs in, walks the information pages,
# creates a unit, changes controller and daemon settings, uploads a
# firmware image and cancels it, opens a page outside the frame set and
# last moves the daemon to another port; there a user, with the password
# the administrator gave, walks the same pages, is refused an action and
# logs out. Then what the journeys left in the simulator, the command log
# and the configuration.
here=$(dirname "$E2E_LIB")
export PYV2_SIM_STATE="$W/state"
export PYV2_SIM_CONTROL="$W/control"
cat >"$W/control" <<'LINES'
drive index=2 port=4 model="SIMDISK S500" serial="S500-0005" capacity=976773168 firmware="02.AA1"
battery index=3 bbu=0
LINES
printf 'AutoLogout 30\nRemoteAccess 1\nHelp %s\n' "$W/help" | write_config
bash "$here/../../scripts/install-help.sh" >/dev/null
source "$here/actions.bash"
"$(dirname "$E2E_REAPER")/e2e_firmware_image" "$W/good.img"
start_daemon || return
run_browser journeys.mjs default image="$W/good.img" port=8443 \
    a:login a:navigate a:create a:settings a:firmware a:daemon_settings a:outside a:port_change \
    u:login u:navigate u:read_only u:logout

# The new RAID 5 (type 5, 256k stripes) on the drives of ports 4, 6 and 7,
# with its name.
check "RAID 5 created" grep -qE '^unit index=2 number=3 records=hex:030509[0-9a-f]{34}(000c00(04|06|07)[0-9a-f]{32}){3} ' "$W/state"
# Its name, typed with "+" and "#", stored as typed.
check "RAID 5 named" grep -qF "param index=2 table=0x8303 id=17 value=hex:$(printf 'web+unit#1' | od -An -tx1 | tr -d ' \n')00" "$W/state"
expect_in "RAID 5 name logged" "Set Unit Name(controller=2, unit=3, name=web+unit#1): Success" /var/log/kq_mgmt.log
# The third controller's settings, and its command log (with the drive
# the administrator identified).
check "the write cache is on again" grep -q '^param index=3 table=0x8301 id=13 value=hex:04$' "$W/state"
check "the rate" grep -q '^param index=3 table=0x840C id=5 ' "$W/state"
check "the names" grep -q "^param index=3 table=0x8300 id=17 value=hex:$(printf 'vol#1+a=b' | od -An -tx1 | tr -d ' \n')" "$W/state"
expect_eq "the third controller's command log" "$(printf '%s\n' \
    'Identify Port(controller=3, port=0, enable=yes): Success' \
    'Disable Write Cache(controller=3, unit=1): Success' 'Enable Write Cache(controller=3, unit=1): Success' \
    'Set Rebuild Rate(controller=3, rate=5): Success' 'Set Unit Name(controller=3, unit=0, name=vol#1+a=b): Success' \
    'Set Unit Name(controller=3, unit=1, name=mirror?): Success' 'Set Unit Name(controller=3, unit=2, name=): Success' \
    'Set LUN Size(controller=3, size=4294967295): Success')" "$(logged_since 0 | grep 'controller=3')"
check_not "the cancelled image is removed" test -e /etc/pyv2/c2-127.0.0.1.tmp
# The user's request changed nothing.
expect_eq "verify lines" "0" "$(grep -c 'Verify Unit' /var/log/kq_mgmt.log)"
expect_in "password change logged" "Successfully changed User password" /var/log/kq_mgmt.log
conf() { sed -n "s/^$1 //p" /etc/pyv2/pyv2.conf; }
expect_eq "refresh stored" "0" "$(conf Refresh)"
expect_eq "remote access stored" "0" "$(conf RemoteAccess)"
expect_eq "user password stored" "$(perl -e 'print crypt("user2", "gZ")')" "$(conf ROpwd)"
expect_eq "port stored" "8443" "$(conf Port)"
