# The browser test of the scheduling, battery and SMART pages: headless
# Chromium through the menus on tests/e2e/schedule_machine.scenario.
here=$(dirname "$E2E_LIB")
if [ ! -x /usr/bin/chromium ] || [ ! -d "$here/node_modules/playwright-core" ]; then
    fail "chromium or playwright-core missing: make test installs them"
    return
fi
export PYV2_SIM_SCENARIO="$here/schedule_machine.scenario"
export PYV2_SIM_STATE="$W/machine.state"
start_daemon || return
mkdir -p "$W/profile" "$W/shots"
if node "$here/browser_schedule.mjs" "$BASE" "$W/profile" "$W/shots" >"$W/browser.out" 2>&1; then
    pass
else
    fail "browser test of the scheduling, battery and SMART pages"
fi
cat "$W/browser.out"
[ -n "$E2E_SHOTS" ] && cp "$W"/shots/*.png "$E2E_SHOTS"/ 2>/dev/null
