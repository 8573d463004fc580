// The alert mails of controller events: the severity filter, the mail's
// body, and the mailer that sends them from a thread of its own, so that a
// slow or silent mail server holds up neither the event files nor the next
// events: the monitor only queues each mail.
#pragma once

#include <memory>

#include "api/ctl_types.h"

class ConfigStore;
class MessageCatalogue;
class StringBuilder;

// The body of an event's alert mail under the configured EmailSeverity:
// the formatted time, " - Controller ", the controller index, CR LF, the
// severity's prefix ("ERROR - ", "WARNING - ", "INFORMATION - ",
// "UNKNOWN - ") and the event's message, line breaks written as blanks.
// 0 with body filled; 1 when the filter holds the event back (warnings
// under EmailSeverity 1, information under 1 and 2).
int aen_mail_body(int email_severity, const char* formatted_time, int controller_index,
                  const EventRecord& event, StringBuilder& body);

// Sends queued mails one after another with MailSender, on its own thread.
// A mail that finds the queue full is refused, and mails waiting when the
// mailer stops are not sent (a mail that fails is not sent again either).
class AlertMailer {
  public:
    static constexpr int kQueueRoom = 256;

    explicit AlertMailer(ConfigStore* config);
    // Stops the thread, as stop() does.
    ~AlertMailer();
    AlertMailer(const AlertMailer&) = delete;
    AlertMailer& operator=(const AlertMailer&) = delete;

    // 0 when the thread runs, 1 when it could not be started (then post
    // refuses every mail).
    int start();
    // Queues a mail body; 0 queued, 1 refused (not started, stopped, or the
    // queue full).
    [[nodiscard]] int post(const char* body);
    // Ends the thread: the mail it is sending is cut short at its next wait
    // for the server, and no other is sent.
    void stop();

    struct Shared;

  private:
    std::shared_ptr<Shared> shared_;
    bool running_;
};

// The event's alert mail: formats the event time (UTC for families above 3,
// else local time) in the configured language with the catalogue, applies
// the filter and queues the mail with the mailer. 0 when handed to the
// mailer, 1 when the filter held it back, 2 when the mailer refused it (its
// queue full, or the mailer not running): the mail is then lost.
enum : int { kAenMailQueued = 0, kAenMailHeldBack = 1, kAenMailRefused = 2 };
[[nodiscard]] int send_aen_mail(ConfigStore* config, MessageCatalogue* catalogue, AlertMailer* mailer,
                  int controller_index, const EventRecord& event, int family);
