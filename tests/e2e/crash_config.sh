# kill -9 at random moments while the daemon rewrites its configuration for
# the Pyv2 Settings page: a client switches the settings between two known
# states as fast as the daemon answers. After each kill the file is whole,
# every setting the client changes holds one of its two values and every
# other line is as it was; the next start reads that file (not a temporary
# a kill left), its page shows what the file holds, and the administrator
# password whose hash the file holds logs in.
source "$(dirname "$E2E_LIB")/actions.bash"
source "$(dirname "$E2E_LIB")/crash.bash"
CONF=/etc/pyv2/pyv2.conf
conf() { sed -n "s/^$1 //p" "$CONF"; }
# read_conf: the file's values in C, by key.
read_conf() {
    local key value
    declare -gA C=()
    while read -r key value; do C[$key]=$value; done <"$CONF"
}

# The two states, 0 and 1.
refresh=(2 5)
sender=(first@crash.test second@crash.test)
mail_password=(MailOne MailTwo)
remote=(0 1)
admin_password=(Alpha-one Beta-two)
for i in 0 1; do
    admin_hash[i]=$(perl -e 'print crypt($ARGV[0], "gZ")' "${admin_password[i]}")
    admin_cookie[i]=WOXUSER=$(perl -e 'print crypt($ARGV[0], "mJ")' "${admin_hash[i]}")
done
# The keys the client changes; the file's other lines never change.
CHANGED='^(Refresh|EmailSender|EmailServerPasswd|RemoteAccess|ADMINpwd) '
others() { grep -vE "$CHANGED" "$1"; }

# post <cookie> <query> <message> [curl options...]: one change as the page
# asks for it. Fails quietly when no answer came (the daemon was killed);
# an answer with another message is a failure of the test.
post() {
    local cookie=$1 query=$2 want=$3 got
    shift 3
    curl -sk --max-time 10 -o "$W/client.b" -b "$cookie" "$@" "$BASE/page4.html?$query" || return 1
    got=$(message_of client)
    if [ "$got" != "$want" ]; then
        fail "$query: expected [$want], got [$got]"
        return 1
    fi
    printf x >>"$E2E_WORK/answered"
}

# client <state> [switches]: from the given state (the administrator
# password's) to the other one and back, change after change, until an
# answer fails or after that many switches of the state.
client() {
    local i=$1 left=${2:--1} t
    while [ "$left" -ne 0 ]; do
        t=$((1 - i))
        post "${admin_cookie[i]}" "Refresh=${refresh[t]}&c=0" \
            "Minutes between automatic page refresh set to ${refresh[t]}" || return
        post "${admin_cookie[i]}" \
            "EmailSender=${sender[t]/@/%40}&EmailServerLogin=crash&EmailServerPasswd=${mail_password[t]}&c=0" \
            "E-mail notification settings successfully changed" || return
        post "${admin_cookie[i]}" "RemoteAccess=${remote[t]}&c=0" \
            "Remote Access $([ "$t" == 1 ] && echo enabled || echo disabled)" || return
        post "${admin_cookie[i]}" "c=0&u=-2&cp=1" "Administrator Password successfully changed" \
            --data "curpwd=${admin_password[i]}&whopwd=a&newpwd=${admin_password[t]}&cfmpwd=${admin_password[t]}" ||
            return
        i=$t
        left=$((left - 1))
    done
}

# one_of <what> <value> <first> <second>
one_of() {
    if [ "$2" == "$3" ] || [ "$2" == "$4" ]; then pass; else fail "$1: [$2] is neither [$3] nor [$4]"; fi
}

# The daemon in state 0, after a switch to 1 and back: that file is the
# reference.
start_daemon || return
post "WOXUSER=$ADMIN_COOKIE_PYV2" "c=0&u=-2&cp=1" "Administrator Password successfully changed" \
    --data "curpwd=pyv2&whopwd=a&newpwd=${admin_password[0]}&cfmpwd=${admin_password[0]}"
client 0 1
expect_eq "the client switched to state 1" "${admin_hash[1]}" "$(conf ADMINpwd)"
expect_eq "state 1's refresh" "${refresh[1]}" "$(conf Refresh)"
client 1 1
expect_eq "the client switched back" "${admin_hash[0]}" "$(conf ADMINpwd)"
expect_eq "the answered changes" 9 "$(counted answered)"
expect_eq "the reference ends on SIGTERM" "exit 15" "$(stop_daemon TERM)"
reference_keys=$(conf_keys)
check "the reference configuration has its keys" test "$(echo "$reference_keys" | wc -l)" -ge 20
cp "$CONF" "$W/reference.conf"
start_daemon || return

# In two rounds of three the daemon is slowed in its rewrites, so that more
# kills land inside one; in round 2 the kill surely does (kill_amid).
state=0 rounds=10 temporaries=0
KILL_INSIDE="$CONF.tmp-*"
for round in $(seq "$rounds"); do
    # The kill comes at a random moment once the client's first change of
    # the round was answered.
    kill_amid "$round" "a change answered" answered client "$state" || return

    # The file the kill left.
    check "round $round: the configuration is whole" conf_whole
    read_conf
    expect_eq "round $round: the lines not changed" "$(others "$W/reference.conf")" "$(others "$CONF")"
    one_of "round $round: Refresh" "${C[Refresh]}" "${refresh[@]}"
    one_of "round $round: EmailSender" "${C[EmailSender]}" "${sender[@]}"
    one_of "round $round: RemoteAccess" "${C[RemoteAccess]}" "${remote[@]}"
    if [[ "${C[EmailServerPasswd]}" =~ ^[A-Za-z0-9+/=]{12,}$ ]]; then pass; else
        fail "round $round: the mail password stored encrypted: [${C[EmailServerPasswd]}]"
    fi
    state=""
    for i in 0 1; do [ "${C[ADMINpwd]}" == "${admin_hash[i]}" ] && state=$i; done
    one_of "round $round: the administrator password" "$state" 0 1
    [ -n "$state" ] || return
    compgen -G "$CONF.tmp-*" >/dev/null && temporaries=$((temporaries + 1))
    # A whole file of other values where a rewrite keeps its new file: a
    # start must not take it.
    sed 's/^Refresh .*/Refresh 9/' "$CONF" >"$CONF.tmp-Stray9"
    grep -v '^EmailServerPasswd ' "$CONF" >"$W/killed.conf"

    # The next start: it reads that file, rewrites it as it was (the mail
    # password encrypted anew) and removes the temporaries.
    start_daemon || return
    expect_eq "round $round: the start keeps the values" "$(<"$W/killed.conf")" \
        "$(grep -v '^EmailServerPasswd ' "$CONF")"
    expect_eq "round $round: no temporary left" "" "$(compgen -G "$CONF.tmp-*")"
    fetch page "/page4.html?c=0" -b "${admin_cookie[state]}"
    expect_in "round $round: the refresh shown" "<option value=\"${C[Refresh]}\" selected>" "$W/page.b"
    expect_in "round $round: the sender shown" "name=\"Sender\" size=\"32\" value=\"${C[EmailSender]}\">" "$W/page.b"
    one_of "round $round: the mail password shown" \
        "$(sed -n 's/.*name="ServerPasswd" size="32" value="\([^"]*\)">.*/\1/p' "$W/page.b")" "${mail_password[@]}"
    fetch remote "/page4.html?c=0" -b "WOXUSER=$USER_COOKIE_PYV2" --interface 127.0.0.2
    if [ "${C[RemoteAccess]}" == 1 ]; then
        expect_in "round $round: served remotely" 'name="whopwd"' "$W/remote.b"
    else
        expect_in "round $round: refused remotely" "Remote Access to Pyv2 has been disabled." "$W/remote.b"
    fi
    fetch login /login.html --data "whopwd=a&thepwd=${admin_password[state]}"
    expect_eq "round $round: the stored password logs in" \
        "${admin_cookie[state]}; Secure; HttpOnly; SameSite=Strict" "$(header_of login Set-Cookie)"
done
expect_eq "ends on SIGTERM" "exit 15" "$(stop_daemon TERM)"
# A kill that interrupted a rewrite leaves its temporary file: the checks
# above saw what such a kill leaves in those rounds at least.
check "a kill interrupted a rewrite in at least one round ($temporaries)" test "$temporaries" -ge 1
echo "$rounds kills, $temporaries of them left a temporary, $(counted answered) changes answered"
