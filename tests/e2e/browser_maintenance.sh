# The browser test of the Maintenance page: headless Chromium through the
# frame set on the default simulated controllers (browser_maintenance.mjs),
# then the command-log lines of what it did.
here=$(dirname "$E2E_LIB")
if [ ! -x /usr/bin/chromium ] || [ ! -d "$here/node_modules/playwright-core" ]; then
    fail "chromium or playwright-core missing: make test installs them"
    return
fi
start_daemon || return
mkdir -p "$W/profile" "$W/shots"
if node "$here/browser_maintenance.mjs" "$BASE" "$W/profile" "$W/shots" >"$W/browser.out" 2>&1; then
    pass
else
    fail "browser test"
fi
cat "$W/browser.out"
[ -n "$E2E_SHOTS" ] && cp "$W"/shots/*.png "$E2E_SHOTS"/ 2>/dev/null
for line in "Create Unit(controller=2 drives=7, type=" "Remove Drive(controller=2, drive=6): Success" \
    "Verify Unit(controller=2, unit=0): Success" "Rebuild Unit(controller=2, unit=1, drives=7, ignore ecc="; do
    expect_in "logged" "$line" /var/log/kq_mgmt.log
done
# The user's request changed nothing: one verify, the administrator's.
expect_eq "verify lines" "1" "$(grep -c 'Verify Unit' /var/log/kq_mgmt.log)"
