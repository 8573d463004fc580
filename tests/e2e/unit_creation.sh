# Creating and migrating units through the maintenance page's requests, over
# HTTPS against the daemon on simulated controllers: each unit type made and
# read back from the simulator's state, the settings applied after it, the
# command log's lines, and every refusal changing nothing.
export PYV2_SIM_SCENARIO="$W/machine.scenario"
export PYV2_SIM_STATE="$W/machine.state"
export PYV2_SIM_CONTROL="$W/machine.control"
: >"$PYV2_SIM_CONTROL"
# Positions in the controller list: 0 first series (index 1), 1 family 6
# without RAID 6 (index 2), 2 family 8 with SAS and SATA drives (index 3),
# 3 family 8 with small limits (index 4).
{
    echo 'kernel release=6.1.0-sim'
    echo 'driver name=dq-xxxx pairing=proc'
    echo 'driver name=dq-Mxxx pairing=sysfs'
    echo 'driver name=dq-sas pairing=sysfs'
    echo 'controller index=1 driver=dq-xxxx model="QX-2400-12" ports=12'
    for p in $(seq 0 11); do echo "  drive port=$p"; done
    echo 'controller index=2 driver=dq-Mxxx arch=6 model="QX-6200-12" ports=12 features=0'
    for p in $(seq 0 11); do echo "  drive port=$p"; done
    echo '  drive port=4 flags=1'
    echo '  unit number=0 type=raid1 drives=0,1'
    echo '  unit number=1 type=disk drives=2'
    echo '  unit number=2 type=spare drives=3'
    echo 'controller index=3 driver=dq-sas arch=8 model="QX-8800-32i" ports=32 max-active-drives=64 max-drives-per-unit=32'
    for p in $(seq 0 27); do echo "  drive port=$p interface=sas"; done
    for p in $(seq 28 31); do echo "  drive port=$p interface=sata"; done
    echo 'controller index=4 driver=dq-sas arch=8 model="QX-8800-8i" ports=8 max-active-drives=4 max-drives-per-unit=3'
    for p in $(seq 0 7); do echo "  drive port=$p interface=sas"; done
} >"$PYV2_SIM_SCENARIO"
printf 'CommandLog 1\n' | write_config
start_daemon || return

LOG=/var/log/kq_mgmt.log
n=0
# act <query> [cookie]: a maintenance request; its answer in $W/act<n>.
act() {
    name=act$((++n))
    fetch "$name" "/page2_2.html?$1" -b "WOXUSER=${2:-$ADMIN_COOKIE_PYV2}"
}
# The message of the last answer, as its redirect script carries it.
message() {
    sed -n 's/.*parent\.lastmessage = "<font[^>]*>\(&nbsp;\)*\(.*\)<\/font>";$/\2/p' "$W/$name.b"
}
# The controllers' state as the simulator keeps it, but for their event
# queues, which the monitor empties as it reads them.
controller_state() { grep -v '^\(event-ring\|ring-event\) ' "$PYV2_SIM_STATE"; }

# The units the simulator holds on controller index $1, one line each:
# second series "number type[/subunit type x subunits] stripe-code ports
# write-cache read-cache queuing name", first series "number type members
# stripe-code-or-port write-cache".
units() {
    /usr/bin/python3 - "$PYV2_SIM_STATE" "$1" <<'PY'
import re, sys
state, index = sys.argv[1], sys.argv[2]
def leaves(records, at, out):
    r = records[at]
    children, at = r[0], at + 1 + r[18]
    if children == 0:
        out.append(r[3])
        return at
    for _ in range(children):
        at = leaves(records, at, out)
    return at
def hexbytes(text):
    return bytes.fromhex(text[4:] if text.startswith('hex:') else text)
lines = [dict(re.findall(r'(\S+)=(\S+)', line)) | {'': line.split(' ')[0]} for line in open(state)]
# Unit settings the controller took since: unit parameters 13 (policy),
# 17 (name), 20 (queuing) and 29 (read cache mode).
params = {}
for f in lines:
    if f[''] == 'param' and f.get('index') == index and int(f['table'], 16) & 0x7F00 == 0x300:
        params[(int(f['table'], 16) & 0xFF, int(f['id']))] = hexbytes(f['value'])
for f in lines:
    if f[''] == 'unit' and f.get('index') == index and 'foreign' not in f:
        raw = hexbytes(f['records'])
        records = [raw[i:i + 20] for i in range(0, len(raw), 20)]
        ports = []
        leaves(records, 0, ports)
        kind, stripe = str(records[0][1]), records[0][2]
        if records[0][0] > 0 and records[1][0] > 0:  # subunits: RAID 10, RAID 50, migrating
            kind += '/%dx%d' % (records[1][1], records[0][0])
            stripe = stripe or records[1][2]
        n = int(f['number'])
        policy = (4 if f['write-cache'] == '1' else 0) | (1 if f['read-cache'] == 'off' else 0)
        mode = 0x20 if f['read-cache'] == 'basic' else 0
        policy = params.get((n, 13), bytes([policy]))[0]
        mode = params.get((n, 29), bytes([mode]))[0]
        queuing = params.get((n, 20), bytes([int(f['queuing'])]))[0]
        name = params.get((n, 17), b'').split(b'\0')[0].decode() or '-'
        read = 'off' if policy & 1 else 'basic' if mode & 0x20 else 'intelligent'
        print(n, kind, stripe, ','.join(map(str, ports)), policy >> 2 & 1, read, queuing, name)
    if f[''] == 'legacy-unit' and f.get('index') == index and f.get('foreign') == '0':
        d = hexbytes(f['descriptor'])
        print(f['number'], d[1], d[0], d[2], f['write-cache'])
PY
}
unit_line() { units "$1" | awk -v u="$2" '$1 == u'; }
log_has() { grep -qF -- "$1" "$LOG"; }

# --- Each type on the family-8 controller, its settings and its log lines.
# The RAID 0's name of 26 characters is cut to the 20 a unit's name holds.
# query | message | unit number | state: type stripe ports write read queuing
while IFS='|' read -r query expected unit state; do
    act "$query&c=2&AvailListSort=3"
    expect_eq "create: $query" "$expected" "$(message)"
    expect_eq "redirect target: $query" 1 "$(grep -c 'url = "/page2_2.html?AvailListSort=3&c=" + parent.cur_controller;' "$W/$name.b")"
    expect_eq "unit read back: $query" "$unit $state" "$(unit_line 3 "$unit")"
done <<'TABLE'
CreateDrives=0,1,2&CreateType=RAID%205&UnitName=data5&CreateStripe=9&CreateDperS=0&CacheOn=1&AutoVerify=1&IgnoreECC=1&Queuing=0&Pervault=1&Readcache=1&QM_Recovery=1|Successfully created unit(s): 0 as RAID 5|0|5 9 0,1,2 1 basic 0 data5
CreateDrives=3,4&CreateType=RAID%200&UnitName=fast_abcdefghijklmnopqrstu&CreateStripe=5&CreateDperS=0&CacheOn=0&AutoVerify=0&IgnoreECC=0&Queuing=1&Pervault=1&Readcache=0&QM_Recovery=3|Successfully created unit(s): 1 as RAID 0|1|0 5 3,4 0 off 1 fast_abcdefghijklmno
CreateDrives=5,6&CreateType=RAID%201&UnitName=mirror&CreateStripe=9&CreateDperS=4&CacheOn=1&AutoVerify=1&IgnoreECC=0&Queuing=1&Pervault=1&Readcache=2&QM_Recovery=3|Successfully created unit(s): 2 as RAID 1|2|2 0 5,6 1 intelligent 1 mirror
CreateDrives=7,8,9,10&CreateType=RAID%2010&UnitName=r10&CreateStripe=7&CreateDperS=0&CacheOn=1&AutoVerify=1&IgnoreECC=0&Queuing=1&Pervault=1&Readcache=2&QM_Recovery=3|Successfully created unit(s): 3 as RAID 10|3|0/2x2 7 7,8,9,10 1 intelligent 1 r10
CreateDrives=11,12,13,14,15&CreateType=RAID%206&UnitName=r6&CreateStripe=7&CreateDperS=0&CacheOn=1&AutoVerify=1&IgnoreECC=0&Queuing=1&Pervault=1&Readcache=2&QM_Recovery=3|Successfully created unit(s): 4 as RAID 6|4|7 7 11,12,13,14,15 1 intelligent 1 r6
CreateDrives=16,17,18,19,20,21&CreateType=RAID%2050&UnitName=r50&CreateStripe=9&CreateDperS=3&CacheOn=1&AutoVerify=1&IgnoreECC=0&Queuing=1&Pervault=1&Readcache=2&QM_Recovery=3|Successfully created unit(s): 5 as RAID 50|5|0/5x2 9 16,17,18,19,20,21 1 intelligent 1 r50
CreateDrives=22,23&CreateType=Single%20Disk&UnitName=one&CreateStripe=7&CreateDperS=0&CacheOn=0&AutoVerify=1&IgnoreECC=0&Queuing=1&Pervault=2&Readcache=0&QM_Recovery=3|Successfully created unit(s): 6, 7 as Single Disk|7|11 0 23 0 off 1 one
CreateDrives=24&CreateType=Spare%20Disk&UnitName=&CreateStripe=7&CreateDperS=0&CacheOn=1&AutoVerify=0&IgnoreECC=0&Queuing=0&Pervault=1&Readcache=2&QM_Recovery=3|Successfully created unit(s): 8 as Spare Disk|8|13 0 24 1 intelligent 0 -
TABLE
expect_eq "first single disk" "6 11 0 22 0 off 1 one" "$(unit_line 3 6)"

# The command log: the create, then the settings in their order.
while IFS= read -r line; do
    check "log: $line" log_has "$line"
done <<'LINES'
Create Unit(controller=3 drives=0 1 2, type=RAID 5, stripe=256, make os aware=yes, unit created=0): Success
Set Unit Name(controller=3, unit=0, name=data5): Success
Set Unit Name(controller=3, unit=1, name=fast_abcdefghijklmno): Success
Enable Write Cache(controller=3, unit=0): Success
Enable Auto Verify(controller=3, unit=0): Success
Continue on ECC errors on rebuild(controller=3, unit=0): Success
Disabled Unit Queuing(controller=3, unit=0): Success
Halt on ECC errors on rebuild(controller=3, unit=2): Success
Create Unit(controller=3 drives=16 17 18 19 20 21, type=RAID 50, stripe=256, drives/subunit=3, make os aware=yes, unit created=5): SUCCESS
Disable Write Cache(controller=3, unit=6): Success
Set Unit Name(controller=3, unit=7, name=one): Success
LINES
expect_eq "RAID 0 sets no ECC policy" "" "$(grep -F 'ECC errors on rebuild(controller=3, unit=1)' "$LOG")"
expect_eq "single disks: Performance set on each" 2 "$(grep -c 'Set Pervault Mode(controller=3, unit=[67], mode=perform): Success' "$LOG")"
expect_eq "RAID 5: create, then its settings in order" \
    "Create Unit;Set Pervault Mode;Enable Write Cache;Set Unit Name;Enable Auto Verify;Continue on ECC errors on rebuild;Disabled Unit Queuing;Set Quickmend" \
    "$(grep -E '\(controller=3,? (unit=0|drives=0 1 2)[,)]' "$LOG" | sed 's/^[^[]*\[//; s/(.*//' | head -8 | paste -sd';')"

# A setting the controller refuses is reported with the unit created.
echo 'fault index=3 opcode=0x53 table=0x309 parameter=17 firmware-code=0x010C count=1' >>"$PYV2_SIM_CONTROL"
act "CreateDrives=25,26&CreateType=RAID%201&UnitName=half&CreateStripe=9&CreateDperS=0&CacheOn=1&AutoVerify=1&IgnoreECC=0&Queuing=1&Pervault=1&c=2&Readcache=2&QM_Recovery=3&AvailListSort=1"
case "$(message)" in
"Successfully created unit(s): 9 as RAID 1 : "*" : Settings not applied to unit 9: Name") pass ;;
*) fail "failed setting reported: $(message)" ;;
esac
expect_eq "unit with the failed setting exists" "9 2 0 25,26 1 intelligent 1 -" "$(unit_line 3 9)"
check "failed setting logged" log_has "Set Unit Name(controller=3, unit=9, name=half): Failed"

# --- Refusals on the family-8 controller: nothing changes.
state_before=$(controller_state)
log_before=$(wc -l <"$LOG")
# query | message
while IFS='|' read -r query expected; do
    act "$query&CreateStripe=9&CreateDperS=0&CacheOn=1&AutoVerify=0&IgnoreECC=0&Queuing=0&Pervault=1&c=2&Readcache=0&QM_Recovery=0&AvailListSort=1"
    expect_eq "refused: $query" "$expected" "$(message)"
done <<'TABLE'
CreateDrives=&CreateType=RAID%205&UnitName=x|Please select at least one drive to create a unit
CreateDrives=27,28&CreateType=RAID%200&UnitName=x|Mixing SATA and SAS drives is not allowed in the same unit.
CreateDrives=27,0&CreateType=RAID%201&UnitName=x|One or more checked drive(s) have valid configurations.  Clear the configurations first before apply this operation.
CreateDrives=24&CreateType=Single%20Disk&UnitName=x|One or more checked drive(s) have valid configurations.  Clear the configurations first before apply this operation.
CreateDrives=27,27&CreateType=RAID%201&UnitName=x|Failed to create unit with drive 27
CreateDrives=28,29,30&CreateType=RAID%201&UnitName=x|Cannot create units : RAID 1 is not offered for 3 drive(s)
CreateDrives=28,29,30,31&CreateType=RAID%206&UnitName=x|Cannot create units : RAID 6 is not offered for 4 drive(s)
CreateDrives=28,29,30&CreateType=RAID%2010&UnitName=x|Cannot create units : RAID 10 is not offered for 3 drive(s)
CreateDrives=28,29,30&CreateType=RAID%207&UnitName=x|Unknown type of unit to create
CreateDrives=28,29,30&CreateType=RAID%205%3Cscript%3Ealert(1)%3C/script%3E&UnitName=x|Unknown type of unit to create
CreateDrives=28,29,30&CreateType=raid%205&UnitName=x|Unknown type of unit to create
CreateDrives=28,29,30&CreateType=RAID%205&UnitName=%3Cb%3Ex%22|There are invalid characters in the unit name entered.
CreateDrives=28,29,30&CreateType=RAID%205&UnitName=a%0Ab|There are invalid characters in the unit name entered.
CreateDrives=28,29,30&CreateType=RAID%205&UnitName=two%20words|There are invalid characters in the unit name entered.
CreateDrives=28,29,30&CreateType=RAID%205&UnitName=abcdefghijklmnopqrstu%0A|There are invalid characters in the unit name entered.
CreateDrives=28,29,30&CreateType=RAID%205&UnitName=ab%00cd|There are invalid characters in the unit name entered.
CreateDrives=28,29,300&CreateType=RAID%205&UnitName=x|(0x0C:0x001F): Operation aborted
CreateDrives=28,29,x&CreateType=RAID%205&UnitName=x|(0x0C:0x001F): Operation aborted
CreateDrives=28,29,30&CreateType=RAID%205&UnitName=x&Readcache=7|(0x0C:0x001F): Operation aborted
TABLE
# Stripes and drives per subunit the page does not offer.
act "CreateDrives=28,29,30&CreateType=RAID%205&UnitName=x&CreateStripe=8&CreateDperS=0&CacheOn=1&AutoVerify=0&IgnoreECC=0&Queuing=0&Pervault=1&c=2&Readcache=0&QM_Recovery=0&AvailListSort=1"
expect_eq "stripe not offered" "Cannot create units : stripe 8 is not offered for RAID 5" "$(message)"
act "CreateDrives=28,29,30&CreateType=RAID%206&UnitName=x&CreateStripe=5&CreateDperS=0&CacheOn=1&AutoVerify=0&IgnoreECC=0&Queuing=0&Pervault=1&c=2&Readcache=0&QM_Recovery=0&AvailListSort=1"
expect_eq "RAID 6 checked for its count first" "Cannot create units : RAID 6 is not offered for 3 drive(s)" "$(message)"
# Requests without a key the pop-up always sends.
act "CreateDrives=28,29,30&CreateType=RAID%205&UnitName=x&c=2"
expect_eq "create without its settings" "(0x0C:0x001F): Operation aborted" "$(message)"
act "CreateDrives=28,29,30&UnitName=x&CreateStripe=9&CreateDperS=0&CacheOn=1&AutoVerify=0&IgnoreECC=0&Queuing=0&Pervault=1&c=2&Readcache=0&QM_Recovery=0"
expect_eq "create without a type" "(0x0C:0x001F): Operation aborted" "$(message)"
# A user is refused first.
act "CreateDrives=28,29,30&CreateType=RAID%205&UnitName=x&CreateStripe=9&c=2" "$USER_COOKIE_PYV2"
expect_eq "user refused" "(0x0C:0x0011): Not logged in as AdministratorCannot create units" "$(message)"
expect_eq "nothing changed by refusals" "$state_before" "$(controller_state)"
expect_eq "nothing logged by refusals" "$log_before" "$(wc -l <"$LOG")"
# No text of a request reaches a page as markup.
for f in "$W"/act*.b; do
    expect_eq "one script element: $f" 1 "$(grep -c '</script>' "$f")"
    expect_not_in "no markup from a request: $f" "<script>alert" "$f"
    expect_not_in "no markup from a request: $f" '<b>x"' "$f"
done

# --- Limits of the family-8 controller at position 3 (4 active drives, 3 per unit).
act "CreateDrives=0,1,2,3,4&CreateType=RAID%205&UnitName=x&CreateStripe=9&CreateDperS=0&CacheOn=1&AutoVerify=0&IgnoreECC=0&Queuing=0&Pervault=1&c=3&Readcache=0&QM_Recovery=0&AvailListSort=1"
expect_eq "active drive limit" "The total active drives are exceeding the maximum limit of (4) " "$(message)"
act "CreateDrives=0,1,2,3&CreateType=RAID%205&UnitName=x&CreateStripe=9&CreateDperS=0&CacheOn=1&AutoVerify=0&IgnoreECC=0&Queuing=0&Pervault=1&c=3&Readcache=0&QM_Recovery=0&AvailListSort=1"
expect_eq "drives per unit limit" "Number of selected drives exceeds the limit for a unit." "$(message)"
expect_eq "limits create nothing" "" "$(units 4)"

# --- The family-6 controller: no RAID 6; single disks released only for a
# creation that goes ahead; all of its free drives in one unit.
act "CreateDrives=2,5,6,7,8&CreateType=RAID%206&UnitName=x&CreateStripe=9&CreateDperS=0&CacheOn=1&AutoVerify=0&IgnoreECC=0&Queuing=0&Pervault=1&c=1&Readcache=0&QM_Recovery=0&AvailListSort=1"
expect_eq "RAID 6 not allowed" "Cannot create units : RAID 6 is not offered for 5 drive(s)" "$(message)"
act "CreateDrives=2,5,6&CreateType=RAID%207&UnitName=x&CreateStripe=9&CreateDperS=0&CacheOn=1&AutoVerify=0&IgnoreECC=0&Queuing=0&Pervault=1&c=1&Readcache=0&QM_Recovery=0&AvailListSort=1"
expect_eq "unknown type" "Unknown type of unit to create" "$(message)"
expect_eq "single disk kept" "1 12 0 2 1 intelligent 1 -" "$(unit_line 2 1)"
for port in 3 4 0; do
    act "CreateDrives=$port,5&CreateType=RAID%200&UnitName=x&CreateStripe=9&CreateDperS=0&CacheOn=1&AutoVerify=0&IgnoreECC=0&Queuing=0&Pervault=1&c=1&Readcache=0&QM_Recovery=0&AvailListSort=1"
    expect_eq "port $port not free" "One or more checked drive(s) have valid configurations.  Clear the configurations first before apply this operation." "$(message)"
done
act "CreateDrives=2,5,6,7,8,9,10,11&CreateType=RAID%200&UnitName=all&CreateStripe=9&CreateDperS=0&CacheOn=1&AutoVerify=1&IgnoreECC=0&Queuing=1&Pervault=0&c=1&Readcache=0&QM_Recovery=0&AvailListSort=1"
expect_eq "all drives in one unit" "Successfully created unit(s): 1 as RAID 0" "$(message)"
expect_eq "all drives read back" "1 0 9 2,5,6,7,8,9,10,11 1 intelligent 1 all" "$(unit_line 2 1)"
check "single disk released first" log_has "Delete Unit(controller=2, unit=1, make os aware=no): Success"
expect_eq "protection not set for Protection" "" "$(grep -F 'Pervault Mode(controller=2' "$LOG")"

# --- The first-series controller: JBOD one unit per drive, stripes up to
# 1024k, and only the write cache set after a create.
# query | message | unit | state: type members stripe-or-port write-cache
while IFS='|' read -r query expected unit state; do
    act "$query&UnitName=&CreateDperS=0&AutoVerify=0&IgnoreECC=0&Queuing=0&Pervault=&c=0&Readcache=0&QM_Recovery=0&AvailListSort=1"
    expect_eq "first series: $query" "$expected" "$(message)"
    expect_eq "first series read back: $query" "$unit $state" "$(unit_line 1 "$unit")"
done <<'TABLE'
CreateDrives=0,1,2&CreateType=JBOD&CreateStripe=7&CacheOn=1|Successfully created unit(s): 0, 1, 2 as JBOD|2|15 0 2 1
CreateDrives=3,4,5&CreateType=RAID%205&CreateStripe=7&CacheOn=1|Successfully created unit(s): 3 as RAID 5|3|5 3 7 1
CreateDrives=6,7,8,9&CreateType=RAID%2010&CreateStripe=11&CacheOn=0|Successfully created unit(s): 4 as RAID 10|4|6 2 11 0
CreateDrives=10,11&CreateType=RAID%200&CreateStripe=8&CacheOn=1|Successfully created unit(s): 5 as RAID 0|5|0 2 8 1
TABLE
check "first-series stripe 1024k" log_has "Create Unit(controller=1 drives=6 7 8 9, type=RAID 10, stripe=1024, make os aware=yes, unit created=4): Success"
expect_eq "first series: no name set" "" "$(grep -F 'Unit Name(controller=1' "$LOG")"
check "first series: write cache set" log_has "Disable Write Cache(controller=1, unit=4): Success"

# --- Migration on the family-8 controller.
state_before=$(controller_state)
# query | message
while IFS='|' read -r query expected; do
    act "$query&CacheOn=0&AutoVerify=0&IgnoreECC=0&c=2&AvailListSort=1"
    expect_eq "migrate: $query" "$expected" "$(message)"
done <<'TABLE'
ModifyUnit=0&ModifyDrives=28&ModifyType=RAID%205&ModifyStripe=9&ModifyDperS=0|Selected drive(s) has different types than the ones in the unit.  Failed to migrate unit.
ModifyUnit=0&ModifyDrives=1&ModifyType=RAID%205&ModifyStripe=9&ModifyDperS=0|One or more checked drive(s) have valid configurations.  Clear the configurations first before apply this operation.
ModifyUnit=0&ModifyDrives=24&ModifyType=RAID%205&ModifyStripe=9&ModifyDperS=0|One or more checked drive(s) have valid configurations.  Clear the configurations first before apply this operation.
ModifyUnit=0&ModifyDrives=27&ModifyType=RAID%207&ModifyStripe=9&ModifyDperS=0|Unknown type of unit to Migrate
ModifyUnit=0&ModifyDrives=27&ModifyType=RAID%201&ModifyStripe=9&ModifyDperS=0|Cannot Migrate unit : RAID 1 is not offered for unit 0 with 4 drive(s)
ModifyUnit=0&ModifyDrives=&ModifyType=RAID%2010&ModifyStripe=9&ModifyDperS=0|Cannot Migrate unit : RAID 10 is not offered for unit 0 with 3 drive(s)
ModifyUnit=0&ModifyDrives=27&ModifyType=RAID%205&ModifyStripe=8&ModifyDperS=0|Cannot Migrate unit : stripe 8 is not offered for RAID 5
ModifyUnit=8&ModifyDrives=27&ModifyType=RAID%201&ModifyStripe=9&ModifyDperS=0|Cannot Migrate unit : unit 8 cannot be migrated
ModifyUnit=0&ModifyDrives=27,x&ModifyType=RAID%205&ModifyStripe=9&ModifyDperS=0|(0x0C:0x001F): Operation aborted
TABLE
act "ModifyUnit=0&ModifyDrives=27&c=2"
expect_eq "migrate without a type" "(0x0C:0x001F): Operation aborted" "$(message)"
act "ModifyUnit=0&ModifyType=RAID%205&ModifyStripe=9&ModifyDperS=0&c=2"
expect_eq "migrate without its drives" "(0x0C:0x001F): Operation aborted" "$(message)"
act "ModifyUnit=0&ModifyDrives=27&ModifyType=RAID%205&c=2" "$USER_COOKIE_PYV2"
expect_eq "migrate: user refused" "(0x0C:0x0011): Not logged in as Administrator : Cannot Migrate unit" "$(message)"
act "ModifyUnit=20&ModifyDrives=27&ModifyType=RAID%205&ModifyStripe=9&ModifyDperS=0&c=2"
case "$(message)" in
*" : Failed to start Migrate on unit 20") pass ;;
*) fail "migrate: no such unit: $(message)" ;;
esac
expect_eq "refused migrations change nothing" "$state_before" "$(controller_state)"

act "ModifyUnit=0&ModifyDrives=27&ModifyType=RAID%205&ModifyStripe=9&ModifyDperS=0&CacheOn=0&AutoVerify=0&IgnoreECC=0&c=2&AvailListSort=1"
expect_eq "migration started" "Successfully started Migrate on unit 0" "$(message)"
check "migration logged" log_has "Start Migrate Unit(controller=3"
expect_eq "unit migrating from its drives to one more" "0 32/5x2 0,1,2,0,1,2,27" "$(unit_line 3 0 | cut -d' ' -f1,2,4)"
act "ModifyUnit=2&ModifyDrives=&ModifyType=Single%20Disk&ModifyStripe=7&ModifyDperS=0&CacheOn=0&AutoVerify=0&IgnoreECC=0&c=2&AvailListSort=1"
expect_eq "mirror split" "Split RAID 1 mirror into Single Disks: units 2, 10" "$(message)"
expect_eq "split halves" "2 11 0 5|10 11 0 6" "$(unit_line 3 2 | cut -d' ' -f1-4)|$(unit_line 3 10 | cut -d' ' -f1-4)"
check "split logged" log_has "Split Mirror(controller=3, unit=2, make os aware=yes): Success"
