# The browser test of the Pyv2 Settings page (browser_daemon_settings.mjs):
# headless Chromium through the frame set, on a daemon whose logins are
# renewed with every request and whose help is installed, then what the
# configuration holds after it.
printf 'AutoLogout 30\nRemoteAccess 1\nHelp %s\n' "$W/help" | write_config
bash "$(dirname "$E2E_LIB")/../../scripts/install-help.sh" >/dev/null
start_daemon || return
run_browser browser_daemon_settings.mjs 8443
conf() { sed -n "s/^$1 //p" /etc/pyv2/pyv2.conf; }
expect_eq "refresh stored" "1" "$(conf Refresh)"
expect_eq "remote access stored" "0" "$(conf RemoteAccess)"
expect_eq "user password stored" "$(perl -e 'print crypt("user2", "gZ")')" "$(conf ROpwd)"
expect_eq "port stored" "8443" "$(conf Port)"
expect_in "password change logged" "Successfully changed User password" /var/log/kq_mgmt.log
