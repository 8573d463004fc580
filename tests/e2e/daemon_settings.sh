# The Pyv2 Settings page and its actions over HTTPS: each setting with
# valid, refused and hostile values, the configuration file after each, the
# command-log lines; the page as a user sees it; both passwords changed.
start_daemon || return
source "$(dirname "$E2E_LIB")/actions.bash"
ADMIN="WOXUSER=$ADMIN_COOKIE_PYV2"
USER="WOXUSER=$USER_COOKIE_PYV2"
CONF=/etc/pyv2/pyv2.conf
LOG=/var/log/kq_mgmt.log
REFUSED="(0x0C:0x0011): Not logged in as Administrator"

# act <cookie> <query> [curl options...]: requests the settings page with
# the query; its message in $MESSAGE, the command-log lines it added in
# $W/act.log.
act() {
    local cookie=$1 query=$2 before
    shift 2
    before=$(log_count)
    fetch act "/page4.html?$query" -b "$cookie" "$@"
    MESSAGE=$(message_of act)
    logged_since "$before" >"$W/act.log"
}
# change <cookie> <form body>: posts the password form as the page does.
change() {
    local cookie=$1
    shift
    act "$cookie" "c=0&u=-2&cp=1" --data "$1"
}
conf() { sed -n "s/^$1 //p" "$CONF"; }
logged() { cat "$W/act.log"; }
unchanged() { expect_eq "$1: configuration unchanged" "$(cat "$W/conf.before")" "$(cat "$CONF")"; }
keep_conf() { cp "$CONF" "$W/conf.before"; }

# --- Refused to a user, every one with its own text, nothing stored.
keep_conf
while IFS='|' read -r query message; do
    act "$USER" "$query&c=0"
    expect_eq "user $query" "$REFUSED$message" "$MESSAGE"
    expect_eq "user $query logged" "" "$(logged)"
done <<'TABLE'
ChangeEmailEnable=1| : E-mail notification status unchanged
EmailSender=a%40b&EmailServer=x| : E-mail notification settings unchanged
EmailSeverity=1| : E-mail notification severity unchanged
Refresh=3| : Page refresh time unchanged
RemoteAccess=1| : Remote access state unchanged
CommandLog=0| : (0x0C:0x001F): Operation aborted
Language=1| : Language setting unchanged
Port=8443|Listening Port unchanged
TABLE
change "$USER" "curpwd=pyv2&whopwd=u&newpwd=x&cfmpwd=x"
expect_eq "user password change" "$REFUSED : Password unchanged" "$MESSAGE"
unchanged "user actions"

# --- Mail settings: stored as typed (URL-encoded by the page), the
# password encrypted in the file and shown to the administrator alone.
act "$ADMIN" "EmailSender=pyv2%40testhost&EmailRecipient=ops%2Braid%40example.org%2C%20b%40example.org&EmailServer=mail.example.org&EmailServerLogin=bob&EmailServerPasswd=p%26ss%2Bw%25rd%20x&EmailSecurePort=1&c=0"
expect_eq "mail settings" "E-mail notification settings successfully changed" "$MESSAGE"
expect_eq "sender" "pyv2@testhost" "$(conf EmailSender)"
expect_eq "recipient" "ops+raid@example.org, b@example.org" "$(conf EmailRecipient)"
expect_eq "server" "mail.example.org" "$(conf EmailServer)"
expect_eq "login" "bob" "$(conf EmailServerLogin)"
expect_eq "ssl flag" "1" "$(conf EmailServerPortFlag)"
check "password stored encrypted" grep -qE '^EmailServerPasswd [A-Za-z0-9+/=]{12,}$' "$CONF"
expect_not_in "password not in the file" "p&ss" "$CONF"
expect_eq "mail settings logged" \
    "Changed e-mail settings: sender=pyv2@testhost recipient=ops+raid@example.org, b@example.org server=mail.example.org" \
    "$(logged)"
check_not "password not logged" grep -q "ss+w" "$LOG"
check "file mode" test "$(stat -c %a "$CONF")" == 600

# The page after a restart, which reads the file back.
stop_daemon TERM >/dev/null
start_daemon || return
fetch admin_page "/page4.html?c=0" -b "$ADMIN"
expect_in "administrator sees the password" 'name="ServerPasswd" size="32" value="p&amp;ss+w%rd x">' "$W/admin_page.b"
expect_in "recipient shown" 'name="Recipient" size="32" value="ops+raid@example.org, b@example.org">' "$W/admin_page.b"
expect_in "administrator may change passwords" 'value="Change Password" onClick="submit_changepwd();">' "$W/admin_page.b"
fetch user_page "/page4.html?c=0" -b "$USER"
expect_in "user sees no password" 'name="ServerPasswd" size="32" value="">' "$W/user_page.b"
expect_not_in "user sees no password" "ss+w" "$W/user_page.b"
expect_in "user may not change passwords" '<input type="button" value="Change Password" disabled>' "$W/user_page.b"

# Control characters (escaped or not) in any field, or more than 127
# characters, refuse the whole change; nothing is stored.
long=$(printf 'a%.0s' $(seq 128))
keep_conf
# Every kind on the sender, the line breaks, NUL and length on the others.
for field in EmailSender EmailRecipient EmailServer EmailServerLogin EmailServerPasswd; do
    values=("x%0Dy" "x%0ay" "x%00y" "$long")
    [ $field == EmailSender ] && values+=("x%09y" "x%7Fy" "x%1b" "a%0D%0AMAIL%20FROM%3A%3Ce%40vil%3E")
    for value in "${values[@]}"; do
        if [ $field == EmailSender ]; then
            act "$ADMIN" "EmailSender=$value&EmailServer=other&c=0"
        else
            act "$ADMIN" "EmailSender=new%40x&$field=$value&c=0"
        fi
        expect_eq "$field=$value" \
            "An e-mail setting holds a control character or more than 127 characters : E-mail notification settings unchanged" \
            "$MESSAGE"
        expect_eq "$field=$value logged" "" "$(logged)"
    done
done
unchanged "hostile mail settings"
# 127 characters are kept whole.
act "$ADMIN" "EmailSender=${long:1}&c=0"
expect_eq "127 characters" "${long:1}" "$(conf EmailSender)"

# Markup in a setting is stored and shown as text.
act "$ADMIN" "EmailSender=%22%3E%3Cscript%3Ealert(1)%3C%2Fscript%3E&c=0"
expect_eq "markup stored" '"><script>alert(1)</script>' "$(conf EmailSender)"
fetch markup "/page4.html?c=0" -b "$ADMIN"
expect_in "markup escaped" 'value="&quot;&gt;&lt;script&gt;alert(1)&lt;/script&gt;"' "$W/markup.b"
expect_not_in "markup escaped" "<script>alert(1)" "$W/markup.b"
check "scripts parse" scripts_parse markup

# The mail server's port: a number of 1 to 65535; the texts before it stay.
act "$ADMIN" "EmailSender=s%40x&EmailServerPort=abc&c=0"
expect_eq "port not a number" \
    "(0x0C:0x001E): Error occurred while storing email port : E-mail notification settings unchanged" "$MESSAGE"
expect_eq "sender kept" "s@x" "$(conf EmailSender)"
before=$(conf EmailServerPortLastSetTo)
act "$ADMIN" "EmailSender=s%40x&EmailServerPort=70000&c=0"
expect_eq "port too large" \
    "(0x0C:0x001E): Error occurred while storing email port : E-mail notification settings unchanged" "$MESSAGE"
expect_eq "port too large stored" "$before" "$(conf EmailServerPortLastSetTo)"
act "$ADMIN" "EmailSender=s%40x&EmailServerPort=2525&EmailSecurePort=0&c=0"
expect_eq "port" "2525" "$(conf EmailServerPortLastSetTo)"
expect_eq "ssl off" "0" "$(conf EmailServerPortFlag)"
act "$ADMIN" "EmailSender=s%40x&EmailSecurePort=7&c=0"
expect_eq "ssl flag kept" "0" "$(conf EmailServerPortFlag)"

# --- Notification on and off, severity.
while IFS='|' read -r value message stored line; do
    act "$ADMIN" "ChangeEmailEnable=$value&c=0"
    expect_eq "enable $value" "$message" "$MESSAGE"
    expect_eq "enable $value stored" "$stored" "$(conf EmailEnable)"
    expect_eq "enable $value logged" "$line" "$(logged)"
done <<'TABLE'
1|E-mail notification enabled|1|Enabled e-mail notification
7|Unknown setting|1|
0|E-mail notification disabled|0|Disabled e-mail notification
|Unknown setting|0|
TABLE
while IFS='|' read -r value stored line; do
    act "$ADMIN" "EmailSeverity=$value&c=0"
    expect_eq "severity $value" "E-mail notification severity successfully changed" "$MESSAGE"
    expect_eq "severity $value stored" "$stored" "$(conf EmailSeverity)"
    expect_eq "severity $value logged" "Changed e-mail notification severity to $line" "$(logged)"
done <<'TABLE'
1|1|ERROR
2|2|WARNING
7|7|UNKNOWN SEVERITY
3|3|INFO
TABLE

# --- Page refresh: 0 to 1440 minutes.
while IFS='|' read -r value message stored; do
    act "$ADMIN" "Refresh=$value&c=0"
    expect_eq "refresh $value" "$message" "$MESSAGE"
    expect_eq "refresh $value stored" "$stored" "$(conf Refresh)"
    expect_eq "refresh $value logged" "" "$(logged)"
done <<'TABLE'
10|Minutes between automatic page refresh set to 10|10
0|Disabled automatic page refresh|0
1440|Minutes between automatic page refresh set to 1440|1440
1441|Unknown setting : Page refresh time unchanged|1440
-1|Unknown setting : Page refresh time unchanged|1440
abc|Unknown setting : Page refresh time unchanged|1440
5x|Unknown setting : Page refresh time unchanged|1440
99999999999|Unknown setting : Page refresh time unchanged|1440
|Unknown setting : Page refresh time unchanged|1440
3|Minutes between automatic page refresh set to 3|3
TABLE
fetch refresh "/page4.html?c=0" -b "$ADMIN"
expect_in "refresh shown" '<option value="3" selected>3</option>' "$W/refresh.b"
expect_in "refresh timer" "var TimeOut = 180000;" "$W/refresh.b"

# --- Language: 0 to 7; the menu follows a change.
while IFS='|' read -r value message stored; do
    act "$ADMIN" "Language=$value&c=0"
    expect_eq "language $value" "$message" "$MESSAGE"
    expect_eq "language $value stored" "$stored" "$(conf Language)"
done <<'TABLE'
8|Unknown setting : Language setting unchanged|0
-1|Unknown setting : Language setting unchanged|0
de|Unknown setting : Language setting unchanged|0
4294967297|Unknown setting : Language setting unchanged|0
1|Language setting successfully changed|1
TABLE
expect_in "the menu follows" "parent.lang = 1;" "$W/act.b"
expect_in "the menu follows" "parent.menu.location.reload();" "$W/act.b"
act "$ADMIN" "Language=0&c=0"
expect_eq "language back" "0" "$(conf Language)"

# --- Remote access: the next request follows the new value.
act "$ADMIN" "RemoteAccess=1&c=0"
expect_eq "remote on" "Remote Access enabled" "$MESSAGE"
expect_eq "remote on stored" "1" "$(conf RemoteAccess)"
fetch remote_on "/page4.html?c=0" -b "$USER" --interface 127.0.0.2
expect_in "served remotely" 'name="whopwd"' "$W/remote_on.b"
act "$ADMIN" "RemoteAccess=2&c=0"
expect_eq "remote 2" "Unknown setting" "$MESSAGE"
expect_eq "remote 2 stored" "1" "$(conf RemoteAccess)"
act "$ADMIN" "RemoteAccess=0&c=0"
expect_eq "remote off" "Remote Access disabled" "$MESSAGE"
expect_eq "remote off stored" "0" "$(conf RemoteAccess)"
fetch remote_off "/page4.html?c=0" -b "$USER" --interface 127.0.0.2
expect_in "refused remotely" "Remote Access to Pyv2 has been disabled." "$W/remote_off.b"

# --- Command logging: off at once, on again.
act "$ADMIN" "CommandLog=0&c=0"
expect_eq "logging off" "Command Logging disabled" "$MESSAGE"
expect_eq "logging off stored" "0" "$(conf CommandLog)"
act "$ADMIN" "ChangeEmailEnable=1&c=0"
expect_eq "nothing logged" "" "$(logged)"
act "$ADMIN" "CommandLog=x&c=0"
expect_eq "logging x" "Unknown setting" "$MESSAGE"
act "$ADMIN" "CommandLog=1&c=0"
expect_eq "logging on" "Command Logging enabled" "$MESSAGE"
expect_eq "logging on stored" "1" "$(conf CommandLog)"
act "$ADMIN" "ChangeEmailEnable=0&c=0"
expect_eq "logged again" "Disabled e-mail notification" "$(logged)"

# --- Passwords. The user's, as the administrator: the old user login ends,
# the new password logs in.
keep_conf
change "$ADMIN" "curpwd=wrong&whopwd=u&newpwd=userpw&cfmpwd=userpw"
expect_eq "wrong user password" "(0x0C:0x000F): Invalid User password entered : User Password unchanged" "$MESSAGE"
expect_eq "wrong user password logged" "Failed to change User password" "$(logged)"
change "$ADMIN" "curpwd=pyv2&whopwd=u&newpwd=userpw&cfmpwd=userpx"
expect_eq "user passwords differ" "(0x0C:0x0012): The two new passwords do not match : User Password unchanged" "$MESSAGE"
change "$ADMIN" "curpwd=pyv2&whopwd=x&newpwd=a&cfmpwd=a"
expect_eq "unknown login" "Unknown login" "$MESSAGE"
unchanged "refused password changes"
change "$ADMIN" "curpwd=pyv2&whopwd=u&newpwd=userpw&cfmpwd=userpw"
expect_eq "user password" "User Password successfully changed" "$MESSAGE"
expect_eq "user password stored" "$HASH_USERPW" "$(conf ROpwd)"
expect_eq "user password logged" "Successfully changed User password" "$(logged)"
expect_eq "the administrator's cookie stays" "" "$(header_of act Set-Cookie)"
fetch old_user "/page0.html?c=0" -b "$USER"
expect_in "old user login ended" 'action="/login.html"' "$W/old_user.b"
fetch new_user /login.html --data "whopwd=u&thepwd=userpw"
expect_eq "new user password logs in" "WOXUSER=$USER_COOKIE_USERPW; Secure; HttpOnly; SameSite=Strict" \
    "$(header_of new_user Set-Cookie)"

# The administrator's own: the session goes on with the new cookie.
change "$ADMIN" "curpwd=pyv3&whopwd=a&newpwd=n&cfmpwd=n"
expect_eq "wrong admin password" \
    "(0x0C:0x0010): Invalid Administrator password entered : Administrator Password unchanged" "$MESSAGE"
expect_eq "wrong admin password logged" "Failed to change Administrator password" "$(logged)"
change "$ADMIN" "curpwd=pyv2&whopwd=a&newpwd=N3w%2Bp%26w&cfmpwd=N3w%2Bp%26w"
expect_eq "admin password" "Administrator Password successfully changed" "$MESSAGE"
expect_eq "admin password logged" "Successfully changed Administrator password" "$(logged)"
hash=$(perl -e 'print crypt("N3w+p&w", "gZ")')
cookie=$(perl -e "print crypt('$hash', 'mJ')")
expect_eq "admin password stored" "$hash" "$(conf ADMINpwd)"
expect_eq "admin cookie renewed" "WOXUSER=$cookie; Secure; HttpOnly; SameSite=Strict" "$(header_of act Set-Cookie)"
fetch old_admin "/page4.html?c=0" -b "$ADMIN"
expect_in "old admin login ended" 'action="/login.html"' "$W/old_admin.b"
fetch new_admin "/page4.html?c=0" -b "WOXUSER=$cookie"
expect_in "session goes on" 'onClick="submit_changepwd();"' "$W/new_admin.b"
fetch admin_login /login.html --data "whopwd=a&thepwd=N3w%2Bp%26w"
expect_eq "new admin password logs in" "WOXUSER=$cookie; Secure; HttpOnly; SameSite=Strict" \
    "$(header_of admin_login Set-Cookie)"
