# The browser test: headless Chromium through the whole frame set, against
# the daemon on the default simulated controllers.
start_daemon || return
run_browser browser.mjs \
    "Controller ID 1 (QX-2400-12)" "Controller ID 2 (QX-6200-8)" "Controller ID 3 (QX-8800-4i)"
