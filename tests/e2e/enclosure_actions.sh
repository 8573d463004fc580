# The enclosure pages and their actions over real HTTPS, on the default
# simulated machine: controller 3 (position 2, family 8) has one SES
# enclosure at position 0 with 12 slots (8 holding drives), 2 fans, 2
# temperature sensors, 2 power supplies and 1 alarm; controller 1 (position
# 0, first series) has no enclosure services. Each action is tried with a
# valid index, one past the elements and hostile ones; the details page
# then shows what the simulated enclosure holds.
start_daemon || return
USER="WOXUSER=$USER_COOKIE_PYV2"
ADMIN="WOXUSER=$ADMIN_COOKIE_PYV2"

# page <name> <query> [cookie]: the page or redirect of /page3_3.html.
page() { fetch "$1" "/page3_3.html?$2" -b "${3:-$USER}"; }

# said <what> <name> <message>: the redirect page carries the message.
said() { expect_in "$1" "$3" "$W/$2.b"; }

# section <name> <title>: the table of a details page under its title.
section() { sed -n "/$2 Summary/,/<\/table>/p" "$W/$1.b"; }

# The summary page of the controller with the enclosure.
fetch summary "/page3_2.html?c=2" -b "$USER"
expect_in "summary title" "Enclosure Summary" "$W/summary.b"
expect_in "summary link" 'javascript:goto_enclosure(0, -1)' "$W/summary.b"
expect_in "summary vendor" "<td class=\"tabledata\">SIMENC  </td>" "$W/summary.b"
expect_in "summary counts" "<td class=\"tabledata\">12</td><td class=\"tabledata\">8</td>" "$W/summary.b"
# A controller without enclosure services.
for url in "/page3_2.html?c=0" "/page3_3.html?c=0&e=0" "/page3_3.html?c=0&SetAlarmState=0&a=0"; do
    fetch none "$url" -b "$USER"
    expect_in "$url" "NO ENCLOSURES" "$W/none.b"
done

# The details page, slot 3 highlighted; an enclosure past the last shows the first.
page details "c=2&e=20&slot=3"
expect_in "details title" "Enclosure ID 0" "$W/details.b"
expect_in "details highlight" '<td width="50" class="tabledatacenter" style="background-color: #FFFF00;">3</td>' "$W/details.b"
expect_eq "one highlighted row" 4 "$(grep -o 'background-color: #FFFF00' "$W/details.b" | wc -l)"
expect_in "details power supply" "Power Supply Summary" "$W/details.b"

# Alarms: a user may switch them; an index past the alarms selects alarm 0.
page a1 "SetAlarmState=1&a=7&e=0&c=2"
said "alarm on" a1 "Changed the Enclosure 0, Audio Alarm 0 state to ON"
expect_in "redirect target" '/page3_3.html?e=0&c=' "$W/a1.b"
page state "c=2&e=0"
expect_in "alarm shown on" '<option value="1" selected>ON</option>' "$W/state.b"
page a2 "SetAlarmState=0&a=-1&e=0&c=2"
said "alarm off" a2 "Changed the Enclosure 0, Audio Alarm 0 state to OFF"
page a3 "SetAlarmAudibility=1&a=2147483647&e=0&c=2"
said "alarm muted" a3 "Changed the Enclosure 0, Audio Alarm 0 Audibility to Mute"
page state "c=2&e=0"
expect_in "alarm shown muted" '<option value="1" selected>Mute</option>' "$W/state.b"
page a4 "SetAlarmAudibility=0&a=%3Cscript%3E&e=0&c=2"
said "alarm unmuted" a4 "Changed the Enclosure 0, Audio Alarm 0 Audibility to Unmute"

# Fans: speed and state are not offered by any controller.
page f1 "SetFanSpeed=3&f=0&e=0&c=2"
said "fan speed" f1 "Failed to set the Enclosure 0, Fan 0 speed to 3"
page f2 "SetFanState=1&f=99&e=0&c=2"
said "fan state" f2 "Failed to set the Enclosure 0, Fan 0 state to On"

# Identify LEDs, with the index as the request gave it.
page b1 "BlinkSlot=4&On=1&e=0&c=2"
said "slot blink" b1 "Blinking LED for Enclosure 0 Slot 4"
page state "c=2&e=0"
expect_in "slot shown blinking" 'checked onClick="blink_slot(0, 4, 0);"' "$W/state.b"
page b2 "BlinkSlot=4&On=0&e=0&c=2"
said "slot stop" b2 "Stopped blinking LED for Enclosure 0 Slot 4"
page b3 "BlinkTSSlot=1&On=1&e=0&c=2"
said "sensor blink" b3 "Blinking LED for Enclosure 0 Temperature Sensor 1"
page b4 "BlinkPSSlot=0&On=1&e=0&c=2"
said "supply identify not offered" b4 "Failed to start blinking LED for Enclosure 0 Power Supply 0"
page b5 "BlinkFanSlot=1&On=0&e=0&c=2"
said "fan identify not offered" b5 "Failed to stop blinking LED for Enclosure 0 Fan 1"
# Indexes that name no element are not sent to the enclosure.
while IFS='|' read -r query message; do
    page hostile "$query&e=0&c=2"
    said "$query" hostile "$message"
done <<'TABLE'
BlinkSlot=12&On=1|Failed to start blinking LED for Enclosure 0 Slot 12
BlinkSlot=-1&On=1|Failed to start blinking LED for Enclosure 0 Slot -1
BlinkSlot=-2147483648&On=0|Failed to stop blinking LED for Enclosure 0 Slot -2147483648
BlinkTSSlot=2&On=1|Failed to start blinking LED for Enclosure 0 Temperature Sensor 2
BlinkSlot=%22%3E%3Cscript%3E&On=1|Blinking LED for Enclosure 0 Slot 0
BlinkPSSlot=2&On=1|Failed to start blinking LED for Enclosure 0 Power Supply 2
BlinkFanSlot=-1&On=0|Failed to stop blinking LED for Enclosure 0 Fan -1
SetFanSpeed=3&f=%27%29%3Balert(1)|Failed to set the Enclosure 0, Fan 0 speed to 3
SetFanSpeed=300&f=1|Failed to set the Enclosure 0, Fan 1 speed to 44
SetAlarmAudibility=0&a=99999999999999999999|Changed the Enclosure 0, Audio Alarm 0 Audibility to Unmute
TABLE
# An enclosure position that names none selects the first, and the answer
# goes back to it.
page e1 "SetAlarmAudibility=0&a=0&e=-5&c=2"
said "enclosure out of range" e1 "Changed the Enclosure 0, Audio Alarm 0 Audibility to Unmute"
expect_in "back to the first enclosure" '/page3_3.html?e=0&c=' "$W/e1.b"
page state "c=2&e=0"
expect_eq "only slot 0 blinks" 1 "$(grep -c 'checked onClick="blink_slot' "$W/state.b")"

# Power supplies: switched by an administrator only.
page p1 "SetPowerState=0&ps=1&e=0&c=2"
said "user refused" p1 "(0x0C:0x0011): Not logged in as Administrator : Cannot set the Enclosure 0, Power Supply 1 state"
page state "c=2&e=0"
expect_eq "both supplies still on" 2 "$(section state "Power Supply" | grep -o '>ON</td>' | wc -l)"
page p2 "SetPowerState=0&ps=1&e=0&c=2" "$ADMIN"
said "administrator switches off" p2 "Changed the Enclosure 0, Power Supply 1 state to Off"
page state "c=2&e=0"
expect_eq "supply shown off" 1 "$(section state "Power Supply" | grep -o '>OFF</td>' | wc -l)"
page p3 "SetPowerState=1&ps=-7&e=0&c=2" "$ADMIN"
said "out of range selects the first" p3 "Changed the Enclosure 0, Power Supply 0 state to On"
