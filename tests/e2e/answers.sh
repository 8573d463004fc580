# The answer of each kind, header by header, over real HTTPS.
start_daemon || return

# path | expected status line | content type | what the body starts with
while IFS='|' read -r path status type body_start; do
    name=answer$((++n))
    fetch "$name" "$path"
    expect_eq "$path status" "$status" "$(status_of $name)"
    expect_eq "$path server" "Tavix/2.0" "$(header_of $name Server)"
    expect_eq "$path connection" "close" "$(header_of $name Connection)"
    expect_eq "$path type" "$type; charset=utf-8" "$(header_of $name Content-Type)"
    expect_eq "$path length" "$(body_size $name)" "$(header_of $name Content-Length)"
    expect_eq "$path cookie" "" "$(header_of $name Set-Cookie)"
    expect_eq "$path body" "$body_start" "$(head -c ${#body_start} "$W/$name.b")"
done <<'TABLE'
/|HTTP/1.1 200 OK|text/html|<html>
/index.html|HTTP/1.1 200 OK|text/html|<html>
/menu.html|HTTP/1.1 200 OK|text/html|<html>
/blank.html|HTTP/1.1 200 OK|text/html|<html>
/logo.gif|HTTP/1.1 200 OK|image/gif|GIF89a
/plogo.gif|HTTP/1.1 200 OK|image/gif|GIF89a
/page0.html?c=0|HTTP/1.1 200 OK|text/html|<html>
/nosuch.html|HTTP/1.1 404 Not-Found|text/html|
/favicon.ico|HTTP/1.1 404 Not-Found|text/html|
/logo.gif?x=1|HTTP/1.1 404 Not-Found|text/html|
TABLE

# Every "404 Not-Found" carries the one-byte body.
fetch missing /nosuch.html
expect_eq "404 body" "0d" "$(od -An -tx1 "$W/missing.b" | tr -d ' \n')"

# Without a login, a page answers the login form.
fetch login_form /page0.html
expect_in "login form" '<form method="post" action="/login.html">' "$W/login_form.b"

# The frame set and the menu show nobody logged in.
fetch frames /
expect_in "frame set state" "var who = 1;" "$W/frames.b"
fetch menu /menu.html
expect_in "menu state" "parent.who = 1;" "$W/menu.b"

# A method other than GET and POST.
curl -sk --max-time 10 -I -o "$W/head.h" "$BASE/" 
expect_eq "HEAD status" "HTTP/1.1 404 Not-Found" "$(head -1 "$W/head.h" | tr -d '\r')"
expect_eq "HEAD length" "1" "$(grep -i '^Content-Length:' "$W/head.h" | cut -d' ' -f2 | tr -d '\r')"

# Requests as raw bytes: a request line without a version, a missing Host
# (the frame set's title still names the machine), two Cookie headers of
# which only the second holds the login.
printf 'GET /blank.html\r\n\r\n' | raw noversion
expect_in "request line without a blank" "HTTP/1.1 404 Not-Found" "$W/noversion.raw"
printf 'GET / HTTP/1.0\r\n\r\n' | raw nohost
expect_in "no Host header" "<title>Pyv2 - testhost - Summary</title>" "$W/nohost.raw"
printf 'GET /menu.html HTTP/1.1\r\nHost: x\r\nCookie: a=b\r\nCookie: WOXUSER=%s\r\n\r\n' "$ADMIN_COOKIE_PYV2" | raw cookies
expect_in "second cookie header" "parent.who = 3;" "$W/cookies.raw"

# The brand of the Server header comes from the configuration when OEM is set.
stop_daemon TERM >/dev/null
printf 'OEM 1\nOEMBrand Acme\n' | write_config
start_daemon || return
fetch brand /blank.html
expect_eq "brand" "Acme/2.0" "$(header_of brand Server)"
