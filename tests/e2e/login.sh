# Logins of both levels, wrong passwords, the level a cookie gives, logout
# and the command log's lines.
printf 'ROpwd %s\n' "$HASH_USERPW" | write_config
start_daemon || return

# form body | Set-Cookie expected | message in the redirect page | who after it | command log text
while IFS='|' read -r form cookie message who logged; do
    name=login$((++n))
    fetch "$name" /login.html --data "$form"
    expect_eq "$form status" "HTTP/1.1 200 OK" "$(status_of $name)"
    expect_eq "$form cookie" "$cookie" "$(header_of $name Set-Cookie)"
    expect_in "$form message" "$message" "$W/$name.b"
    if [ -n "$who" ]; then
        expect_in "$form login state" "parent.who = $who;" "$W/$name.b"
    else
        expect_not_in "$form login state" "parent.who =" "$W/$name.b"
    fi
    if [ -n "$logged" ]; then
        expect_eq "$form command log" "Pyv2 [$logged]" "$(tail -1 /var/log/kq_mgmt.log | cut -d' ' -f6-)"
    fi
done <<TABLE
whopwd=a&thepwd=pyv2|WOXUSER=$ADMIN_COOKIE_PYV2; Secure; HttpOnly; SameSite=Strict|Administrator now logged in|3|Administrator successfully logged in
whopwd=u&thepwd=userpw|WOXUSER=$USER_COOKIE_USERPW; Secure; HttpOnly; SameSite=Strict|User now logged in|2|User successfully logged in
whopwd=u&thepwd=%75serpw|WOXUSER=$USER_COOKIE_USERPW; Secure; HttpOnly; SameSite=Strict|User now logged in|2|User successfully logged in
whopwd=a&thepwd=userpw||(0x0C:0x0010): Invalid Administrator password entered||Failed attempt at Administrator login
whopwd=u&thepwd=pyv2||(0x0C:0x000F): Invalid User password entered||Failed attempt at User login
whopwd=x&thepwd=pyv2||Unknown login||
thepwd=pyv2||Unknown login||
TABLE

# A command log line begins with the time as ctime writes it.
check "command log line" grep -qE '^[A-Z][a-z]{2} [A-Z][a-z]{2} [ 0-9][0-9] [0-9:]{8} [0-9]{4} Pyv2 \[' /var/log/kq_mgmt.log
expect_eq "command log lines" "5" "$(wc -l </var/log/kq_mgmt.log)"

# The level each cookie gives, as the menu shows it: cookie | who
while IFS='|' read -r cookie who; do
    name=level$((++n))
    fetch "$name" /menu.html -b "$cookie"
    expect_in "level of [$cookie]" "parent.who = $who;" "$W/$name.b"
done <<TABLE
WOXUSER=$ADMIN_COOKIE_PYV2|3
WOXUSER=$USER_COOKIE_USERPW|2
WOXUSER=${ADMIN_COOKIE_PYV2}trailing|3
theme=1; WOXUSER=$ADMIN_COOKIE_PYV2|3
WOXUSER=$USER_COOKIE_PYV2|1
WOXUSER=xyz|1
WOXUSER=|1
other=$ADMIN_COOKIE_PYV2|1
xWOXUSER=$ADMIN_COOKIE_PYV2|1
theme=WOXUSER=$ADMIN_COOKIE_PYV2|1
TABLE

# With a login a page no longer answers the login form: it is the page
# itself.
fetch page_in /page0.html -b "WOXUSER=$USER_COOKIE_USERPW"
expect_eq "page with a login: status" "HTTP/1.1 200 OK" "$(status_of page_in)"
expect_not_in "page with a login" 'action="/login.html"' "$W/page_in.b"
expect_in "page with a login: the summary" '<b>Controller Summary</b>' "$W/page_in.b"

# Logout: the cookie is cleared for a logged-in requester only.
fetch logout_in /logout.html -b "WOXUSER=$ADMIN_COOKIE_PYV2"
expect_eq "logout cookie" "WOXUSER=; expires=Thu, 01-Jan-1970 00:00:01 GMT;" "$(header_of logout_in Set-Cookie)"
expect_in "logout message" "You are now logged out" "$W/logout_in.b"
expect_in "logout state" "parent.who = 1;" "$W/logout_in.b"
fetch logout_out /logout.html
expect_eq "logout without login" "" "$(header_of logout_out Set-Cookie)"
expect_in "logout without login message" "Unknown login" "$W/logout_out.b"

# A changed password ends the logins of that level; with CommandLog 0
# nothing is logged.
stop_daemon TERM >/dev/null
printf 'ADMINpwd %s\nCommandLog 0\n' "$HASH_USERPW" | write_config
start_daemon || return
fetch old_cookie /menu.html -b "WOXUSER=$ADMIN_COOKIE_PYV2"
expect_in "cookie of the old password" "parent.who = 1;" "$W/old_cookie.b"
lines=$(wc -l </var/log/kq_mgmt.log)
fetch quiet_login /login.html --data "whopwd=a&thepwd=userpw"
expect_in "login with the new password" "Administrator now logged in" "$W/quiet_login.b"
expect_eq "nothing logged" "$lines" "$(wc -l </var/log/kq_mgmt.log)"
