# The controller settings of the start, seen in the simulated drivers'
# journal: the first-series controller (index 1) takes the background task
# rate of its BGRate digit, then the controllers are rescanned for new
# drives and units.
export PYV2_SIM_JOURNAL="$W/journal"
printf 'BGRate 3533333333333333\n' | write_config
start_daemon || return

zeros() { head -c "$1" /dev/zero | tr '\0' '0'; }

# journal_line <packet hex> <data hex>: the journal's line of a first-series
# request to controller 1 that succeeded, the request whole: the data
# length, the 512-byte packet at 512, the data from 1024.
journal_line() {
    local packet=$1 data=$2 length=$((${#2} / 2))
    printf 'ioctl index=1 request=0x1F result=0 sent=%02x%02x0000%s%s%s%s\n' \
        $((length & 255)) $((length >> 8)) "$(zeros 1016)" \
        "$packet" "$(zeros $((1024 - ${#packet})))" "$data"
}

# what | packet | data
while IFS='|' read -r what packet data; do
    line=$(journal_line "$packet" "$data")
    check "$what" grep -qxF "$line" "$W/journal"
    lines+=("$(grep -nxF "$line" "$W/journal" | head -1 | cut -d: -f1)")
done <<'TABLE'
rate 5: first byte 40|5304000000000100|0504030128
rate 5: second byte 40|5304000000000100|0504040128
rescan: drive on port 10|060300000000000000040000|
rescan: drive on port 11|060300000000000000080000|
TABLE
check "rates before the rescan" test "${lines[1]}" -lt "${lines[2]}"
expect_eq "no other rate" 2 "$(grep -c '^ioctl index=1 request=0x1F result=0 sent=0[0-9a-f]\{1023\}53' "$W/journal")"

# The second-series controllers (2 and 3) are rescanned as well: their ports
# are scanned, and no unit is created, deleted, changed or imported and no
# drive taken out (opcodes 0x74, 0x15, 0x6F, 0x07, 0x0A at byte 640).
for index in 2 3; do
    check "rescan: ports of controller $index scanned" \
        grep -qE "^ioctl index=$index request=0x108 result=0 sent=.{1280}06" "$W/journal"
    expect_eq "rescan: units of controller $index left alone" 0 \
        "$(grep -cE "^ioctl index=$index request=0x108 result=-?[0-9]+ sent=.{1280}(74|15|6f|07|0a)" "$W/journal")"
done
