# Devices that report hostile texts (tests/e2e/hostile_machine.scenario):
# every information page and the menu show them escaped where they stand,
# in HTML or in a script string, and every script of the pages still parses.
here=$(dirname "$E2E_LIB")
export PYV2_SIM_SCENARIO="$here/hostile_machine.scenario"
start_daemon || return

pages=()
for path in "/page0.html?c=0" "/page1_0.html?c=1" "/page1_1.html?c=1&u=-2" "/page1_1.html?c=1&u=0" \
    "/page1_1.html?c=1&u=1" "/page1_2.html?c=1" "/page1_0_1.html?c=2" "/page1_2.html?c=2" "/menu.html"; do
    name=page$((++n))
    fetch "$name" "$path" -b "WOXUSER=$USER_COOKIE_PYV2"
    expect_eq "$path status" "HTTP/1.1 200 OK" "$(status_of "$name")"
    # Nothing a device said stands as markup.
    for raw in "<b>S'1" "<img src=x" "<img src=y" "<i>f</i>" "</script><b>" "</script>\\\"" "<b>\\\""; do
        expect_not_in "$path holds no [$raw]" "$raw" "$W/$name.b"
    done
    pages+=("$W/$name.b")
done
if node "$here/check_scripts.mjs" "${pages[@]}" >"$W/scripts.out" 2>&1; then pass; else
    fail "scripts that do not parse: $(cat "$W/scripts.out")"
fi

# Shown as text: HTML-escaped in the pages, script-escaped in init().
expect_in "serial as text" "<td width=\"135\" class=\"tabledata\">&lt;b&gt;S&#39;1&lt;/b&gt;\\</td>" "$W/page1.b"
expect_in "firmware as text" "<td width=\"125\" class=\"tabledata\">F\\W é&quot;</td>" "$W/page1.b"
expect_in "model in the controller list" \
    "the_list[1] = \"Controller ID 2 (\\x3C/script\\x3E\\\"\\'\\\\\\x3Cb\\x3E)\";" "$W/page1.b"
expect_in "model in the selector" "<option value=\"1\">Controller ID 2 (&lt;/script&gt;&quot;&#39;\\&lt;b&gt;)</option>" "$W/page9.b"
expect_in "unit name as text" "<td width=\"150\" class=\"tabledata\">&lt;/script&gt;&lt;b&gt;&quot;&#39;\\ü</font></td>" "$W/page3.b"
expect_in "unit name in the tree" "<b>Name</b>&nbsp;&nbsp;</td><td class=\"tabledata\">&lt;/script&gt;&lt;b&gt;&quot;&#39;\\ü</td>" "$W/page4.b"
expect_in "drive texts as text" "class=\"tabledata\">&lt;img src=x onerror=pwned(2)&gt;</td>" "$W/page6.b"
expect_in "migrating unit" "RAID 1 > <a href=\"javascript:show_migrate_unit(1);\"" "$W/page4.b"
