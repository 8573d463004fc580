# A controller whose family cannot be read (its firmware refuses the
# identity read while the daemon starts), listed after one whose settings
# reads fail: over HTTPS, the summary row and the details page of the
# unreadable one say that it could not be read, never the other
# controller's failure.
cat >"$W/scenario" <<'SCENARIO'
kernel release=6.1.0-sim
clock mode=virtual
driver name=dq-Mxxx pairing=sysfs
controller index=1 driver=dq-Mxxx arch=6 model="QX-FIRST" serial="M1" ports=4
controller index=2 driver=dq-Mxxx arch=6 model="QX-SECOND" serial="M2" ports=4
fault index=2 opcode=0x52 table=0x402 parameter=14 firmware-code=0x010C count=-1
SCENARIO
export PYV2_SIM_SCENARIO="$W/scenario"
export PYV2_SIM_CONTROL="$W/control"
: >"$PYV2_SIM_CONTROL"
start_daemon || return
USER=(-b "WOXUSER=$USER_COOKIE_PYV2")
NOT_READ="Controller could not be read"

# Every settings read of the first controller fails from now on.
sim "fault index=1 opcode=0x52 table=0x403 firmware-code=0x0109 count=-1"

fetch summary "/page0.html?c=0" "${USER[@]}"
expect_eq "summary answered" "HTTP/1.1 200 OK" "$(status_of summary)"
expect_in "first controller listed" ">QX-FIRST</td>" "$W/summary.b"
grep -F "<b>2</b></td>" "$W/summary.b" >"$W/row2"
expect_in "second controller's row" "$NOT_READ" "$W/row2"
expect_not_in "no other controller's failure" "LBA out of range" "$W/summary.b"

fetch details "/page1_0.html?c=1" "${USER[@]}"
expect_in "details page" "Controller ID 2  $NOT_READ" "$W/details.b"
expect_not_in "details: no other controller's failure" "LBA out of range" "$W/details.b"
stop_daemon TERM >/dev/null
