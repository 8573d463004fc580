# Requests that are refused unread and change nothing: cut short, ambiguous
# about their length or headers, longer than the largest body, or posted
# from another site; and which connection makes room when the pool of open
# connections is full.
start_daemon || return
clients="$(dirname "$E2E_LIB")/slow_clients.py"
source "$(dirname "$E2E_LIB")/actions.bash"
login_form='whopwd=a&thepwd=pyv2'
before=$(log_count)

# An administrator login whose body stops short of its length: the client
# closes, half-closes, or stalls until the request's deadline.
# how | answer
while IFS='|' read -r how expected; do
    expect_eq "login cut short ($how)" "$expected" "$(/usr/bin/python3 "$clients" cut "$how")"
done <<'TABLE'
close|none
halfclose|HTTP/1.1 404 Not-Found
stall|HTTP/1.1 404 Not-Found
TABLE

# Whole requests whose length can be read two ways, and a login posted from
# a page of another site: raw request | what it is
while IFS='|' read -r request what; do
    name=refused$((++n))
    # shellcheck disable=SC2059
    printf "$request" | raw "$name"
    expect_eq "$what" "HTTP/1.1 404 Not-Found" "$(head -1 "$W/$name.raw" | tr -d '\r')"
    expect_not_in "$what: no login" "Set-Cookie" "$W/$name.raw"
done <<TABLE
POST /login.html HTTP/1.1\r\nHost: 127.0.0.1:888\r\nContent-Length: 20\r\nContent-Length: 19\r\n\r\n$login_form|two lengths
POST /login.html HTTP/1.1\r\nHost: 127.0.0.1:888\r\nTransfer-Encoding: chunked\r\n\r\n14\r\n$login_form\r\n0\r\n\r\n|chunked body
POST /login.html HTTP/1.1\r\nHost: 127.0.0.1:888\r\nOrigin: https://evil.example\r\nContent-Length: 20\r\n\r\n$login_form|another site's form
POST /login.html HTTP/1.1\r\nHost: 127.0.0.1:888\r\nOrigin: null\r\nContent-Length: 20\r\n\r\n$login_form|a form of no site
POST /login.html HTTP/1.1\r\nHost: 127.0.0.1:888\r\nContent-Length: 8388609\r\n\r\n$login_form|a length over the largest body
POST /login.html HTTP/1.1\r\nHost: 127.0.0.1:888\r\nTransfer-Encoding : chunked\r\nContent-Length: 20\r\n\r\n$login_form|a blank before a colon
POST /login.html HTTP/1.1\r\nHost: 127.0.0.1:888\r\nContent-Length: 20\r\n Transfer-Encoding: chunked\r\n\r\n$login_form|a header folded onto the next line
POST /login.html HTTP/1.1\r\nHost: 127.0.0.1:888\r\n\nTransfer-Encoding: chunked\r\nContent-Length: 20\r\n\r\n$login_form|an empty line inside the headers
POST /login.html HTTP/1.1\r\nHost: 127.0.0.1:888\r\nOrigin: https://127.0.0.1:888\r\nOrigin: https://evil.example\r\nContent-Length: 20\r\n\r\n$login_form|two origins
POST /login.html HTTP/1.1\r\nHost: 127.0.0.1:888\r\nSec-Fetch-Site: cross-site\r\nContent-Length: 20\r\n\r\n$login_form|a cross-site form without an origin
POST /login.html HTTP/1.1\r\nHost: 127.0.0.1:888\r\nReferer: https://evil.example/login.html\r\nContent-Length: 20\r\n\r\n$login_form|another site's page without an origin
TABLE
expect_eq "nothing logged for refused logins" "$before" "$(log_count)"

# The same login from the daemon's own page is served.
fetch own_page /login.html --data "$login_form" -H 'Origin: https://127.0.0.1:888'
expect_in "login from the daemon's own page" "Administrator now logged in" "$W/own_page.b"
expect_eq "login from the daemon's own page is logged" "$((before + 1))" "$(log_count)"
fetch own_referer /login.html --data "$login_form" -H 'Referer: https://127.0.0.1:888/login.html' \
    -H 'Sec-Fetch-Site: same-origin'
expect_in "login from the daemon's own page, without an origin" "Administrator now logged in" "$W/own_referer.b"

check "room in a full pool" /usr/bin/python3 "$clients" caps
