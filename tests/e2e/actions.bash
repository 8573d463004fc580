# Helpers of the end-to-end tests of page actions, sourced after lib.sh:
# what an action's redirect page says, and the lines the action added to the
# command log.

# message_of <name>: the message of the redirect page fetched as <name>,
# as the page's script literal holds it (without the banner's markup).
message_of() {
    sed -n 's/^  parent\.lastmessage = "<font style=\\"[^>]*>\(&nbsp;\)\{8\}\(.*\)<\/font>";$/\2/p' "$W/$1.b"
}

# log_count: the command log's lines so far.
log_count() { wc -l 2>/dev/null </var/log/kq_mgmt.log || echo 0; }

# logged_since <count>: the texts of the command-log lines after the first
# <count>, without their time and source.
logged_since() {
    tail -n +$(($1 + 1)) /var/log/kq_mgmt.log 2>/dev/null | sed 's/^.* Pyv2 \[//; s/\]$//'
}

# scripts_parse <name>: every script element of the page fetched as <name>
# parses.
scripts_parse() {
    local i=0 ok=0
    while IFS= read -r -d '' script; do
        i=$((i + 1))
        printf '%s' "$script" >"$W/script$i.js"
        node --check "$W/script$i.js" || ok=1
    done < <(/usr/bin/python3 -c '
import re, sys
html = open(sys.argv[1], encoding="utf-8", errors="replace").read()
for s in re.findall(r"<script>(.*?)</script>", html, re.S):
    sys.stdout.write(s + "\0")
' "$W/$1.b")
    [ "$i" -gt 0 ] && [ "$ok" -eq 0 ]
}

# fetch_ok <name> <path> [cookie]: fetches the path with the cookie (by
# default $ADMIN); it must answer 200.
fetch_ok() {
    fetch "$1" "$2" -b "${3:-$ADMIN}"
    expect_eq "$2 status" "HTTP/1.1 200 OK" "$(status_of "$1")"
}

# target_of <name>: the page the redirect page fetched as <name> goes to,
# without the controller the script adds.
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

# use_machine <scenario file>: the daemon started next runs the simulated
# machine of the scenario, keeping its state in $W/machine.state and reading
# the control file $W/machine.control (empty).
use_machine() {
    export PYV2_SIM_SCENARIO="$1"
    export PYV2_SIM_STATE="$W/machine.state"
    export PYV2_SIM_CONTROL="$W/machine.control"
    : >"$PYV2_SIM_CONTROL"
}
