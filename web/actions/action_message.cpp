#include "web/actions/action_message.h"

#include <cstring>

#include "api/ctl.h"
#include "daemon/config_store.h"
#include "daemon/daemon_context.h"
#include "daemon/language.h"
#include "driver/error_record.h"
#include "web/pages/escape.h"
#include "web/pages/page_builder.h"

namespace {

constexpr int kWebTexts = 19;
constexpr int kDaemonTexts = 12;
constexpr int kNotAdministrator = 17;

}  // namespace

void library_error_text(DaemonContext* context, char (&out)[256]) {
    ConfigStore* config = context->config();
    ErrorRecord record;
    std::memset(&record, 0, sizeof record);
    ctl_get_last_error_localized(&record, checked_language(config->get_language()),
                                 config->get_msg_path());
    const size_t n = strnlen(record.text, sizeof out - 1);
    std::memcpy(out, record.text, n);
    out[n] = '\0';
}

ActionMessage::ActionMessage(DaemonContext* context) : context_(context) {}

ActionMessage& ActionMessage::text(const char* trusted) {
    text_.append(trusted);
    return *this;
}

ActionMessage& ActionMessage::web(int code) { return text(context_->message(kWebTexts, code)); }

ActionMessage& ActionMessage::daemon(int code) {
    return text(context_->message(kDaemonTexts, code));
}

ActionMessage& ActionMessage::value(const char* untrusted) {
    append_html(text_, untrusted);
    return *this;
}

ActionMessage& ActionMessage::number(int n) {
    text_.append_int(n);
    return *this;
}

ActionMessage& ActionMessage::error() {
    char error_text[256];
    library_error_text(context_, error_text);
    return value(error_text);
}

ActionMessage& ActionMessage::failure(int code) { return error().text(" : ").web(code); }

ActionMessage& ActionMessage::refusal(const char* separator) {
    return daemon(kNotAdministrator).text(separator);
}

int ActionMessage::redirect(PageBuilder* page, const char* target, int code) const {
    return page->write_redirect(target, text_.c_str(), code);
}
