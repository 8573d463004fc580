# The connection under slow, silent, oversized and vanishing clients: none
# of them may hold up the daemon or end it.
start_daemon || return

# A silent client holds nobody up, and is closed without an answer after
# 10 seconds. "At once" is well inside those 10 seconds, with room for a
# loaded machine.
exec 3<>/dev/tcp/127.0.0.1/888
opened=$(now_ms)
fetch beside_silent /blank.html
expect_eq "served beside a silent client" "HTTP/1.1 200 OK" "$(status_of beside_silent)"
check "served at once beside a silent client" test "$(since_ms "$opened")" -lt 6000
timeout 20 cat <&3 >"$W/silent.out"
closed=$(since_ms "$opened")
exec 3<&-
check "silent client closed after 10 s, not $closed ms" test "$closed" -ge 9500 -a "$closed" -le 12000
expect_eq "silent client gets nothing" "0" "$(stat -c %s "$W/silent.out")"

# A request that arrives in pieces, each within the wait, is served whole.
{ printf 'GET /menu.html HTTP/1.1\r\n'; sleep 0.1; printf 'Host: x\r\nCookie: WOXUSER=%s\r\n' "$ADMIN_COOKIE_PYV2"; sleep 0.1; printf '\r\n'; } | raw pieces
expect_in "request in pieces" "parent.who = 3;" "$W/pieces.raw"

# A form body dripped byte by byte is cut at the request's deadline and
# refused: what arrived is not the whole form.
started=$(now_ms)
{ printf 'POST /login.html HTTP/1.1\r\nContent-Length: 100\r\n\r\n'; for _ in $(seq 30); do printf 'x'; sleep 1; done; } | raw drip 40
dripped=$(since_ms "$started")
expect_eq "dripping client refused" "HTTP/1.1 404 Not-Found" "$(head -1 "$W/drip.raw" | tr -d '\r')"
check "dripping client cut after 10 s, not $dripped ms" test "$dripped" -ge 9500 -a "$dripped" -le 14000

# Oversized requests.
head -c 6000000 /dev/zero | tr '\0' 'a' >"$W/big.txt"
fetch long_form /login.html --data-binary @"$W/big.txt" -H 'Expect:'
expect_eq "form body of more than 639 reads" "HTTP/1.1 404 Not-Found" "$(status_of long_form)"
expect_eq "form body of more than 639 reads, length" "1" "$(header_of long_form Content-Length)"
# An upload without the administrator's login is not read: it is answered
# after its headers (here with the login page).
started=$(now_ms)
fetch long_upload /fwcheck.html -F "image=@$W/big.txt" -H 'Expect:'
expect_eq "upload without a login" "HTTP/1.1 200 OK" "$(status_of long_upload)"
expect_in "upload without a login is dispatched unread" 'action="/login.html"' "$W/long_upload.b"
check "upload without a login answered at once" test "$(since_ms "$started")" -lt 3000
started=$(now_ms)
fetch over_length /login.html --data 'whopwd=x' -H 'Content-Length: 8388609' -H 'Expect:'
expect_eq "length over the limit is refused" "HTTP/1.1 404 Not-Found" "$(status_of over_length)"
check "length over the limit answered at once" test "$(since_ms "$started")" -lt 3000
fetch negative_length /login.html --data 'whopwd=x' -H 'Content-Length: -5'
expect_eq "negative length" "HTTP/1.1 404 Not-Found" "$(status_of negative_length)"

# Clients that go away early: after the handshake with half a request,
# before reading the answer, before the handshake, or speaking no TLS.
printf 'GET /menu.h' | timeout 5 openssl s_client -quiet -connect 127.0.0.1:888 >/dev/null 2>&1
printf 'GET /menu.html HTTP/1.1\r\n\r\n' | timeout 5 openssl s_client -quiet -connect 127.0.0.1:888 >/dev/null 2>&1
exec 3<>/dev/tcp/127.0.0.1/888
exec 3<&-
exec 3<>/dev/tcp/127.0.0.1/888
printf 'GET / HTTP/1.1\r\n\r\n' >&3
timeout 15 cat <&3 >"$W/plain.out" 2>/dev/null
exec 3<&-
fetch after_early /blank.html
expect_eq "served after clients that left early" "HTTP/1.1 200 OK" "$(status_of after_early)"
expect_eq "still running" "" "$(cat "$W/status" 2>/dev/null)"

# Clients that wait while another is served: a request that came meanwhile
# is answered even after a long answer, and, with the waiting room full, at
# once rather than after a silent newcomer.
for case in kept order; do
    check "waiting room: $case" /usr/bin/python3 "$(dirname "$E2E_LIB")/waiting_room.py" 888 "$case"
done
