# The error and enclosure diagnostic reports over HTTPS, each compared byte
# for byte with what the simulated controllers hold: the header, then every
# log between its BEGIN and END lines as the controller or enclosure gave
# it, the error logs in blocks of 32768 bytes.
cat >"$W/scenario" <<'SCENARIO'
kernel release=6.1.0-sim
clock mode=virtual
clock utc-offset=0
driver name=dq-xxxx pairing=proc
driver name=dq-Mxxx pairing=sysfs
driver name=dq-sas pairing=sysfs
controller index=1 driver=dq-xxxx model="QX-2400-12" serial="L1" firmware="FE7X 1.05.00.034" bios="BE7X 1.08.00.016" ports=4
controller index=2 driver=dq-Mxxx arch=6 model="QX-6200-8" serial="M2" firmware="FE9X 3.08.00.016" bios="BE9X 3.01" ports=3 memory=234881024
  param table=0x403 id=26 value=u32:0x44
  drive port=0 model="SIMDISK" capacity=976773168
  drive port=2 model="SIMDISK" capacity=976773168
  event code=0x0019 severity=2 text="port=1" time=1700000100 sequence=3
  event code=0x0002 severity=1 text="unit=0" time=1700000160
controller index=3 driver=dq-sas arch=8 model="QX-8800-4i" serial="S3" ports=2 phys=2
  drive port=0 model="SAS" interface=sas enclosure=1 slot=2
  enclosure number=0 type=ses kind=2 vendor="SIMENC" product="SIM-SES-JBOD-12" revision="0110" slots=12 fans=2 temp-sensors=2 power-supplies=2 help="Enclosure services ready.\nfan 1: 4100 rpm\n"
  enclosure number=1 type=ses kind=2 vendor="OTHER" product="SECOND-4" revision="0007" slots=4 fans=1 temp-sensors=1 power-supplies=1 help=""
SCENARIO
export PYV2_SIM_SCENARIO="$W/scenario"
start_daemon || return
source "$(dirname "$E2E_LIB")/actions.bash"
USER="WOXUSER=$USER_COOKIE_PYV2"

# The report's own time stamp line, which no test can know beforehand.
stamp_of() { grep -a -m1 '^### Time Stamp:' "$W/$1.b" | tr -d '\r' | cut -c5- | sed 's/: */:/'; }
# header <column> <name:value>...: the header lines with values from the
# column on, then the empty line.
header() {
    local column=$1 line name
    shift
    for line in "$@"; do
        name=${line%%:*}
        printf '### %-*s%s\r\n' $((column - 5)) "$name:" "${line#*:}"
    done
    printf '\r\n'
}
# block <text>: the text followed by zeros up to 32768 bytes.
block() {
    printf '%b' "$1"
    head -c $((32768 - $(printf '%b' "$1" | wc -c))) /dev/zero
}
# report <name> <path>: the report fetched as <name>, the command-log lines
# it added in $LOGGED.
report() {
    local before
    before=$(log_count)
    fetch "$1" "$2" -b "$USER"
    LOGGED=$(logged_since "$before")
    expect_eq "$2" "HTTP/1.1 200 OK" "$(status_of "$1")"
    expect_eq "$2 type" "application/binary; charset=utf-8" "$(header_of "$1" Content-Type)"
}

# --- A first-series controller: one log.
report first /errorlog_0.dat
{
    header 21 "Pyv2 Version:2.11.00.021" "$(stamp_of first)" "Host Name:testhost" "OS Version:Linux $(uname -r)" \
        "Driver Version:1.26.02.002" "Controller ID:1" "Model:QX-2400-12" "Firmware:FE7X 1.05.00.034" \
        "BIOS:BE7X 1.08.00.016" "Serial #:L1" "Memory:256 MB"
    printf '### BEGIN Firmware Print Log'
    block 'QX-2400-12 error log\n0000: cold start, firmware FE7X 1.05.00.034\n0001: port 9 timeout, retried\n0002: port 9 error, drive dropped\n'
    printf '\r\n### END Firmware Print Log'
} >"$W/first.expected"
check "first-series report" cmp "$W/first.b" "$W/first.expected"
expect_eq "read logged" "Get Error Log Controller(controller=1): Success" "$LOGGED"

# --- A second-series controller: its bus, the print log and the print
# buffer. The log's first line holds the controller's clock.
report second /errorlog_1.dat
started=$(grep -a -o '[-0-9]\{10\} [:0-9]\{8\} I 0000 controller QX-6200-8' "$W/second.b" | cut -c1-19)
check "controller start line" test -n "$started"
{
    header 21 "Pyv2 Version:2.11.00.021" "$(stamp_of second)" "Host Name:testhost" "OS Version:Linux $(uname -r)" \
        "Driver Version:3.26.02.000" "Controller ID:2" "Model:QX-6200-8" "Firmware:FE9X 3.08.00.016" \
        "BIOS:BE9X 3.01" "Serial #:M2" "Memory:224 MB" "Bus Protocol:PCIX" "Bus Width:64 bits" "Bus Speed:100 MHz"
    printf '### BEGIN Firmware Print Log'
    block "$started I 0000 controller QX-6200-8 serial M2 firmware FE9X 3.08.00.016 started\n2023-11-14 22:15:00 W 0019 seq=3 port=1\n2023-11-14 22:16:00 E 0002 seq=4 unit=0\n"
    printf '\r\n### END Firmware Print Log\r\n### BEGIN Firmware Print Buffer'
    block 'port 00: link up, device ready\nport 01: no device\nport 02: link up, device ready\n'
    printf '\r\n### END Firmware Print Buffer'
} >"$W/second.expected"
check "second-series report" cmp "$W/second.b" "$W/second.expected"
expect_eq "both reads logged" "Get Error Log Controller(controller=2): Success
Get Error Log Controller(controller=2): Success" "$LOGGED"

# --- Enclosure reports.
enclosure_header() {
    header 26 "Pyv2 Version:2.11.00.021" "API Version:2.08.00.027" "$(stamp_of "$1")" "Host Name:testhost" \
        "OS Version:Linux $(uname -r)" "${@:2}"
}
# (No drive names a slot of the first enclosure: the simulator fills them all.)
report encl0 /encl_diaglog_c2e0.dat
{
    enclosure_header encl0 "Enclosure Number:0" "Enclosure Vendor:SIMENC  " "Enclosure Model:SIM-SES-JBOD-12 " \
        "Enclosure Revision:0110" "Slots:12" "Drives:12" "Fans:2" "Temperature Sensors:2" "Power Supplies:2"
    printf '### BEGIN Enclosure Diagnostic LogEnclosure services ready.\nfan 1: 4100 rpm\n\r\n### END Enclosure Diagnostic Log'
} >"$W/encl0.expected"
check "enclosure report" cmp "$W/encl0.b" "$W/encl0.expected"
report encl1 /encl_diaglog_c2e1.dat
{
    enclosure_header encl1 "Enclosure Number:1" "Enclosure Vendor:OTHER   " "Enclosure Model:SECOND-4        " \
        "Enclosure Revision:0007" "Slots:4" "Drives:1" "Fans:1" "Temperature Sensors:1" "Power Supplies:1"
    printf '### BEGIN Enclosure Diagnostic Log\r\n### END Enclosure Diagnostic Log'
} >"$W/encl1.expected"
check "empty diagnostic log" cmp "$W/encl1.b" "$W/encl1.expected"

# Numbers past the lists report the first controller or enclosure; a
# request without them answers the unit page's message, a controller without
# enclosures the enclosure summary.
report past /encl_diaglog_c2e7.dat
check "enclosure past the list" grep -aq '^### Enclosure Number:    0' "$W/past.b"
report past2 /errorlog_9.dat
check "controller past the list" grep -aq '^### Controller ID:  1' "$W/past2.b"
fetch noenc /encl_diaglog_c2.dat -b "$USER"
expect_in "no enclosure number" "The report request names no controller" "$W/noenc.b"
fetch none /encl_diaglog_c1e0.dat -b "$USER"
expect_in "no enclosures" 'url = "/page3_2.html?c=" + parent.cur_controller;' "$W/none.b"
# Without a login, the login page.
fetch nologin /errorlog_0.dat
expect_in "login first" 'action="/login.html"' "$W/nologin.b"
