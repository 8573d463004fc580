#include "daemon/alert_mail.h"

#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <cstring>
#include <ctime>
#include <mutex>
#include <new>

#include "daemon/config_store.h"
#include "daemon/date_formatter.h"
#include "daemon/event_log.h"
#include "daemon/mail_sender.h"
#include "daemon/monitor_threads.h"
#include "daemon/string_builder.h"

namespace {

struct Filter {
    const char* prefix;
    int held_back_below;  // held back when EmailSeverity is 1 .. this value
};

// By severity 0 (any other value), 1 error, 2 warning, 3 information.
const Filter kFilters[] = {
    {"UNKNOWN - ", 0},
    {"ERROR - ", 0},
    {"WARNING - ", 1},
    {"INFORMATION - ", 2},
};

// How long stop() waits for the thread: the mail under way is cut short,
// but a host name lookup cannot be.
constexpr auto kStopGrace = std::chrono::seconds(5);

}  // namespace

struct AlertMailer::Shared {
    explicit Shared(ConfigStore* c) : config(c) {
        if (pipe2(abort, O_CLOEXEC | O_NONBLOCK) != 0) abort[0] = abort[1] = -1;
    }
    ~Shared() {
        for (int fd : abort)
            if (fd >= 0) close(fd);
    }
    std::mutex lock;
    std::condition_variable wake;
    std::condition_variable done;
    StringBuilder queue[kQueueRoom];
    int first = 0;
    int count = 0;
    bool stopping = false;
    bool finished = false;
    ConfigStore* config;
    // Readable once the mailer stops: the mail under way ends at its next
    // wait for the server.
    int abort[2];
    pthread_t thread{};
};

namespace {

void* mailer_thread(void* argument) {
    // The thread's own hold on the state, which outlives the mailer when a
    // mail is still being sent as it stops.
    std::shared_ptr<AlertMailer::Shared>* held =
        static_cast<std::shared_ptr<AlertMailer::Shared>*>(argument);
    std::shared_ptr<AlertMailer::Shared> shared = *held;
    delete held;
    StringBuilder body;
    for (;;) {
        {
            std::unique_lock<std::mutex> hold(shared->lock);
            shared->wake.wait(hold, [&] { return shared->stopping || shared->count > 0; });
            if (shared->stopping) break;
            StringBuilder& next = shared->queue[shared->first];
            body.clear();
            body.append(next.c_str());
            next.clear();
            shared->first = (shared->first + 1) % AlertMailer::kQueueRoom;
            shared->count--;
        }
        MailSender sender(shared->config);
        sender.set_abort_descriptor(shared->abort[0]);
        // A mail that fails is not sent again: the event stays in the event
        // files, and the next mails go on.
        (void)sender.send_alert(body.c_str());
    }
    std::lock_guard<std::mutex> hold(shared->lock);
    shared->finished = true;
    shared->done.notify_all();
    return nullptr;
}

}  // namespace

int aen_mail_body(int email_severity, const char* formatted_time, int controller_index,
                  const EventRecord& event, StringBuilder& body) {
    const Filter& filter =
        kFilters[event.severity >= 1 && event.severity <= 3 ? event.severity : 0];
    if (email_severity >= 1 && email_severity <= filter.held_back_below) return 1;
    char message[EventRecord::kDescriptionSize + 1];
    size_t n = strnlen(event.description, sizeof event.description);
    for (size_t i = 0; i < n; i++) {
        char c = event.description[i];
        message[i] = c == '\r' || c == '\n' ? ' ' : c;
    }
    message[n] = '\0';
    body.clear();
    body.append(formatted_time).append(" - Controller ").append_int(controller_index);
    body.append("\r\n").append(filter.prefix).append(message);
    return 0;
}

AlertMailer::AlertMailer(ConfigStore* config)
    : shared_(std::make_shared<Shared>(config)), running_(false) {}

AlertMailer::~AlertMailer() { stop(); }

int AlertMailer::start() {
    if (running_) return 0;
    auto* held = new std::shared_ptr<Shared>(shared_);
    if (start_monitor_thread(&shared_->thread, mailer_thread, held) != 0) {
        delete held;
        return 1;
    }
    running_ = true;
    return 0;
}

int AlertMailer::post(const char* body) {
    std::lock_guard<std::mutex> hold(shared_->lock);
    if (!running_ || shared_->stopping || shared_->count == kQueueRoom) return 1;
    StringBuilder& slot = shared_->queue[(shared_->first + shared_->count) % kQueueRoom];
    slot.clear();
    slot.append(body);
    shared_->count++;
    shared_->wake.notify_one();
    return 0;
}

void AlertMailer::stop() {
    if (!running_) return;
    running_ = false;
    bool finished;
    {
        std::unique_lock<std::mutex> hold(shared_->lock);
        shared_->stopping = true;
        shared_->wake.notify_one();
        if (shared_->abort[1] >= 0) {
            char byte = 1;
            ssize_t ignored = write(shared_->abort[1], &byte, 1);
            (void)ignored;
        }
        finished = shared_->done.wait_for(hold, kStopGrace, [&] { return shared_->finished; });
    }
    // A thread still held up (resolving the server's name) is left to end
    // on its own, or with the process.
    if (finished)
        pthread_join(shared_->thread, nullptr);
    else
        pthread_detach(shared_->thread);
}

int send_aen_mail(ConfigStore* config, MessageCatalogue* catalogue, AlertMailer* mailer,
                  int controller_index, const EventRecord& event, int family) {
    DateFormatter dates(config, catalogue);
    char when[DateFormatter::kTextSize];
    dates.format_time(static_cast<time_t>(event.time), when, sizeof when,
                      event_times_in_utc(family) ? 1 : 0);
    StringBuilder body;
    if (aen_mail_body(config->get_email_severity(), when, controller_index, event, body) != 0)
        return kAenMailHeldBack;
    return mailer->post(body.c_str()) == 0 ? kAenMailQueued : kAenMailRefused;
}
