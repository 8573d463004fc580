#include "daemon/monitor.h"

#include <fcntl.h>
#include <poll.h>
#include <syslog.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>

#include "api/ctl.h"
#include "daemon/alert_mail.h"
#include "daemon/byte_buffer.h"
#include "daemon/config_store.h"
#include "daemon/enclosure_monitor.h"
#include "daemon/event_log.h"
#include "daemon/monitor_log.h"
#include "daemon/monitor_threads.h"
#include "daemon/monotonic_clock.h"
#include "daemon/string_builder.h"
#include "daemon/temp_files.h"
#include "driver/message_catalogue.h"
#include "platform/platform.h"

namespace {

constexpr int kSerialSize = 32;

// The identity of the controller at a position, as the event files name it.
struct ControllerIdentity {
    uint8_t index;
    int32_t family;
    char serial[kSerialSize];
};

// False when the controller could not tell its family or serial number (a
// busy or absent controller): its events would be filed under the wrong
// name, so they wait in its queue for a later pass.
bool identify(ObjectId id, ControllerIdentity* out) {
    out->index = 0;
    out->family = 0;
    std::memset(out->serial, 0, sizeof out->serial);
    ctl_parse_controller_id(id, &out->index);
    const bool known = ctl_get_controller_family(id, &out->family) == 0 &&
                       ctl_get_serial_number(id, out->serial) == 0;
    out->serial[kSerialSize - 1] = '\0';
    return known;
}

// a comes after b in the controllers' numbering, which wraps.
bool after(uint32_t a, uint32_t b) { return static_cast<int32_t>(a - b) > 0; }

// When a second-series controller has no event after the last one read, its
// queue may have moved past it: the ring wrote over the events that followed
// it (more arrived between two passes than the ring holds), or the
// controller numbers its events afresh (after a reset). Then the oldest
// event queued is the next to read; true with it in event.
bool queue_moved_on(ObjectId id, uint32_t last, EventRecord* event) {
    EventRecord newest;
    std::memset(&newest, 0, sizeof newest);
    if (ctl_get_last_aen(id, &newest) != 0 || newest.code == 0 || newest.sequence == last)
        return false;
    std::memset(event, 0, sizeof *event);
    if (ctl_get_first_aen(id, event) != 0 || event->code == 0) return false;
    const bool overwritten = after(event->sequence, last + 1);
    const bool renumbered = after(last, newest.sequence);
    return overwritten || renumbered;
}

// Marks the controller at a position for the enclosure step when the
// event changed its enclosures.
int note_enclosure_change(MonitorState& state, int position, const EventRecord& event) {
    if (state.baseline_ready != 1) return 0;
    if (event.code != kEventControllerReset && event.code != kEventEnclosureRemoved &&
        event.code != kEventEnclosureAdded)
        return 0;
    state.enclosure_changed[position] = 1;
    return 1;
}

// A pass stores the events it read from a controller when it is done with
// the controller, or after this many (more than the event files keep).
constexpr int kEventsPerWrite = 1024;

// Stores the events a pass read from a controller (whole EventRecords one
// after another in pending, in the order read; pending is emptied): each
// put first in the controller's event files in memory, each file written
// once, and then the alert mails of the events that the text file took.
void store_events(MonitorState& state, const ControllerIdentity& who, ByteBuffer& pending) {
    const int count = pending.length() / static_cast<int>(sizeof(EventRecord));
    if (count == 0) return;
    uint8_t mail[kEventsPerWrite] = {};
    {
        std::lock_guard<std::mutex> hold(event_file_lock());
        EventFiles files;
        read_event_files(state.event_dir, who.serial, files);
        for (int k = 0; k < count; k++) {
            EventRecord event;
            std::memcpy(&event, pending.data() + k * sizeof event, sizeof event);
            if (append_aen_binary_log(files, who.index, event, who.family) == 0) usleep(10);
            if (event.severity != kSeverityBinaryOnly)
                mail[k] = append_aen_text_log(files, event, who.family) == 0;
        }
        // A text file that could not be written mails nothing: the mails
        // are of events stored.
        if ((write_event_files(state.event_dir, who.serial, files) & kTextNotWritten) != 0)
            std::memset(mail, 0, sizeof mail);
    }
    for (int k = 0; k < count; k++) {
        if (mail[k] == 0 || state.config->get_email_enable() != 1) continue;
        EventRecord event;
        std::memcpy(&event, pending.data() + k * sizeof event, sizeof event);
        if (send_aen_mail(state.config, state.catalogue, state.mailer, who.index, event,
                          who.family) == kAenMailRefused)
            state.mails_dropped++;
    }
    pending.clear();
}

// The warning of a pass whose alert mails the mailer refused.
void report_dropped_mails(MonitorState& state) {
    if (state.mails_dropped == 0) return;
    char line[128];
    std::snprintf(line, sizeof line,
                  "MAIL: %u alert mail(s) dropped: the mail queue was full or the mailer not "
                  "running.\n",
                  state.mails_dropped);
    write_monitor_log(LOG_WARNING, line);
    state.mails_dropped = 0;
}

// Reads the new events of the controller at position i into pending (the
// events to store), storing them whenever kEventsPerWrite have come. False
// when control stopped the pass.
bool read_events(MonitorState& state, const MonitorControl* control, int i,
                 const ControllerIdentity& who, ByteBuffer& pending, int& changed) {
    const ObjectId id = state.controllers.ids[i];
    for (;;) {
        if (control != nullptr && control->stop_requested()) return false;
        EventRecord event;
        std::memset(&event, 0, sizeof event);
        int result;
        if (state.first_read[i] != 0) {
            result = ctl_get_first_aen(id, &event);
            if (result == 0 && event.code != 0) state.first_read[i] = 0;
        } else {
            result = ctl_get_next_aen(id, state.last_sequence[i], &event);
            if (result == 0 && event.code == 0 && who.family > kLastFirstSeriesFamily &&
                !queue_moved_on(id, state.last_sequence[i], &event))
                return true;
        }
        if (result != 0 || event.code == 0) return true;
        state.last_sequence[i] = event.sequence;
        if (event.code != kEventTimeSync) {
            // The first series' events carry no time of their own.
            if (who.family <= kLastFirstSeriesFamily)
                event.time = static_cast<uint32_t>(platform::time_now());
            pending.append(reinterpret_cast<const unsigned char*>(&event), sizeof event);
            if (pending.length() == kEventsPerWrite * static_cast<int>(sizeof event))
                store_events(state, who, pending);
        }
        if (event.code != kEventTimeSync && event.severity != kSeverityBinaryOnly &&
            note_enclosure_change(state, i, event) != 0)
            changed = 1;
    }
}

// The event files a rewrite was writing when the daemon was killed.
void remove_interrupted_writes(const MonitorState& state) {
    for (uint32_t i = 0; i < state.controllers.count; i++) {
        ControllerIdentity who;
        if (!identify(state.controllers.ids[i], &who)) continue;
        StringBuilder path;
        for (const char* suffix : {".bin", ".txt"}) {
            event_file_path(state.event_dir, who.serial, suffix, path);
            remove_stale_temps(path.c_str());
        }
    }
}

void* monitor_thread(void* argument) {
    MonitorThread* owner = static_cast<MonitorThread*>(argument);
    monitor_main(owner->config(), owner->control());
    return nullptr;
}

}  // namespace

MonitorControl::MonitorControl(int also_watch)
    : stop_(false), wake_{-1, -1}, also_watch_(also_watch) {
    if (pipe2(wake_, O_CLOEXEC | O_NONBLOCK) != 0) wake_[0] = wake_[1] = -1;
}

MonitorControl::~MonitorControl() {
    for (int fd : wake_)
        if (fd >= 0) close(fd);
}

void MonitorControl::request_stop() {
    stop_.store(true);
    if (wake_[1] >= 0) {
        char byte = 1;
        ssize_t ignored = write(wake_[1], &byte, 1);
        (void)ignored;
    }
}

bool MonitorControl::stop_requested() const {
    if (stop_.load()) return true;
    if (also_watch_ < 0) return false;
    pollfd fd = {also_watch_, POLLIN, 0};
    return poll(&fd, 1, 0) == 1;
}

bool MonitorControl::pause(unsigned long long microseconds) const {
    const unsigned long long real_ms = (platform::wait_length(microseconds) + 999) / 1000;
    const long long end = monotonic_ms() + static_cast<long long>(real_ms);
    pollfd fds[2] = {{wake_[0], POLLIN, 0}, {also_watch_, POLLIN, 0}};
    for (;;) {
        if (stop_requested()) return true;
        const long long left = end - monotonic_ms();
        if (left <= 0) return false;
        // Woken, interrupted or timed out: the stop flag and the clock decide.
        if (poll(fds, 2, left > INT_MAX ? INT_MAX : static_cast<int>(left)) < 0 && errno != EINTR)
            return stop_requested();
    }
}

int poll_aens(MonitorState& state, const MonitorControl* control) {
    int changed = 0;
    const int count = static_cast<int>(state.controllers.count);
    for (int i = 0; i < count && i < kMonitorControllers; i++) {
        ControllerIdentity who;
        if (!identify(state.controllers.ids[i], &who)) continue;
        ByteBuffer pending;
        const bool go_on = read_events(state, control, i, who, pending, changed);
        // Also what a stop cut short: those events are read.
        store_events(state, who, pending);
        if (!go_on) break;
    }
    report_dropped_mails(state);
    return changed;
}

int monitor_main(ConfigStore* config, MonitorControl* control) {
    // Texts this thread looks up are its own: the web server's lookups in
    // the daemon's catalogue never free them.
    MessageCatalogue catalogue;
    AlertMailer mailer(config);
    mailer.start();

    MonitorState* state = new MonitorState;
    std::memset(state, 0, sizeof *state);
    state->config = config;
    state->event_dir = config->get_aen_log_dir();
    state->catalogue = &catalogue;
    state->mailer = &mailer;
    state->controllers.count = 0;
    if (ctl_list_controllers(&state->controllers) != 0 ||
        state->controllers.count > static_cast<uint32_t>(kMonitorControllers))
        state->controllers.count = 0;
    // The baselines are built whatever EnclosureMonitor says; the step
    // below does nothing while monitoring is off.
    EnclosureWatch enclosures;
    enclosures.start(config, state->controllers, state->enclosure_changed);
    for (int i = 0; i < kMonitorControllers; i++) state->first_read[i] = 1;
    remove_interrupted_writes(*state);

    while (!control->stop_requested()) {
        poll_aens(*state, control);
        // A stop asked for during the pass starts no enclosure check.
        if (control->stop_requested()) break;
        enclosures.step(config, state->controllers, state->enclosure_changed,
                        &state->baseline_ready);
        control->pause(kMonitorPassMicroseconds);
    }
    delete state;
    mailer.stop();
    return 0;
}

MonitorThread::MonitorThread(ConfigStore* config)
    : thread_(), started_(false), config_(config), control_() {}

MonitorThread::~MonitorThread() { stop(); }

int MonitorThread::start() {
    if (started_) return 0;
    if (start_monitor_thread(&thread_, monitor_thread, this) != 0) return 1;
    started_ = true;
    return 0;
}

int MonitorThread::stop() {
    if (!started_) return 0;
    started_ = false;
    control_.request_stop();
    return pthread_join(thread_, nullptr);
}
