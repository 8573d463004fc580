# Changes of the daemon's settings while its configuration directory is
# read-only (as on a full or read-only disk): each is answered as not saved
# and not made: the file is as it was, the page shows the old values, the
# next requests find them (remote access still refused, the listener still
# on its port, the old password still the one that logs in), and no
# command-log line tells of a change. Once the directory is writable again
# a change is stored.
start_daemon || return
source "$(dirname "$E2E_LIB")/actions.bash"
ADMIN="WOXUSER=$ADMIN_COOKIE_PYV2"
CONF=/etc/pyv2/pyv2.conf
NOT_SAVED="Failed to save the configuration file"

# act <query> [curl options...]: an administrator's request of the settings
# page; its message in $MESSAGE, the command-log lines it added in
# $W/act.log.
act() {
    local query=$1 before
    shift
    before=$(log_count)
    fetch act "/page4.html?$query" -b "$ADMIN" "$@"
    MESSAGE=$(message_of act)
    logged_since "$before" >"$W/act.log"
}

cp "$CONF" "$W/conf.before"
mount -o remount,bind,ro /etc/pyv2
check_not "the directory is read-only" touch /etc/pyv2/probe

while IFS='|' read -r query unchanged; do
    act "$query&c=0"
    expect_eq "$query" "$NOT_SAVED : $unchanged" "$MESSAGE"
    expect_eq "$query: nothing logged" "" "$(cat "$W/act.log")"
done <<'TABLE'
Refresh=3|Page refresh time unchanged
RemoteAccess=1|Remote access state unchanged
EmailSender=ops%40example.org&EmailServer=mail.example.org&EmailServerLogin=bob&EmailServerPasswd=pw|E-mail notification settings unchanged
ChangeEmailEnable=1|E-mail notification status unchanged
EmailSeverity=1|E-mail notification severity unchanged
CommandLog=0|(0x0C:0x001F): Operation aborted
Language=1|Language setting unchanged
Port=8443|Listening Port unchanged
TABLE
expect_eq "the port change answers the redirect page" "/page4.html?c=" "$(target_of act)"
act "c=0&u=-2&cp=1" --data "curpwd=pyv2&whopwd=a&newpwd=Fresh-one&cfmpwd=Fresh-one"
expect_eq "password" "$NOT_SAVED : Administrator Password unchanged" "$MESSAGE"
# Logged: command logging was not switched off by the change that failed.
expect_eq "password: logged as failed" "Failed to change Administrator password" "$(cat "$W/act.log")"
expect_eq "password: no new cookie" "" "$(header_of act Set-Cookie)"

# The first-series controller takes its rate; the rate kept for the next
# start could not be stored.
# The controller change is logged: the command logging that could not be
# switched off above still runs.
before=$(log_count)
fetch rate "/page2_0.html?ChangeRebuildRate=4&c=0" -b "$ADMIN"
expect_eq "rebuild rate" "Changed Background Task Rate to 4 : $NOT_SAVED" "$(message_of rate)"
expect_eq "rebuild rate: logged" "Set Rebuild Rate(controller=1, rate=4): Success" \
    "$(logged_since "$before")"
check "the file is as it was" cmp -s "$W/conf.before" "$CONF"

# What the next requests find: the old values.
fetch page "/page4.html?c=0" -b "$ADMIN"
expect_in "the refresh shown" '<option value="5" selected>' "$W/page.b"
expect_in "the sender shown" 'name="Sender" size="32" value="[none]">' "$W/page.b"
fetch remote "/page4.html?c=0" -b "$ADMIN" --interface 127.0.0.2
expect_in "still refused remotely" "Remote Access to Pyv2 has been disabled." "$W/remote.b"
fetch blank /blank.html
expect_eq "still listening on 888" "HTTP/1.1 200 OK" "$(status_of blank)"
check_not "nothing listens on 8443" curl -sk --max-time 2 -o /dev/null https://127.0.0.1:8443/blank.html
fetch old_login /login.html --data "whopwd=a&thepwd=pyv2"
expect_eq "the old password logs in" "$ADMIN; Secure; HttpOnly; SameSite=Strict" \
    "$(header_of old_login Set-Cookie)"
fetch new_login /login.html --data "whopwd=a&thepwd=Fresh-one"
check_not "the new password does not" grep -q "^Set-Cookie: $ADMIN" "$W/new_login.h"

# Writable again: the next change is stored.
mount -o remount,bind,rw /etc/pyv2
act "Refresh=3&c=0"
expect_eq "stored once writable" "Minutes between automatic page refresh set to 3" "$MESSAGE"
check "the file holds it" grep -qx "Refresh 3" "$CONF"
expect_eq "ends on SIGTERM" "exit 15" "$(stop_daemon TERM)"
