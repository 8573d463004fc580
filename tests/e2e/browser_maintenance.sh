# The browser test of the Maintenance page: headless Chromium through the
# frame set on the default simulated controllers (browser_maintenance.mjs),
# then the command-log lines of what it did.
start_daemon || return
run_browser browser_maintenance.mjs
for line in "Create Unit(controller=2 drives=7, type=" "Remove Drive(controller=2, drive=6): Success" \
    "Verify Unit(controller=2, unit=0): Success" "Rebuild Unit(controller=2, unit=1, drives=7, ignore ecc="; do
    expect_in "logged" "$line" /var/log/kq_mgmt.log
done
# The user's request changed nothing: one verify, the administrator's.
expect_eq "verify lines" "1" "$(grep -c 'Verify Unit' /var/log/kq_mgmt.log)"
