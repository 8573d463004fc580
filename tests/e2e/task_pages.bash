# Helpers of the end-to-end tests of the scheduling, battery and SMART pages,
# sourced after lib.sh: their simulated machine, the helpers of the page
# actions' tests (actions.bash), the page a redirect goes to, what the
# simulated controller stored, and whether the pages' scripts parse.
source "$(dirname "$E2E_LIB")/actions.bash"

export PYV2_SIM_SCENARIO="$(dirname "$E2E_LIB")/schedule_machine.scenario"
export PYV2_SIM_STATE="$W/machine.state"
export PYV2_SIM_CONTROL="$W/machine.control"
: >"$PYV2_SIM_CONTROL"
ADMIN="WOXUSER=$ADMIN_COOKIE_PYV2"
USER="WOXUSER=$USER_COOKIE_PYV2"
LOG=/var/log/kq_mgmt.log

# get <name> <path> [cookie]: fetches the path as the administrator (or with
# the cookie); it must answer 200.
get() {
    fetch "$1" "$2" -b "${3:-$ADMIN}"
    expect_eq "$2 status" "HTTP/1.1 200 OK" "$(status_of "$1")"
}

# target_of <name>: the page the redirect page fetched as <name> goes to.
target_of() {
    sed -n 's/^  url = "\(.*\)" + parent\.cur_controller;$/\1/p' "$W/$1.b"
}

# state_value <controller index> <table> <id>: the value the simulated
# firmware last stored for the parameter, as its state file writes it
# ("hex:..."); empty when nothing was stored.
state_value() {
    sed -n "s/^param index=$1 table=$2 id=$3 value=//p" "$PYV2_SIM_STATE" 2>/dev/null | tail -1
}

# pages_parse <name>...: every script of the pages fetched as the names
# parses, event handlers and javascript: links included.
pages_parse() {
    local files=()
    for name in "$@"; do files+=("$W/$name.b"); done
    if node "$(dirname "$E2E_LIB")/check_scripts.mjs" "${files[@]}" >"$W/scripts.out" 2>&1; then
        pass
    else
        fail "scripts that do not parse: $(cat "$W/scripts.out")"
    fi
}
