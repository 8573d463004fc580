# The browser test of the scheduling, battery and SMART pages: headless
# Chromium through the menus on tests/e2e/schedule_machine.scenario.
export PYV2_SIM_SCENARIO="$(dirname "$E2E_LIB")/schedule_machine.scenario"
export PYV2_SIM_STATE="$W/machine.state"
start_daemon || return
run_browser browser_schedule.mjs
