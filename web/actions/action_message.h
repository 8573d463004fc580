// The message an action reports on its redirect page. The message is HTML
// shown in the menu's banner: catalogue texts and the handlers' fixed texts
// go in as they stand, every other text (the library's error text, values
// as the request gave them, decoded free texts) is HTML-escaped here.
#pragma once

#include "daemon/string_builder.h"

class DaemonContext;
class PageBuilder;

// Separators between the administrator refusal (12:17) and an action's text.
inline constexpr const char* kRefusalColon = " : ";
inline constexpr const char* kRefusalStop = ".  ";
inline constexpr const char* kRefusalJoined = "";

// The library's last-error text in the configured language and message
// directory, at most 255 characters; read it straight after the failed call.
void library_error_text(DaemonContext* context, char (&out)[256]);

class ActionMessage {
  public:
    explicit ActionMessage(DaemonContext* context);
    ActionMessage(const ActionMessage&) = delete;
    ActionMessage& operator=(const ActionMessage&) = delete;

    // A catalogue text or a fixed text of the handler, as it stands.
    ActionMessage& text(const char* trusted);
    // Catalogue texts in the configured language: 19:code (bare) and 12:code
    // (with its "(0x0C:0x00NN): " prefix).
    ActionMessage& web(int code);
    ActionMessage& daemon(int code);
    // Any other text (a value as the request gave it, a decoded name),
    // HTML-escaped.
    ActionMessage& value(const char* untrusted);
    ActionMessage& number(int n);
    // The library's error text (library_error_text), escaped.
    ActionMessage& error();
    // A change the library refused: the error text, " : " and 19:code.
    ActionMessage& failure(int code);
    // The administrator refusal: 12:17 and the separator; the handler then
    // appends the action's own text.
    ActionMessage& refusal(const char* separator);

    bool empty() const { return text_.length() == 0; }
    const char* c_str() const { return text_.c_str(); }
    void clear() { text_.clear(); }

    // Answers the redirect page to target with this message and the code.
    int redirect(PageBuilder* page, const char* target, int code) const;

  private:
    DaemonContext* context_;
    StringBuilder text_;
};
