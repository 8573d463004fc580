# With AutoLogout, every answered request of a logged-in requester pushes
# the cookie's expiry forward, except automatic refreshes, logouts, refused
# remote requests and the login itself.
printf 'AutoLogout 15\nRemoteAccess 0\n' | write_config
start_daemon || return
admin="WOXUSER=$ADMIN_COOKIE_PYV2"

before=$(date +%s)
fetch renewed /menu.html -b "$admin"
cookie=$(header_of renewed Set-Cookie)
pattern="^WOXUSER=$ADMIN_COOKIE_PYV2;Expires=([A-Z][a-z]{2}, [0-9]{2}-[A-Z][a-z]{2}-[0-9]{4} [0-9:]{8}) GMT; Secure; HttpOnly; SameSite=Strict$"
if [[ "$cookie" =~ $pattern ]]; then
    pass
    expires=$(date -u -d "$(echo "${BASH_REMATCH[1]}" | tr '-' ' ')" +%s)
    ahead=$((expires - before))
    check "expiry 15 minutes ahead, was $ahead s" test "$ahead" -ge 899 -a "$ahead" -le 905
else
    fail "renewed cookie: [$cookie]"
fi

# path | cookie sent | curl options | Set-Cookie expected (a pattern)
while IFS='|' read -r path sent opts expected; do
    name=renew$((++n))
    # shellcheck disable=SC2086
    fetch "$name" "$path" -b "$sent" $opts
    got=$(header_of $name Set-Cookie)
    if [[ "$got" =~ $expected ]]; then pass; else fail "$path with [$sent]: cookie [$got]"; fi
done <<TABLE
/login.html?c=0|$admin||^WOXUSER=$ADMIN_COOKIE_PYV2;Expires=
/menu.html?c=0&auto=1|$admin||^$
/blank.html|WOXUSER=$USER_COOKIE_PYV2||^WOXUSER=$USER_COOKIE_PYV2;Expires=
/blank.html|WOXUSER=wrong||^$
/nosuch.html|$admin||^$
/logout.html|$admin||^WOXUSER=; expires=Thu, 01-Jan-1970 00:00:01 GMT;$
/page0.html|$admin|--interface 127.0.0.2|^WOXUSER=; expires=Thu, 01-Jan-1970 00:00:01 GMT;$
/login.html|$admin|--data whopwd=u&thepwd=pyv2|^WOXUSER=$USER_COOKIE_PYV2; Secure
/login.html|$admin|--data whopwd=u&thepwd=wrong|^WOXUSER=$ADMIN_COOKIE_PYV2;Expires=
TABLE

# Without AutoLogout no cookie is renewed.
stop_daemon TERM >/dev/null
printf 'AutoLogout 0\n' | write_config
start_daemon || return
fetch plain /menu.html -b "$admin"
expect_eq "no renewal" "" "$(header_of plain Set-Cookie)"
