# The browser test of the enclosure pages: headless Chromium as a user on
# the default simulated controllers, the summary and details pages, one
# identify and one alarm mute.
start_daemon || return
run_browser browser_enclosures.mjs "Controller ID 3 (QX-8800-4i)"
