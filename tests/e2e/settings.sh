# The Controller Settings page's changes over HTTPS: every setting key with
# a valid, a refused and a hostile value, each checked in its message, its
# command-log line and the simulated controller's state (the state file the
# firmware rewrites after every change it accepts); a request refused
# changes nothing. Controllers of the default machine: position 0 is the
# first-series controller 1, position 1 controller 2 (family 6), position 2
# controller 3 (family 8).
export PYV2_SIM_STATE="$W/state"
export PYV2_SIM_CONTROL="$W/control"
: >"$W/control"
printf 'BGRate 3\n' | write_config
start_daemon || return
source "$(dirname "$E2E_LIB")/actions.bash"
ADMIN="WOXUSER=$ADMIN_COOKIE_PYV2"
USER="WOXUSER=$USER_COOKIE_PYV2"

# The lines of a state file, sorted, without the units' raw records (which
# change as the controllers' tasks go on) and without the event queues
# (which the monitor empties as it reads them). The firmware rewrites the
# file whole, not always in the same order.
state_lines() { sed '/^\(event-ring\|ring-event\) /d; s/ records=hex:[0-9a-f]*//' "$1" | sort; }

# act <cookie> <query>: requests the page with the query. MESSAGE is the
# redirect page's message, LOGGED the command-log lines the request added,
# STATE the state lines it added or changed (sorted, joined by ";"),
# CONFIG_CHANGED whether the configuration file changed.
act() {
    cp "$W/state" "$W/state.before" 2>/dev/null || : >"$W/state.before"
    cp /etc/pyv2/pyv2.conf "$W/conf.before"
    local lines
    lines=$(log_count)
    fetch act "/page2_0.html?$2" -b "$1"
    MESSAGE=$(message_of act)
    LOGGED=$(logged_since "$lines")
    STATE=$(comm -13 <(state_lines "$W/state.before") <(state_lines "$W/state") | paste -sd';')
    if cmp -s "$W/conf.before" /etc/pyv2/pyv2.conf; then CONFIG_CHANGED=no; else CONFIG_CHANGED=yes; fi
}

# check_act <cookie> <query> <message> <logged> <state>: "-" for no log line
# or no state change.
check_act() {
    act "$1" "$2"
    expect_eq "$2: message" "$3" "$MESSAGE"
    expect_eq "$2: command log" "${4/#-/}" "$LOGGED"
    expect_eq "$2: controller state" "${5/#-/}" "$STATE"
}

# An administrator's changes of controller 3, valid and refused by the
# library or by the handler. query | message | log line | state lines
while IFS='|' read -r query message logged state; do
    check_act "$ADMIN" "$query&c=2" "$message" "$logged" "$state"
    expect_eq "$query: configuration untouched" no "$CONFIG_CHANGED"
done <<'TABLE'
ChangeRebuildRate=4|Changed Background Rebuild Rate to 4|Set Rebuild Rate(controller=3, rate=4): Success|param index=3 table=0x840C id=5 value=hex:46
ChangeRebuildRate=7|(0x0B:0x002D): Invalid task rate : Failed to change Background Rebuild Rate|Set Rebuild Rate(controller=3, rate=7): Failed|-
ChangeVerifyRate=2|Changed Background Verify Rate to 2|Set Verify Rate(controller=3, rate=2): Success|param index=3 table=0x840C id=6 value=hex:aa
ChangeVerifyRate=0|(0x0B:0x002D): Invalid task rate : Failed to change Background Verify Rate|Set Verify Rate(controller=3, rate=0): Failed|-
SetAutoVerifyUnit=1&Enable=1|Enabled auto verify on Unit 1|Enable Auto Verify(controller=3, unit=1): Success|param index=3 table=0x8301 id=14 value=hex:01
SetAutoVerifyUnit=1&Enable=0|Disabled auto verify on Unit 1|Disable Auto Verify(controller=3, unit=1): Success|param index=3 table=0x8301 id=14 value=hex:00
SetAutoVerifyUnit=64&Enable=1|(0x0B:0x0009): Invalid unit ID : Failed to set auto verify on Unit 64|-|-
SetAutoVerifyUnit=256&Enable=1|(0x0B:0x0009): Invalid unit ID : Failed to set auto verify on Unit 256|-|-
SetAutoVerifyUnit=-1&Enable=1|(0x0B:0x0009): Invalid unit ID : Failed to set auto verify on Unit -1|-|-
SetAutoVerifyUnit=1|(0x0B:0x007A): Invalid argument or value : Failed to set auto verify on Unit 1|-|-
SetECCUnit=1&Enable=1|Enabled Overwrite ECC policy on Unit 1|Continue on ECC errors on rebuild(controller=3, unit=1): Success|param index=3 table=0x8301 id=15 value=hex:01
SetECCUnit=1&Enable=0|Disabled Overwrite ECC policy on Unit 1|Halt on ECC errors on rebuild(controller=3, unit=1): Success|param index=3 table=0x8301 id=15 value=hex:00
SetECCUnit=9&Enable=1|(0x0B:0x003F): No unit : Failed to set Overwrite ECC policy on Unit 9|Continue on ECC errors on rebuild(controller=3, unit=9): Failed|-
SetQueuing=1&Enable=0|Disabled queuing on Unit 1|Disabled Unit Queuing(controller=3, unit=1): Success|param index=3 table=0x8301 id=20 value=hex:00
SetQueuing=1&Enable=1|Enabled queuing on Unit 1|Enabled Unit Queuing(controller=3, unit=1): Success|param index=3 table=0x8301 id=20 value=hex:01
Pervault=1&Value=2|Set Pervault to performance mode|Set Pervault Mode(controller=3, unit=1, mode=perform): Success|param index=3 table=0x8301 id=21 value=hex:00;param index=3 table=0x8301 id=22 value=hex:0100;param index=3 table=0x8301 id=23 value=hex:0000
Pervault=1&Value=0|Set Pervault to protection mode|Set Pervault Mode(controller=3, unit=1, mode=protect): Success|param index=3 table=0x8301 id=21 value=hex:01;param index=3 table=0x8301 id=22 value=hex:0001;param index=3 table=0x8301 id=23 value=hex:0100
Pervault=1&Value=7|Unknown Pervault mode|-|-
Pervault=1|Unknown Pervault mode|-|-
QM_Recovery=1&Value=3|Set Quickmend policy to All|Set Quickmend(controller=3, unit=1, qm_recovery=All): Success|param index=3 table=0x8301 id=28 value=hex:03
QM_Recovery=1&Value=1|Set Quickmend policy to Rebuild|Set Quickmend(controller=3, unit=1, qm_recovery=Rebuild): Success|param index=3 table=0x8301 id=28 value=hex:01
QM_Recovery=1&Value=2|Unknown Quickmend policy|-|-
QM_Recovery=1|Unknown Quickmend policy|-|-
QM_Recovery=1&Value=|Unknown Quickmend policy|-|-
SetWriteCacheUnit=1&SetCacheEnable=0|Disabled Write Cache on Unit 1|Disable Write Cache(controller=3, unit=1): Success|param index=3 table=0x8301 id=13 value=hex:00
SetWriteCacheUnit=1&SetCacheEnable=1|Enabled Write Cache on Unit 1|Enable Write Cache(controller=3, unit=1): Success|param index=3 table=0x8301 id=13 value=hex:04
SetWriteCacheUnit=0|(0x0B:0x007A): Invalid argument or value : Failed to set Write Cache on Unit 0|-|-
SetReadCacheUnit=1&SetCacheEnable=1|Enabled Basic Read Cache on Unit 1|-|param index=3 table=0x8301 id=29 value=hex:20
SetReadCacheUnit=1&SetCacheEnable=0|Disabled Read Cache on Unit 1|-|param index=3 table=0x8301 id=13 value=hex:05
SetReadCacheUnit=1&SetCacheEnable=2|Enabled Intelligent Read Cache on Unit 1|-|param index=3 table=0x8301 id=13 value=hex:04;param index=3 table=0x8301 id=29 value=hex:00
SetReadCacheUnit=1&SetCacheEnable=9|(0x0B:0x007A): Invalid argument or value : Failed to set Read Cache Plicy on Unit to 1|-|-
SetReadCacheUnit=99&SetCacheEnable=1|(0x0B:0x0009): Invalid unit ID : Failed to set Read Cache Plicy on Unit to Basic|-|-
CarveSize=1024|Saved the carve size.|Set LUN Size(controller=3, size=2147483647): Success|param index=3 table=0x8403 id=29 value=hex:ffffff7f00000000
CarveSize=32768|Saved the carve size.|Set LUN Size(controller=3, size=68719476735): Success|param index=3 table=0x8403 id=29 value=hex:ffffffff0f000000
CarveSize=1023|Invalid carve size entered!  The value is out of carve size range |-|-
CarveSize=32769|Invalid carve size entered!  The value is out of carve size range |-|-
CarveSize=abc|Invalid carve size entered!  The value is out of carve size range |-|-
AutoRebuild=1|Enabled auto rebuild policy|Set Auto Rebuild (controller=3, policy=ff(ALL)): Success|param index=3 table=0x8403 id=28 value=hex:ff
AutoRebuild=0|Disabled auto rebuild policy|Set Auto Rebuild (controller=3, policy=0(OFF)): Success|param index=3 table=0x8403 id=28 value=hex:00
AutoRebuild=on|Enabled auto rebuild policy|Set Auto Rebuild (controller=3, policy=ff(ALL)): Success|param index=3 table=0x8403 id=28 value=hex:ff
MultiLun=1|Enabled Auto-Carving|Enable Multi-Lun Policy(controller=3): Success|param index=3 table=0x8403 id=24 value=hex:01
MultiLun=0|Disabled Auto-Carving|Disable Multi-Lun Policy(controller=3): Success|param index=3 table=0x8403 id=24 value=hex:00
ChangeBRAP=1|Changed the Background Rebuild/Migrate Mode to Low Latency|Set Rebuild Mode(controller=3, mode=1): Success|param index=3 table=0x840C id=13 value=hex:01
ChangeBRAP=0|Changed the Background Rebuild/Migrate Mode to Adaptive|Set Rebuild Mode(controller=3, mode=0): Success|param index=3 table=0x840C id=13 value=hex:00
ChangeBRAP=2|Failed to change Background Rebuild/Migrate Mode : Received invalid Mode value.|-|-
ChangeBVAP=1|Changed the Background Verify Mode to Low Latency|Set Verify Mode(controller=3, mode=1): Success|param index=3 table=0x840C id=14 value=hex:01
ChangeBVAP=-1|Failed to change Background Verify Mode : Received invalid Mode value.|-|-
ChangeSATALinkSpeed=1|Changed the SATA drive link speed in enclosure|-|param index=3 table=0x8403 id=37 value=hex:01
ChangeSATALinkSpeed=3|Failed to change SATA drive link speed in enclosure: Received invalid speed value.|-|-
ChangeSASLinkSpeed=2|Changed the SAS drive link speed in enclosure|-|param index=3 table=0x8403 id=38 value=hex:02
ChangeSASLinkSpeed=-1|Failed to change SAS drive link speed in enclosure: Received invalid speed value.|-|-
ChangeVerifyRate=4&SetECCUnit=1&Enable=1|Changed Background Verify Rate to 4|Set Verify Rate(controller=3, rate=4): Success|param index=3 table=0x840C id=6 value=hex:46
TABLE

# The same keys from a user: refused with the administrator's text and the
# key's own, and nothing changed. query | the key's refusal text
while IFS='|' read -r query refusal; do
    check_act "$USER" "$query&c=2" "(0x0C:0x0011): Not logged in as Administrator : $refusal" - -
    expect_eq "$query from a user: configuration untouched" no "$CONFIG_CHANGED"
done <<'TABLE'
ChangeRebuildRate=5|Background Rebuild Rate unchanged
ChangeVerifyRate=5|Background Verify Rate unchanged
SetAutoVerifyUnit=1&Enable=1|Auto verify policy unchanged
SetECCUnit=1&Enable=1|Overwrite ECC policy unchanged
SetQueuing=1&Enable=0|(0x0C:0x001F): Operation aborted
Pervault=1&Value=1|(0x0C:0x001F): Operation aborted
QM_Recovery=1&Value=0|(0x0C:0x001F): Operation aborted
SetWriteCacheUnit=1&SetCacheEnable=0|Write Cache unchanged
SetReadCacheUnit=1&SetCacheEnable=0|(0x0C:0x001F): Operation aborted
UnitNames=a,b,c&UnitNums=0,1,2|(0x0C:0x001F): Operation aborted
CarveSize=4096|(0x0C:0x001F): Operation aborted
AutoRebuild=1|(0x0C:0x001F): Operation aborted
MultiLun=1|(0x0C:0x001F): Operation aborted
ChangeBRAP=1|(0x0C:0x001F): Operation aborted
ChangeBVAP=1|(0x0C:0x001F): Operation aborted
ChangeSATALinkSpeed=2|(0x0C:0x001F): Operation aborted
ChangeSASLinkSpeed=1|(0x0C:0x001F): Operation aborted
TABLE

# A user sees the page, its controls drawn as for an administrator but the
# firmware update's button disabled.
fetch user_page "/page2_0.html?c=2" -b "$USER"
expect_in "a user sees the settings" 'onClick="set_cache(0, 1, 0, this)" checked' "$W/user_page.b"
expect_in "a user's firmware button is disabled" 'value="Begin Update" disabled>' "$W/user_page.b"

# Unit names: every unit's name in one request, paired by position.
check_act "$ADMIN" "UnitNames=alpha,be%2Bta,&UnitNums=0,1,2&c=2" "Saved unit name(s)" \
    "$(printf '%s\n' 'Set Unit Name(controller=3, unit=0, name=alpha): Success' \
        'Set Unit Name(controller=3, unit=1, name=be+ta): Success' \
        'Set Unit Name(controller=3, unit=2, name=): Success')" \
    "param index=3 table=0x8300 id=17 value=hex:616c706861$(printf '0%.0s' {1..32});param index=3 table=0x8301 id=17 value=hex:62652b7461$(printf '0%.0s' {1..32});param index=3 table=0x8302 id=17 value=hex:$(printf '0%.0s' {1..42})"
fetch names_page "/page2_0.html?c=2" -b "$ADMIN"
expect_in "the saved name is shown" 'name="unitname1" maxlength="20" value="be+ta"' "$W/names_page.b"
# A name longer than a unit's 20 bytes is cut to its first 20, and a
# character of two bytes that the cut would split is left out whole.
hex_name() { printf '%s' "$1" | od -An -tx1 | tr -d ' \n'; printf '0%.0s' $(seq $((42 - 2 * ${#1}))); }
check_act "$ADMIN" "UnitNames=abcdefghijklmnopqrstuvwxyz,abcdefghijklmnopqrs%C3%A4x,&UnitNums=0,1,2&c=2" \
    "Saved unit name(s)" \
    "$(printf '%s\n' 'Set Unit Name(controller=3, unit=0, name=abcdefghijklmnopqrst): Success' \
        'Set Unit Name(controller=3, unit=1, name=abcdefghijklmnopqrs): Success' \
        'Set Unit Name(controller=3, unit=2, name=): Success')" \
    "param index=3 table=0x8300 id=17 value=hex:$(hex_name abcdefghijklmnopqrst);param index=3 table=0x8301 id=17 value=hex:$(hex_name abcdefghijklmnopqrs)"

# Names that could forge a log line, break a page or pair a name with
# another unit are refused whole: nothing is stored, nothing logged.
while IFS='|' read -r names numbers what; do
    check_act "$ADMIN" "UnitNames=$names&UnitNums=$numbers&c=2" "Failed to save unit name(s)" - -
done <<'TABLE'
ok,a%0Ab,c|0,1,2|a line feed
ok,a%0Db,c|0,1,2|a carriage return
ok,a%00b,c|0,1,2|a NUL
ok,%3Cb%3Ex%22,c|0,1,2|markup
ok,a+b,c|0,1,2|a blank
ok,a%2Cb,c|0,1,2|an encoded comma
ok,abcdefghijklmnopqrstuvw%0A,c|0,1,2|a line feed beyond the 20th character
a,b,c|0,1|more names than numbers
a|0,1,2|one name for three units
a,b|0,64|a unit number out of range
a,b|0,-1|a negative unit number
a,b|0,x|no number
a,b,c,d,e,f,g,h,i,j,k,l,m,n,o,p,q|0,1,2,3,4,5,6,7,8,9,10,11,12,13,14,15,16|seventeen units
a,b,c,d,e,f,g,h,i,j,k,l,m,n|0,1,2,3,4,5,6,7,8,9,10,11,12,13|a number list cut at 30 characters
TABLE
# Names beyond their room (255 characters) are refused whole, although each
# would fit a unit: cut there, a name could go to another unit.
names=$(for i in $(seq 10 22); do printf 'unit_name_%s_abcdefg,' "$i"; done)
check_act "$ADMIN" "UnitNames=${names%,}&UnitNums=$(seq -s, 0 12)&c=2" "Failed to save unit name(s)" - -

# A unit name with markup set on the controller is shown escaped, and every
# script of the page still parses.
printf 'param index=3 table=0x8302 id=17 value=hex:3c623e782227263c2f7363726970743e00000000000000\n' >>"$W/control"
fetch hostile_page "/page2_0.html?c=2" -b "$ADMIN"
expect_in "a hostile name is escaped" 'value="&lt;b&gt;x&quot;&#39;&amp;&lt;/script&gt;"' "$W/hostile_page.b"
expect_not_in "no markup from a name" '<b>x"' "$W/hostile_page.b"
check "the page's scripts parse" scripts_parse hostile_page

# A value echoed into the message is escaped for the banner and the script.
act "$ADMIN" "SetAutoVerifyUnit=2<b>x\"'\\&Enable=1&c=2"
expect_eq "an echoed value is escaped" "Enabled auto verify on Unit 2&lt;b&gt;x&quot;&#39;\\\\" "$MESSAGE"
check "the redirect page's script parses" scripts_parse act

# The first-series controller: the task rate, kept in BGRate for the next
# start at the controller index's place (the text lengthened with 3s), and
# the write cache.
check_act "$ADMIN" "ChangeRebuildRate=4&c=0" "Changed Background Task Rate to 4" \
    "Set Rebuild Rate(controller=1, rate=4): Success" \
    "param index=1 table=0x0405 id=3 value=hex:19;param index=1 table=0x0405 id=4 value=hex:23"
check "the rate is kept for the next start" grep -qx 'BGRate 34' /etc/pyv2/pyv2.conf
check_act "$ADMIN" "ChangeRebuildRate=9&c=0" \
    "(0x0B:0x002D): Invalid task rate : Failed to change Background Task Rate" \
    "Set Rebuild Rate(controller=1, rate=9): Failed" -
expect_eq "a rate no controller takes is not kept" no "$CONFIG_CHANGED"
check_act "$USER" "ChangeRebuildRate=2&c=0" \
    "(0x0C:0x0011): Not logged in as Administrator : Background Task Rate unchanged" - -
expect_eq "a refused rate is not kept" no "$CONFIG_CHANGED"
act "$ADMIN" "SetWriteCacheUnit=0&SetCacheEnable=0&c=0"
expect_eq "first series: write cache message" "Disabled Write Cache on Unit 0" "$MESSAGE"
check "first series: write cache off" grep -q '^legacy-unit index=1 number=0 .* write-cache=0' "$W/state"

# Controller 2 (family 6) refuses what its firmware does not offer; a
# position beyond the list, or negative, acts on the first controller.
while IFS='|' read -r query message logged; do
    check_act "$ADMIN" "$query" "$message" "$logged" -
done <<'TABLE'
QM_Recovery=1&Value=3&c=1|(0x0B:0x0002): Feature not supported : Failed to set Quickmend on Unit 1|Set Quickmend(controller=2, unit=1, qm_recovery=All): Failed
SetReadCacheUnit=0&SetCacheEnable=1&c=1|(0x0B:0x0002): Feature not supported : Failed to set Read Cache Plicy on Unit to Basic|
ChangeSATALinkSpeed=1&c=1|(0x0B:0x0002): Feature not supported : Failed.|
MultiLun=0&c=9|(0x0B:0x0002): Feature not supported : Failed to change Auto-Carving policy|Disable Multi-Lun Policy(controller=1): Failed
MultiLun=0&c=-1|(0x0B:0x0002): Feature not supported : Failed to change Auto-Carving policy|Disable Multi-Lun Policy(controller=1): Failed
TABLE
