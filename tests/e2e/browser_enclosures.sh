# The browser test of the enclosure pages: headless Chromium as a user on
# the default simulated controllers, the summary and details pages, one
# identify and one alarm mute.
here=$(dirname "$E2E_LIB")
if [ ! -x /usr/bin/chromium ] || [ ! -d "$here/node_modules/playwright-core" ]; then
    fail "chromium or playwright-core missing: make test installs them"
    return
fi
start_daemon || return
mkdir -p "$W/profile" "$W/shots"
if node "$here/browser_enclosures.mjs" "$BASE" "$W/profile" "$W/shots" \
    "Controller ID 3 (QX-8800-4i)" >"$W/browser.out" 2>&1; then
    pass
else
    fail "browser test"
fi
cat "$W/browser.out"
[ -n "$E2E_SHOTS" ] && cp "$W"/shots/*.png "$E2E_SHOTS"/ 2>/dev/null
