# The browser test of the Pyv2 Settings page (browser_daemon_settings.mjs):
# headless Chromium through the frame set, on a daemon whose logins are
# renewed with every request and whose help is installed, then what the
# configuration holds after it.
here=$(dirname "$E2E_LIB")
if [ ! -x /usr/bin/chromium ] || [ ! -d "$here/node_modules/playwright-core" ]; then
    fail "chromium or playwright-core missing: make test installs them"
    return
fi
printf 'AutoLogout 30\nRemoteAccess 1\nHelp %s\n' "$W/help" | write_config
bash "$here/../../scripts/install-help.sh" >/dev/null
start_daemon || return
mkdir -p "$W/profile" "$W/shots"
if node "$here/browser_daemon_settings.mjs" "$BASE" "$W/profile" "$W/shots" 8443 >"$W/browser.out" 2>&1; then
    pass
else
    fail "browser test"
fi
cat "$W/browser.out"
[ -n "$E2E_SHOTS" ] && cp "$W"/shots/*.png "$E2E_SHOTS"/ 2>/dev/null
conf() { sed -n "s/^$1 //p" /etc/pyv2/pyv2.conf; }
expect_eq "refresh stored" "1" "$(conf Refresh)"
expect_eq "remote access stored" "0" "$(conf RemoteAccess)"
expect_eq "user password stored" "$(perl -e 'print crypt("user2", "gZ")')" "$(conf ROpwd)"
expect_eq "port stored" "8443" "$(conf Port)"
expect_in "password change logged" "Successfully changed User password" /var/log/kq_mgmt.log
