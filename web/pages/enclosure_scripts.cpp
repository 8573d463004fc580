// The scripts of the enclosure details page. Each action builds the URL of
// the details page's handler with the action's keys, the enclosure position
// and the current controller, and loads it.
#include "daemon/string_builder.h"
#include "web/pages/enclosure_pages.h"

namespace {

struct EnclosureScript {
    const char* name;
    const char* parameters;
    const char* url;  // the URL before the common end
    bool common_end;  // "&e=" + e_index + "&c=" + parent.cur_controller
};

const EnclosureScript kScripts[] = {
    {"set_powerstate", "e_index, ps_index, on",
     "\"/page3_3.html?SetPowerState=\" + on + \"&ps=\" + ps_index", true},
    {"set_alarm_state", "e_index, a_index, on",
     "\"/page3_3.html?SetAlarmState=\" + on + \"&a=\" + a_index", true},
    {"set_alarm_audibility", "e_index, a_index, on",
     "\"/page3_3.html?SetAlarmAudibility=\" + on + \"&a=\" + a_index", true},
    {"set_fanstate", "e_index, fan_index, on",
     "\"/page3_3.html?SetFanState=\" + on + \"&f=\" + fan_index", true},
    {"set_fanspeed", "e_index, fan_index, speed",
     "\"/page3_3.html?SetFanSpeed=\" + speed + \"&f=\" + fan_index", true},
    {"blink_slot", "e_index, s_index, on", "\"/page3_3.html?BlinkSlot=\" + s_index + \"&On=\" + on",
     true},
    {"blink_fan_slot", "e_index, index, on",
     "\"/page3_3.html?BlinkFanSlot=\" + index + \"&On=\" + on", true},
    {"blink_ts_slot", "e_index, index, on",
     "\"/page3_3.html?BlinkTSSlot=\" + index + \"&On=\" + on", true},
    {"blink_ps_slot", "e_index, index, on",
     "\"/page3_3.html?BlinkPSSlot=\" + index + \"&On=\" + on", true},
    {"download_encl_diag_text", "enclosure, c_index",
     "\"/\" + \"encl_diaglog_\" + \"c\" + c_index + \"e\" + enclosure + \".\" + \"dat\"", false},
};

}  // namespace

void write_enclosure_scripts(StringBuilder& body) {
    for (const EnclosureScript& script : kScripts) {
        body.append("function ").append(script.name).append("(").append(script.parameters);
        body.append(")\n{\n  var url = ").append(script.url);
        if (script.common_end)
            body.append(" + \"&e=\" + e_index + \"&c=\" + parent.cur_controller");
        body.append(";\n  document.location.replace(url);\n}\n");
    }
}
