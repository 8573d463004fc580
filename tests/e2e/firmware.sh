# The controller firmware update over HTTPS: images from the tests' image
# generator posted as a real multipart upload to "/fwcheck.html", the
# check's pop-up, then the update or its cancellation. The temporary image
# file is readable by root alone and is gone after an update, a
# cancellation, a refusal and a failed check; the simulated controller
# receives the image byte for byte (its driver requests in the journal).
export PYV2_SIM_JOURNAL="$W/journal"
export PYV2_SIM_CONTROL="$W/control"
: >"$W/control"
start_daemon || return
source "$(dirname "$E2E_LIB")/actions.bash"
ADMIN="WOXUSER=$ADMIN_COOKIE_PYV2"
USER="WOXUSER=$USER_COOKIE_PYV2"
IMAGE=$(dirname "$E2E_REAPER")/e2e_firmware_image
TEMP=/etc/pyv2/c2-127.0.0.1.tmp

# image <name> [key=value...]: an image for controller 3 (architecture 8).
image() {
    local name=$1
    shift
    "$IMAGE" "$W/$name.img" "$@"
}

# upload <name> <cookie> <image> [position]: posts the image as the page's
# form does.
upload() {
    fetch "$1" "/fwcheck.html?c=${4:-2}" -b "$2" -H 'Expect:' -F "fwimagefile=@$W/$3.img"
}

hex_of() { od -An -v -tx1 "$1" | tr -d ' \n'; }

# The image data the controller's driver received: the data of each
# second-series request with data (from byte 1536, its length at byte 20)
# that is a piece of the image; the monitor's requests to the same
# controller, which may come in between, are left out.
downloaded_hex() {
    local image
    image=$(hex_of "$W/good.img")
    grep '^ioctl index=3 request=0x108 result=0 ' "$W/journal" | while IFS= read -r line; do
        local hex=${line##*sent=}
        local n=${hex:40:8}
        local length=$((16#${n:6:2}${n:4:2}${n:2:2}${n:0:2}))
        local piece=${hex:3072:$((length * 2))}
        [[ "$image" == *"$piece"* ]] && printf '%s' "$piece"
    done
}

popup_shown() { grep -qF 'fwcheckpopup" style="position:absolute; z-index: 20; left: 30;top: 20; visibility: visible"' "$W/$1.b"; }

# A compatible image: the page with the pop-up, the file kept for the
# update with mode 0600.
image good
upload check "$ADMIN" good
check "verdict 3: the pop-up is shown" popup_shown check
expect_in "verdict 3: its text" '<b>&nbsp;Both API and Driver are compatible with the new firmware.</b>' "$W/check.b"
expect_in "verdict 3: the image's version" '<b>&nbsp;New Firmware</b></td><td width="280" class="tabledata">FH9X 4.12.00.001</td>' "$W/check.b"
expect_in "verdict 3: the running firmware" '<b>&nbsp;Current Firmware</b></td><td width="280" class="tabledata">FH9X 4.10.00.027</td>' "$W/check.b"
expect_in "verdict 3: proceed" '<input type="button" value="Proceed Update" onClick="submit_upgrade(3);">' "$W/check.b"
check "verdict 3: the page's scripts parse" scripts_parse check
# The verdict waits for the administrator: the page does not reload itself
# (a reload would ask for the check again without its image).
expect_in "verdict 3: no automatic refresh" 'var TimeOut = 0;' "$W/check.b"
expect_not_in "verdict 3: no refresh note" 'automatically refresh' "$W/check.b"
expect_eq "the stored image: mode and owner" "600 root" "$(stat -c '%a %U' "$TEMP")"
check "the stored image is the upload" cmp -s "$W/good.img" "$TEMP"

# The update: the controller gets every byte, the file is removed.
: >"$W/journal"
lines=$(log_count)
fetch update "/fwupdate.html?c=2" -b "$ADMIN"
expect_eq "update: message" "Successfully updated firmware.  The new image will take effect after the system is rebooted." "$(message_of update)"
expect_eq "update: logged" "Download firmware(controller=3, filename=$TEMP): Success" "$(logged_since "$lines")"
expect_eq "update: the controller received the image" "$(hex_of "$W/good.img")" "$(downloaded_hex)"
check_not "update: the file is removed" test -e "$TEMP"

# The verdicts the pop-up shows. image options | verdict | text
printf 'set index=3 srl-min=20\n' >>"$W/control"
while IFS='|' read -r options verdict text; do
    # shellcheck disable=SC2086
    image verdict$verdict $options
    upload verdict$verdict "$ADMIN" verdict$verdict
    check "verdict $verdict: the pop-up is shown" popup_shown verdict$verdict
    expect_in "verdict $verdict: its text" "$text" "$W/verdict$verdict.b"
    expect_in "verdict $verdict: its button" "onClick=\"submit_upgrade($verdict);\"" "$W/verdict$verdict.b"
    check "verdict $verdict: the file waits" test -f "$TEMP"
done <<'TABLE'
srl=30|5|<font color="#E0A000">Current management tools are not compatible with the new firmware.</font>
srl=10|6|<font color="#FF0000">Neither management tools nor driver are compatible with the new firmware.</font>
TABLE
printf 'set index=3 srl-min=28\n' >>"$W/control"
image verdict4 srl=25
upload verdict4 "$ADMIN" verdict4
expect_in "verdict 4: its text" '<font color="#FF0000">Current driver is not compatible with the new firmware.</font>' "$W/verdict4.b"
printf 'set index=3 srl-min=20\n' >>"$W/control"

# A new upload replaces the waiting one; cancelling removes it.
upload again "$ADMIN" good
check "a new upload replaces the file" cmp -s "$W/good.img" "$TEMP"
fetch cancel "/fwupdate_canceled.html?c=2" -b "$ADMIN"
expect_eq "cancel: message" "Firmware upgrade operation is canceled." "$(message_of cancel)"
check_not "cancel: the file is removed" test -e "$TEMP"
fetch cancel_none "/fwupdate_canceled.html?c=2" -b "$ADMIN"
expect_eq "cancel without a file" "Firmware upgrade operation is canceled." "$(message_of cancel_none)"

# The image version comes from the uploaded file: it is shown escaped.
image hostile 'version=<b>"'"'"'&</b>\'
upload hostile "$ADMIN" hostile
expect_in "the image's version is escaped" '<td width="280" class="tabledata">&lt;b&gt;&quot;&#39;&amp;&lt;/b&gt;\</td>' "$W/hostile.b"
check "the hostile version's page parses" scripts_parse hostile
fetch cancel_hostile "/fwupdate_canceled.html?c=2" -b "$ADMIN"

# Images the check refuses: the library's reason, and no file left.
# image options | position | message
while IFS='|' read -r options position message; do
    # shellcheck disable=SC2086
    image refused $options
    upload refused "$ADMIN" refused "$position"
    expect_eq "refused ($options, $position): message" "$message" "$(message_of refused)"
    check_not "refused ($options, $position): no file" test -e "/etc/pyv2/c$position-127.0.0.1.tmp"
done <<'TABLE'
arch=6|2|(0x0B:0x0068): Incompatible firmware architecture. : Firmware update failed
magic=0x12345678|2|(0x0B:0x0067): Invalid firmware magic : Firmware update failed
cut=10000|2|(0x0B:0x0066): Invalid firmware image size : Firmware update failed
cut=40|2|(0x0B:0x0066): Invalid firmware image size : Firmware update failed
header-size=30000|2|(0x0B:0x0066): Invalid firmware image size : Firmware update failed
arch=8|0|(0x0B:0x0002): Feature not supported : Firmware update failed
arch=8|9|(0x0B:0x0002): Feature not supported : Firmware update failed
TABLE

# An image the controller refuses in the update: the failure is reported,
# the file removed.
image bad_checksum bad-checksum=1
upload bad_checksum "$ADMIN" bad_checksum
check "a damaged image passes the check" popup_shown bad_checksum
lines=$(log_count)
fetch update_failed "/fwupdate.html?c=2" -b "$ADMIN"
expect_eq "failed update: message" "Binary image checksum error detected opcode 0x56 : Firmware update failed" "$(message_of update_failed)"
expect_eq "failed update: logged" "Download firmware(controller=3, filename=$TEMP): Failed" "$(logged_since "$lines")"
check_not "failed update: the file is removed" test -e "$TEMP"
fetch update_nothing "/fwupdate.html?c=2" -b "$ADMIN"
check "an update without an upload fails" grep -q ' : Firmware update failed</font>' "$W/update_nothing.b"

# A user may not upload nor update; a refused update still removes the
# waiting image. Cancelling needs no level.
upload user_check "$USER" good
expect_eq "a user's upload" "(0x0C:0x0011): Not logged in as Administrator : Firmware update failed" "$(message_of user_check)"
check_not "a user's upload is not stored" test -e "$TEMP"
upload waiting "$ADMIN" good
: >"$W/journal"
fetch user_update "/fwupdate.html?c=2" -b "$USER"
expect_eq "a user's update" "(0x0C:0x0011): Not logged in as Administrator : Firmware update failed" "$(message_of user_update)"
check_not "a user's update removes the image" test -e "$TEMP"
expect_eq "a user's update sends nothing" "" "$(downloaded_hex)"
upload waiting "$ADMIN" good
fetch user_cancel "/fwupdate_canceled.html?c=2" -b "$USER"
expect_eq "a user's cancel" "Firmware upgrade operation is canceled." "$(message_of user_cancel)"
check_not "a user's cancel removes the image" test -e "$TEMP"

# No upload: the check's URL requested again without its image (a reload),
# an empty form, a body over the largest upload. A waiting image stays.
upload waiting "$ADMIN" good
fetch refresh "/fwcheck.html?c=2&auto=1" -b "$ADMIN"
expect_eq "a refresh of the check" "Failed to upload firmware image file" "$(message_of refresh)"
check "the waiting image stays" cmp -s "$W/good.img" "$TEMP"
fetch cancel_waiting "/fwupdate_canceled.html?c=2" -b "$ADMIN"
: >"$W/empty.img"
upload empty "$ADMIN" empty
expect_eq "an empty file" "Failed to upload firmware image file" "$(message_of empty)"
image oversized size=8400000
upload oversized "$ADMIN" oversized
# Such a body is either refused unread or served without its upload.
if [ "$(status_of oversized)" == "HTTP/1.1 404 Not-Found" ]; then
    pass
else
    expect_eq "an upload over 8 MB" "Failed to upload firmware image file" "$(message_of oversized)"
fi
check_not "an upload over 8 MB is not stored" test -e "$TEMP"

# The temporary file is never written through a link, and one that cannot
# be made is reported.
echo victim >"$W/victim"
ln -s "$W/victim" "$TEMP"
upload through_link "$ADMIN" good
check "a link at the path is replaced" test -f "$TEMP" -a ! -L "$TEMP"
expect_eq "the link's target is untouched" victim "$(cat "$W/victim")"
fetch cancel_link "/fwupdate_canceled.html?c=2" -b "$ADMIN"
ln -s "$W/victim" "$TEMP"
fetch cancel_at_link "/fwupdate_canceled.html?c=2" -b "$ADMIN"
check_not "a cancel removes a link" test -L "$TEMP"
expect_eq "a cancel leaves the link's target" victim "$(cat "$W/victim")"
mkdir "$TEMP"
upload not_stored "$ADMIN" good
expect_eq "a path that cannot be a file" "Failed to store the firmware image at the server" "$(message_of not_stored)"
rmdir "$TEMP"
# Positions outside the list name the first controller's file.
for position in 9 -1; do
    touch /etc/pyv2/c0-127.0.0.1.tmp
    fetch cancel_$position "/fwupdate_canceled.html?c=$position" -b "$ADMIN"
    check_not "cancel at position $position removes the first controller's file" test -e /etc/pyv2/c0-127.0.0.1.tmp
done

# A full disk: the write fails, the upload is reported not stored and no
# part of it is left.
stop_daemon TERM >/dev/null
mkdir -p "$W/small"
mount -t tmpfs -o size=8k tmpfs "$W/small"
printf 'imgPath %s\n' "$W/small" | write_config
umask 000
start_daemon || return
upload full "$ADMIN" good
expect_eq "a full disk" "Failed to store the firmware image at the server" "$(message_of full)"
expect_eq "nothing is left on a full disk" "" "$(ls -A "$W/small")"
image small size=4096
upload small_image "$ADMIN" small
check "a small image fits" popup_shown small_image
expect_eq "mode 0600 whatever the umask" "600" "$(stat -c '%a' "$W/small/c2-127.0.0.1.tmp")"
