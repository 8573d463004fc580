# The on-line help over HTTPS, installed as make run installs it into the
# configuration's Help directory: every help page the menu and the Help page
# open is there and answered as it is stored, its own links lead to pages
# that are there, the configured language's folder answers, and no request
# reads a file outside the help directory.
here=$(dirname "$E2E_LIB")
HELP="$W/doc/pyv2"
printf 'Help %s\n' "$HELP" | write_config
installed=$(bash "$here/../../scripts/install-help.sh")
expect_eq "installed where the configuration says" "$HELP" "$installed"
start_daemon || return
USER="WOXUSER=$USER_COOKIE_PYV2"

# help <name> <path> [curl options...]: a help URL, as a logged-in user.
help() {
    local name=$1 path=$2
    shift 2
    fetch "$name" "$path" -b "$USER" --path-as-is "$@"
}

# Every help URL the menu's script and the Help page name.
fetch menu /menu.html
fetch page5 "/page5.html?c=0" -b "$USER"
grep -ho '/help/[A-Za-z0-9_.-]*\.html' "$W/menu.b" "$W/page5.b" | sort -u >"$W/urls"
check "the menu names help pages" test "$(wc -l <"$W/urls")" -ge 14
n=0
while read -r url; do
    help page$((++n)) "$url"
    expect_eq "$url" "HTTP/1.1 200 OK" "$(status_of page$n)"
    expect_eq "$url type" "text/html; charset=utf-8" "$(header_of page$n Content-Type)"
    check "$url as stored" cmp -s "$W/page$n.b" "$HELP/en/${url#/help/}"
    # The page's own links lead to files that are there.
    for link in $(grep -o 'href="[^"#:]*"' "$W/page$n.b" | sed 's/^href="//; s/"$//'); do
        check "$url links $link" test -f "$HELP/en/$link"
    done
done <"$W/urls"
help css /help/help.css
expect_eq "style sheet" "text/css; charset=utf-8" "$(header_of css Content-Type)"
help query "/help/Alarms.html?from=menu&x=../../etc"
check "query not part of the name" cmp -s "$W/query.b" "$HELP/en/Alarms.html"

# Without a login the login page answers.
fetch nologin /help/Alarms.html
expect_in "login first" 'action="/login.html"' "$W/nologin.b"

# Kinds the help does not serve, and files that are not there.
printf 'GIF89a' >"$HELP/en/mixed.Gif"
printf 'notes' >"$HELP/en/notes.txt"
for path in /help/mixed.Gif /help/notes.txt /help/missing.html /help /help/ /helpAlarms.html; do
    help missing "$path"
    expect_eq "$path" "HTTP/1.1 404 Not-Found" "$(status_of missing)"
done

# Ways out of the help directory: files that exist with kinds it serves.
printf '<html>private</html>\n' >"$W/doc/private.html"
printf '<secret/>\n' >/etc/pyv2/secret.xml
ln -s "$W/doc/private.html" "$HELP/en/link.html"
ln -s /etc/pyv2 "$HELP/en/etc"
for path in /help/../private.html /help/../../private.html "/help/../../../../../..$W/doc/private.html" \
    /help/%2e%2e/%2e%2e/private.html /help/..%2f..%2fprivate.html /help/.%2e/.%2e/private.html \
    /help/en/../../private.html "/help/$W/doc/private.html" "/help//$W/doc/private.html" \
    /help/../../../../../../etc/pyv2/secret.xml /help/link.html /help/etc/secret.xml \
    "/help/..\\..\\private.html"; do
    help out "$path"
    expect_eq "$path" "HTTP/1.1 404 Not-Found" "$(status_of out)"
    expect_not_in "$path" "private" "$W/out.b"
done

# The configured language's folder: traditional Chinese shows the English
# pages; a folder of its own answers from there.
fetch lang "/page4.html?Language=3&c=0" -b "WOXUSER=$ADMIN_COOKIE_PYV2"
help tzh /help/Scheduling.html
expect_eq "traditional Chinese" "HTTP/1.1 200 OK" "$(status_of tzh)"
check "English pages" cmp -s "$W/tzh.b" "$HELP/en/Scheduling.html"
rm "$HELP/tzh"
mkdir "$HELP/tzh"
printf '<html>tzh</html>\n' >"$HELP/tzh/Scheduling.html"
help tzh2 /help/Scheduling.html
check "a folder of its own" cmp -s "$W/tzh2.b" "$HELP/tzh/Scheduling.html"
help tzh3 /help/Alarms.html
expect_eq "not in that folder" "HTTP/1.1 404 Not-Found" "$(status_of tzh3)"

# Installing again keeps a language's own folder.
bash "$here/../../scripts/install-help.sh" >/dev/null
check "own folder kept" test -d "$HELP/tzh" -a ! -L "$HELP/tzh"
check "links made" test -L "$HELP/de"
