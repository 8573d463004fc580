#include "daemon/date_formatter.h"

#include <cstdio>
#include <cstring>

#include "daemon/config_store.h"
#include "daemon/language.h"
#include "driver/message_catalogue.h"

namespace {

constexpr int kFirstWeekdayCode = 310;  // "Sunday"
constexpr int kFirstMonthCode = 350;    // "Jan"
constexpr int kWeekdays = 7;
constexpr int kWebTexts = 19;

// Copies s into a slot of size bytes; a longer name is cut before a whole
// UTF-8 character, never inside one.
void copy_name(char* slot, int size, const char* s) {
    int n = static_cast<int>(strlen(s));
    if (n > size - 1) {
        n = size - 1;
        while (n > 0 && (static_cast<unsigned char>(s[n]) & 0xC0) == 0x80) --n;
    }
    memcpy(slot, s, n);
    slot[n] = '\0';
}

}  // namespace

DateFormatter::DateFormatter(ConfigStore* config, MessageCatalogue* catalogue)
    : now_(0), now_tm_(), config_(config), catalogue_(catalogue) {
    text_[0] = '\0';
    const uint8_t language = checked_language(config_->get_language());
    for (int i = 0; i < kNameCount; ++i) {
        int code = i < kWeekdays ? kFirstWeekdayCode + i : kFirstMonthCode + (i - kWeekdays);
        const char* name = catalogue_->lookup(kWebTexts, code, config_->get_msg_path(), language);
        copy_name(names_[i], kNameSize, name);
        name_table_[i] = names_[i];
    }
}

void DateFormatter::update_now() {
    now_ = time(nullptr);
    localtime_r(&now_, &now_tm_);
}

void DateFormatter::format(const struct tm& tm, bool with_weekday, char* out, int size) const {
    if (config_->get_language() == kLanguageGerman) {
        // Out-of-range fields from a broken-down time never index the table.
        const int month = tm.tm_mon >= 0 && tm.tm_mon < 12 ? tm.tm_mon : 0;
        const int weekday = tm.tm_wday >= 0 && tm.tm_wday < kWeekdays ? tm.tm_wday : 0;
        const char* month_name = name_table_[kWeekdays + month];
        if (with_weekday)
            snprintf(out, size, "%s, %02d.%s %04d, %02d:%02d:%02d Uhr", name_table_[weekday],
                     tm.tm_mday, month_name, tm.tm_year + 1900, tm.tm_hour, tm.tm_min, tm.tm_sec);
        else
            snprintf(out, size, "%02d.%s %04d, %02d:%02d.%02dUhr", tm.tm_mday, month_name,
                     tm.tm_year + 1900, tm.tm_hour, tm.tm_min, tm.tm_sec);
        return;
    }
    const char* form = with_weekday ? "%a, %b %d, %Y %I:%M:%S%p" : "%b %d, %Y %I:%M:%S%p";
    if (strftime(out, size, form, &tm) == 0) out[0] = '\0';
}

char* DateFormatter::format_time(time_t t, char* out, int size, int utc) {
    if (out == nullptr || size < 1) return out;
    struct tm tm;
    if ((utc ? gmtime_r(&t, &tm) : localtime_r(&t, &tm)) == nullptr) {
        out[0] = '\0';
        return out;
    }
    format(tm, false, out, size);
    return out;
}

const char* DateFormatter::format_now() {
    update_now();
    format(now_tm_, true, text_, kTextSize);
    return text_;
}
