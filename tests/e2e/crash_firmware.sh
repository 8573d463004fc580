# kill -9 at random moments while the daemon stores uploaded controller
# firmware images: the image file waiting for its update is afterwards
# absent or one of the uploads whole, never a part of one that an update
# would send to the controller; the next start removes what an interrupted
# store left beside it and keeps a whole image waiting.
source "$(dirname "$E2E_LIB")/actions.bash"
source "$(dirname "$E2E_LIB")/crash.bash"
ADMIN="WOXUSER=$ADMIN_COOKIE_PYV2"
IMAGE=$(dirname "$E2E_REAPER")/e2e_firmware_image
TEMP=/etc/pyv2/c2-127.0.0.1.tmp

# Two images of 4 MiB for controller 3, differing in their version.
"$IMAGE" "$W/first.img" size=4194304 version="FH9X 4.12.00.001"
"$IMAGE" "$W/second.img" size=4194304 version="FH9X 4.12.00.002"
check "the images differ" test "$(cmp "$W/first.img" "$W/second.img" | wc -l)" == 1

# upload <image>: posts the image as the Controller Settings page does;
# counts an answer with the check's pop-up. Fails when no answer came (the
# daemon killed); another answer is a failure of the test.
upload() {
    curl -sk --max-time 30 -o "$W/upload.b" -b "$ADMIN" -H 'Expect:' -F "fwimagefile=@$W/$1.img" \
        "$BASE/fwcheck.html?c=2" || return 1
    if grep -qF 'Both API and Driver are compatible with the new firmware.' "$W/upload.b"; then
        printf x >>"$E2E_WORK/uploaded"
    else
        fail "upload of $1: no pop-up: $(message_of upload)"
        return 1
    fi
}
uploader() {
    while upload first && upload second; do :; done
}
# image_whole: no image waits, or one of the uploads whole.
image_whole() {
    [ ! -e "$TEMP" ] || cmp -s "$TEMP" "$W/first.img" || cmp -s "$TEMP" "$W/second.img"
}

start_daemon || return
upload first
check "the stored image is the upload" cmp -s "$W/first.img" "$TEMP"

rounds=8 temporaries=0
KILL_INSIDE="$TEMP.tmp-*"
for round in $(seq "$rounds"); do
    kill_amid "$round" "an upload answered" uploaded uploader || return

    check "round $round: the waiting image is whole" image_whole
    compgen -G "$TEMP.tmp-*" >/dev/null && temporaries=$((temporaries + 1))
    cp "$TEMP" "$W/waiting.img" 2>/dev/null || rm -f "$W/waiting.img"
    start_daemon || return
    expect_eq "round $round: no temporary left" "" "$(compgen -G "$TEMP.tmp-*")"
    if [ -e "$W/waiting.img" ]; then
        check "round $round: the waiting image kept" cmp -s "$W/waiting.img" "$TEMP"
    else
        check_not "round $round: no image waits" test -e "$TEMP"
    fi
done
expect_eq "ends on SIGTERM" "exit 15" "$(stop_daemon TERM)"
# A kill that interrupted a store leaves its temporary file: the checks
# above saw what such a kill leaves in those rounds at least.
check "a kill interrupted a store in at least one round ($temporaries)" test "$temporaries" -ge 1
echo "$rounds kills, $temporaries of them left a temporary, $(counted uploaded) uploads answered"
