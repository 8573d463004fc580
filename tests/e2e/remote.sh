# While RemoteAccess is 0 only clients whose address text holds "127.0.0.1"
# are served; the others get the refusal page, except for the frame set,
# the menu, the images, the blank page and the logout.
printf 'RemoteAccess 0\n' | write_config
start_daemon || return
refusal="Remote Access to Pyv2 has been disabled."

# client address | path | curl options | answered by (refusal, status line)
# | a text of the page that a served client must get.
while IFS='|' read -r from path opts expected text; do
    name=remote$((++n))
    # shellcheck disable=SC2086
    fetch "$name" "$path" --interface "$from" $opts
    if [ "$expected" == refusal ]; then
        expect_eq "$path from $from" "HTTP/1.1 200 OK" "$(status_of $name)"
        expect_in "$path from $from" "$refusal" "$W/$name.b"
        continue
    fi
    expect_eq "$path from $from" "$expected" "$(status_of $name)"
    expect_not_in "$path from $from" "$refusal" "$W/$name.b"
    if [ -n "$text" ]; then
        expect_in "$path from $from: its page" "$text" "$W/$name.b"
    else
        expect_eq "$path from $from: one byte" 1 "$(body_size $name)"
    fi
done <<'TABLE'
127.0.0.2|/page0.html?c=1||refusal|
127.0.0.2|/login.html||refusal|
127.0.0.2|/login.html|--data whopwd=a&thepwd=pyv2|refusal|
127.0.0.2|/nosuch.html||refusal|
127.0.0.2|/help/index.gif||refusal|
127.0.0.2|/||HTTP/1.1 200 OK|<title>Pyv2 - testhost - Summary</title>
127.0.0.2|/menu.html||HTTP/1.1 200 OK|function update_login()
127.0.0.2|/blank.html||HTTP/1.1 200 OK|<body bgcolor="#FFFFFF">
127.0.0.2|/logo.gif||HTTP/1.1 200 OK|GIF89a
127.0.0.2|/logout.html||HTTP/1.1 200 OK|Unknown login
127.0.0.2|/favicon.ico||HTTP/1.1 404 Not-Found|
127.0.0.15|/page0.html||HTTP/1.1 200 OK|action="/login.html"
127.0.0.1|/page0.html||HTTP/1.1 200 OK|action="/login.html"
TABLE

# A refused client loses its login; one without a login gets no cookie.
fetch refused_in /page0.html --interface 127.0.0.2 -b "WOXUSER=$ADMIN_COOKIE_PYV2"
expect_eq "refused login" "WOXUSER=; expires=Thu, 01-Jan-1970 00:00:01 GMT;" "$(header_of refused_in Set-Cookie)"
expect_in "refused login state" "parent.who = 1;" "$W/refused_in.b"
fetch refused_out /page0.html --interface 127.0.0.2
expect_eq "refused without login" "" "$(header_of refused_out Set-Cookie)"

# With remote access on, the other address is served like a local one.
stop_daemon TERM >/dev/null
printf 'RemoteAccess 1\n' | write_config
start_daemon || return
fetch allowed /page0.html --interface 127.0.0.2
expect_eq "remote access on: status" "HTTP/1.1 200 OK" "$(status_of allowed)"
expect_in "remote access on" 'action="/login.html"' "$W/allowed.b"
