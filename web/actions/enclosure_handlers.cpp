#include "web/actions/enclosure_handlers.h"

#include <chrono>
#include <memory>

#include "api/ctl.h"
#include "daemon/enclosure_lock.h"
#include "daemon/enclosure_model.h"
#include "driver/read_reuse.h"
#include "web/actions/handler_frame.h"
#include "web/pages/enclosure_pages.h"
#include "web/pages/info_pages.h"

namespace {

// The summary reads the slots for its Drives column and the alarms for the
// enclosure's status.
constexpr uint32_t kSummaryMask = kEnclosureKindSlots | kEnclosureKindAlarms;
constexpr uint32_t kEveryKind = 0;

// The selected controller's enclosures. The enclosure lock is taken first
// and held until release(): the library's enclosure records are shared with
// the monitor thread, so the list, the models and the action are all read
// and carried out under it; the page is written after.
class ControllerEnclosures {
  public:
    ControllerEnclosures(DaemonContext* context, const ControllerSelection& controllers)
        : controllers_(controllers),
          asked_(std::chrono::steady_clock::now()),
          lock_(context->config(), kEnclosureLockPageMode) {
        clear_id_list(list_);
        // The page waited while the monitor checked the enclosures: what this
        // page build read of the controller before stands for it no longer.
        // (A wait lasts at least one of the lock's pauses of 150 ms.)
        if (std::chrono::steady_clock::now() - asked_ > std::chrono::milliseconds(100))
            ReadReuse::forget(controllers.controller_index());
        if (!lock_.held() || ctl_get_enclosure_list(controllers.id(), &list_) != 0 ||
            list_.count < 1 || list_.count > uint32_t(kEnclosureElementRoom))
            mark_none_found(list_);
    }

    // No enclosure can be shown: none found, or the lock not taken.
    bool none() const { return list_count(list_) < 1; }
    int count() const { return none() ? 0 : list_count(list_); }
    const EnclosureIdList* list() const { return &list_; }

    std::unique_ptr<EnclosureModel> model(int e, uint32_t mask) const {
        return std::make_unique<EnclosureModel>(list_.ids[e], e, controllers_.position(),
                                                controllers_.controller_index(), mask);
    }

    void release() { lock_.release(); }

  private:
    const ControllerSelection& controllers_;
    std::chrono::steady_clock::time_point asked_;  // before the lock
    EnclosureLockGuard lock_;
    EnclosureIdList list_;
};

enum class Element { Fan, Alarm, PowerSupply, Slot, TempSensor };

enum class Action {
    SetFanSpeed,
    SetAlarmState,
    SetAlarmAudibility,
    SetPowerState,
    SetFanState,
    Blink,
};

struct EnclosureAction {
    const char* key;
    Action action;
    Element element;
    uint32_t mask;
    const char* word;  // the element in the message
};

// Tested in this order; the first key present decides.
const EnclosureAction kActions[] = {
    {"SetFanSpeed=", Action::SetFanSpeed, Element::Fan, kEnclosureKindFans, ", Fan "},
    {"SetAlarmState=", Action::SetAlarmState, Element::Alarm, kEnclosureKindAlarms,
     ", Audio Alarm "},
    {"SetAlarmAudibility=", Action::SetAlarmAudibility, Element::Alarm, kEnclosureKindAlarms,
     ", Audio Alarm "},
    {"SetPowerState=", Action::SetPowerState, Element::PowerSupply, kEnclosureKindPowerSupplies,
     ", Power Supply "},
    {"SetFanState=", Action::SetFanState, Element::Fan, kEnclosureKindFans, ", Fan "},
    {"BlinkSlot=", Action::Blink, Element::Slot, kEnclosureKindSlots, " Slot "},
    {"BlinkPSSlot=", Action::Blink, Element::PowerSupply, kEnclosureKindPowerSupplies,
     " Power Supply "},
    {"BlinkTSSlot=", Action::Blink, Element::TempSensor, kEnclosureKindTempSensors,
     " Temperature Sensor "},
    {"BlinkFanSlot=", Action::Blink, Element::Fan, kEnclosureKindFans, " Fan "},
};

const EnclosureAction* find_action(const char* url) { return first_key(url, kActions); }

// The element at position k of its kind's list in the model: its identifier
// and element index; false when the list holds no element there.
struct Addressed {
    ObjectId id;
    int index;
};

template <typename Object, int N>
bool take(const IdListOf<N>& list, Object* const (&objects)[N], int count, int k, Addressed* out) {
    if (!index_in(k, count) || objects[k] == nullptr) return false;
    out->id = list.ids[k];
    out->index = objects[k]->index;
    return true;
}

bool element_at(const EnclosureModel& m, Element element, int k, Addressed* out) {
    switch (element) {
        case Element::Fan:
            return take(m.fans, m.fan_objects, m.fan_count(), k, out);
        case Element::Alarm:
            return take(m.alarms, m.alarm_objects, m.alarm_count(), k, out);
        case Element::PowerSupply:
            return take(m.power_supplies, m.power_supply_objects, m.power_supply_count(), k, out);
        case Element::Slot:
            return take(m.slots, m.slot_objects, m.slot_count(), k, out);
        case Element::TempSensor:
            return take(m.temp_sensors, m.temp_sensor_objects, m.temp_sensor_count(), k, out);
    }
    return false;
}

int element_count(const EnclosureModel& m, Element element) {
    switch (element) {
        case Element::Fan:
            return m.fan_count();
        case Element::Alarm:
            return m.alarm_count();
        case Element::PowerSupply:
            return m.power_supply_count();
        case Element::Slot:
            return m.slot_count();
        case Element::TempSensor:
            return m.temp_sensor_count();
    }
    return 0;
}

// The index the request names for a set action: "f=", "a=" or "ps="; one
// that names no element of the kind selects the first.
int set_index(DaemonContext* context, const char* url, const EnclosureAction& a,
              const EnclosureModel& model) {
    int k = 0;
    if (a.element == Element::Fan) k = context->get_param_f(url);
    if (a.element == Element::Alarm) k = context->get_param_a(url);
    if (a.element == Element::PowerSupply) k = context->get_param_ps(url);
    return index_in(k, element_count(model, a.element)) ? k : 0;
}

// One of the five set actions; the library's result.
int set_element(const EnclosureAction& a, const Addressed& target, int value) {
    switch (a.action) {
        case Action::SetFanSpeed:
            return ctl_set_fan_speed(target.id, value & 0xFF);
        case Action::SetAlarmState:
            return value == 0 ? ctl_turn_alarm_off(target.id) : ctl_set_alarm_state(target.id, 2);
        case Action::SetAlarmAudibility:
            return value == 1 ? ctl_mute_alarm(target.id) : ctl_unmute_alarm(target.id);
        case Action::SetPowerState:
            return value == 1 ? ctl_turn_power_supply_on(target.id)
                              : ctl_turn_power_supply_off(target.id);
        case Action::SetFanState:
            return value == 1 ? ctl_turn_fan_on(target.id) : ctl_turn_fan_off(target.id);
        case Action::Blink:
            break;
    }
    return -1;
}

int identify_element(Element element, const Addressed& target, bool on) {
    switch (element) {
        case Element::Slot:
            return ctl_identify_slot(target.id, on ? 1 : 0);
        case Element::PowerSupply:
            return ctl_identify_power_supply(target.id, on ? 1 : 0);
        case Element::TempSensor:
            return ctl_identify_temp_sensor(target.id, on ? 1 : 0);
        case Element::Fan:
            return ctl_identify_fan(target.id, on ? 1 : 0);
        case Element::Alarm:
            break;
    }
    return -1;
}

// What a set action reports after the enclosure and element.
void set_message_tail(ActionMessage& message, const EnclosureAction& a, int value) {
    switch (a.action) {
        case Action::SetFanSpeed:
            message.text(" speed to ").number(value & 0xFF);
            break;
        case Action::SetAlarmState:
            message.text(" state to ").web(value == 0 ? 488 : 487);
            break;
        case Action::SetAlarmAudibility:
            message.text(" Audibility to ").web(value == 1 ? 542 : 543);
            break;
        case Action::SetPowerState:
        case Action::SetFanState:
            message.text(value == 1 ? " state to On" : " state to Off");
            break;
        case Action::Blink:
            break;
    }
}

// Carries out the action on the model's enclosure and composes its message;
// the redirect code.
int carry_out(DaemonContext* context, const PageRequest& request, const EnclosureAction& a,
              const EnclosureModel& model, ActionMessage& message) {
    const char* url = request.url;
    if (a.action == Action::Blink) {
        const int k = get_number(url, a.key, 0);
        const bool on = get_on(url);
        Addressed target;
        // An index that names no element of the kind is not sent on.
        const int result =
            element_at(model, a.element, k, &target) ? identify_element(a.element, target, on) : -1;
        if (on)
            message.text(result == 0 ? "Blinking LED for Enclosure "
                                     : "Failed to start blinking LED for Enclosure ");
        else
            message.text(result == 0 ? "Stopped blinking LED for Enclosure "
                                     : "Failed to stop blinking LED for Enclosure ");
        message.number(model.number).text(a.word).number(k);
        return kRedirectDone;
    }

    const int value = get_number(url, a.key, 0);
    const int k = set_index(context, url, a, model);
    Addressed target{{}, k};
    const bool exists = element_at(model, a.element, k, &target);
    // Switching a power supply can cut the power of a live unit's drives.
    if (a.action == Action::SetPowerState && request.level != kAccessAdmin) {
        message.refusal(kRefusalColon).text("Cannot set the Enclosure ").number(model.number);
        message.text(a.word).number(target.index).text(" state");
        return kRedirectNotPermitted;
    }
    const int result = exists ? set_element(a, target, value) : -1;
    message.text(result == 0 ? "Changed " : "Failed to set ").text("the Enclosure ");
    message.number(model.number).text(a.word).number(target.index);
    set_message_tail(message, a, value);
    return kRedirectDone;
}

// The summary page, with one model per enclosure.
int write_summary(PageBuilder* page, const ControllerSelection& controllers,
                  const ControllerRecord* records, ControllerEnclosures& enclosures) {
    std::unique_ptr<EnclosureModel> models[kEnclosureElementRoom];
    EnclosureModel* shown[kEnclosureElementRoom] = {};
    for (int e = 0; e < enclosures.count(); ++e) {
        models[e] = enclosures.model(e, kSummaryMask);
        shown[e] = models[e].get();
    }
    enclosures.release();
    return write_page3_2(*page, controllers.position(), controllers.list(), records,
                         enclosures.list(), enclosures.none() ? nullptr : shown);
}

// The details page of the enclosure "e=" selects, or the action that the
// request names carried out on it.
int write_details(DaemonContext* context, PageBuilder* page, const PageRequest& request,
                  const ControllerSelection& controllers, const ControllerRecord* records,
                  ControllerEnclosures& enclosures) {
    int e = context->get_param_e(request.url);
    if (!index_in(e, enclosures.count())) e = 0;
    const EnclosureAction* action = find_action(request.url);
    if (action == nullptr) {
        std::unique_ptr<EnclosureModel> model = enclosures.model(e, kEveryKind);
        enclosures.release();
        return write_page3_3(*page, controllers.position(), controllers.list(), records,
                             model.get(), context->get_param_slot(request.url));
    }
    std::unique_ptr<EnclosureModel> model = enclosures.model(e, action->mask);
    ActionMessage message(context);
    const int code = carry_out(context, request, *action, *model, message);
    enclosures.release();
    StringBuilder target;
    target.append("/page3_3.html?e=").append_int(e);
    return message.redirect(page, target.c_str(), code);
}

// What both handlers start with: the controllers (without any, the Summary
// page in its "NO CONTROLLERS" form), the records, the selected controller's
// enclosures (the enclosure summary's "NO ENCLOSURES" form when it has none).
int answer(DaemonContext* context, PageBuilder* page, const PageRequest& request, bool details) {
    ControllerSelection controllers;
    if (controllers.none())
        return write_page0(*page, kNoneFound, kNoneFound, controllers.list(), nullptr);
    controllers.select(context->get_param_c(request.url));
    ControllerRecord* records = controllers.fill(context);
    ControllerEnclosures enclosures(context, controllers);
    if (!details || enclosures.none()) return write_summary(page, controllers, records, enclosures);
    return write_details(context, page, request, controllers, records, enclosures);
}

}  // namespace

bool page3_3_has_action(const char* url) { return find_action(url) != nullptr; }

int handle_page3_2(DaemonContext* context, PageBuilder* page, const PageRequest& request) {
    return answer(context, page, request, false);
}

int handle_page3_3(DaemonContext* context, PageBuilder* page, const PageRequest& request) {
    return answer(context, page, request, true);
}
