# The browser test of the information pages: headless Chromium through the
# menus, the selector, a unit's tree and pop-up and a drive's identify light,
# on a machine whose devices report hostile texts.
here=$(dirname "$E2E_LIB")
if [ ! -x /usr/bin/chromium ] || [ ! -d "$here/node_modules/playwright-core" ]; then
    fail "chromium or playwright-core missing: make test installs them"
    return
fi
export PYV2_SIM_SCENARIO="$here/hostile_machine.scenario"
start_daemon || return
mkdir -p "$W/profile" "$W/shots"
if node "$here/browser_info.mjs" "$BASE" "$W/profile" "$W/shots" >"$W/browser.out" 2>&1; then
    pass
else
    fail "browser test of the information pages"
fi
cat "$W/browser.out"
[ -n "$E2E_SHOTS" ] && cp "$W"/shots/*.png "$E2E_SHOTS"/ 2>/dev/null
