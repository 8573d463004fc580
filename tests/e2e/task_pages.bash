# Helpers of the end-to-end tests of the scheduling, battery and SMART pages,
# sourced after lib.sh: their simulated machine, what an action's redirect
# page says and the lines it added to the command log.

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

# message_of <name>: the message of the redirect page fetched as <name>,
# as its script literal holds it (without the banner's markup).
message_of() {
    sed -n 's/^  parent\.lastmessage = "<font style=\\"[^>]*>\(&nbsp;\)\{8\}\(.*\)<\/font>";$/\2/p' "$W/$1.b"
}

# target_of <name>: the page the redirect page fetched as <name> goes to.
target_of() {
    sed -n 's/^  url = "\(.*\)" + parent\.cur_controller;$/\1/p' "$W/$1.b"
}

# log_count: the command log's lines so far.
log_count() { wc -l 2>/dev/null <"$LOG" || echo 0; }

# logged_since <count>: the texts of the command-log lines after the first
# <count>, without their time and source.
logged_since() {
    tail -n +$(($1 + 1)) "$LOG" 2>/dev/null | sed 's/^.* Pyv2 \[//; s/\]$//'
}

# state_value <controller index> <table> <id>: the value the simulated
# firmware last stored for the parameter, as its state file writes it
# ("hex:..."); empty when nothing was stored.
state_value() {
    sed -n "s/^param index=$1 table=$2 id=$3 value=//p" "$PYV2_SIM_STATE" 2>/dev/null | tail -1
}

# scripts_parse <name>...: every script of the pages fetched as the names
# parses.
scripts_parse() {
    local files=()
    for name in "$@"; do files+=("$W/$name.b"); done
    if node "$(dirname "$E2E_LIB")/check_scripts.mjs" "${files[@]}" >"$W/scripts.out" 2>&1; then
        pass
    else
        fail "scripts that do not parse: $(cat "$W/scripts.out")"
    fi
}
