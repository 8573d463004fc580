# The browser journey of the scheduling and battery pages on
# tests/e2e/schedule_machine.scenario.
export PYV2_SIM_SCENARIO="$(dirname "$E2E_LIB")/schedule_machine.scenario"
export PYV2_SIM_STATE="$W/machine.state"
start_daemon || return
run_browser journeys.mjs schedule a:login a:schedule
