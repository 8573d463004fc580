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
