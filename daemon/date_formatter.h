// Times as the pages and the alert mails show them: German (language 1) in a
// day-first form with the catalogue's weekday and month names, every other
// language in a fixed English month-first form with a 12-hour clock.
#pragma once

#include <ctime>

class ConfigStore;
class MessageCatalogue;

class DateFormatter {
public:
    // Room for any text the formatter writes.
    static constexpr int kTextSize = 128;

    // Looks up the seven weekday names and twelve month names once, in the
    // language configured now; the language of each later call decides the
    // form.
    DateFormatter(ConfigStore* config, MessageCatalogue* catalogue);
    DateFormatter(const DateFormatter&) = delete;
    DateFormatter& operator=(const DateFormatter&) = delete;

    // now := the current time, broken down as local time.
    void update_now();
    // Writes t (seconds since 1970), broken down as UTC when utc is non-zero
    // and as local time otherwise, into out (size bytes) and returns out.
    char* format_time(time_t t, char* out, int size, int utc);
    // The current local time with its weekday, in the formatter's own text.
    const char* format_now();

private:
    static constexpr int kNameCount = 19;   // weekdays 0..6, months 7..18
    static constexpr int kNameSize = 32;

    // Writes the broken-down time tm in the configured language's form.
    void format(const struct tm& tm, bool with_weekday, char* out, int size) const;

    time_t now_;
    struct tm now_tm_;
    char text_[kTextSize];
    ConfigStore* config_;
    MessageCatalogue* catalogue_;
    char names_[kNameCount][kNameSize];
    const char* name_table_[kNameCount];
};
