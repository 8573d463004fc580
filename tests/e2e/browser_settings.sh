# The Controller Settings page in headless Chromium: settings changed with
# their warnings accepted and refused, values the browser refuses, and a
# firmware image uploaded, checked and the update cancelled. Controller 3
# has no battery backup unit here, so enabling a write cache warns.
here=$(dirname "$E2E_LIB")
export PYV2_SIM_STATE="$W/state"
export PYV2_SIM_CONTROL="$W/control"
printf 'battery index=3 bbu=0\n' >"$W/control"
start_daemon || return
source "$here/actions.bash"
"$(dirname "$E2E_REAPER")/e2e_firmware_image" "$W/good.img"
run_browser browser_settings.mjs "$W/good.img"

# What the browser did, seen in the controller and the command log.
check "the write cache is on again" grep -q '^param index=3 table=0x8301 id=13 value=hex:04$' "$W/state"
check "the rate" grep -q '^param index=3 table=0x840C id=5 ' "$W/state"
check "the names" grep -q "^param index=3 table=0x8300 id=17 value=hex:$(printf 'vol#1+a=b' | od -An -tx1 | tr -d ' \n')" "$W/state"
expect_eq "the command log" "$(printf '%s\n' 'Administrator successfully logged in' \
    'Disable Write Cache(controller=3, unit=1): Success' 'Enable Write Cache(controller=3, unit=1): Success' \
    'Set Rebuild Rate(controller=3, rate=5): Success' 'Set Unit Name(controller=3, unit=0, name=vol#1+a=b): Success' \
    'Set Unit Name(controller=3, unit=1, name=mirror?): Success' 'Set Unit Name(controller=3, unit=2, name=): Success' \
    'Set LUN Size(controller=3, size=4294967295): Success')" "$(logged_since 0)"
check_not "the cancelled image is removed" test -e /etc/pyv2/c2-127.0.0.1.tmp
