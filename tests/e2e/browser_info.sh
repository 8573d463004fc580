# The browser test of the information pages: headless Chromium through the
# menus, the selector, a unit's tree and pop-up and a drive's identify light,
# on a machine whose devices report hostile texts.
export PYV2_SIM_SCENARIO="$(dirname "$E2E_LIB")/hostile_machine.scenario"
start_daemon || return
run_browser browser_info.mjs
