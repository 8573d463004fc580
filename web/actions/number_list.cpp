#include "web/actions/number_list.h"

#include <cstdlib>
#include <cstring>

#include "web/actions/action_message.h"

int NumberList::count_of(int state) const {
    int n = 0;
    for (int i = 0; i < count; ++i)
        if (states[i] == state) ++n;
    return n;
}

void parse_number_list(const char* text, NumberList* list) {
    list->count = 0;
    list->truncated = false;
    if (text == nullptr) return;
    const char* p = text;
    while (*p != '\0') {
        if (list->count == NumberList::kRoom) {
            list->truncated = true;
            return;
        }
        list->numbers[list->count] = static_cast<uint8_t>(std::atoi(p) & 0xFF);
        list->states[list->count] = kEntryPending;
        ++list->count;
        const char* comma = std::strchr(p, ',');
        if (comma == nullptr) return;
        p = comma + 1;
    }
}

int append_numbers(ActionMessage& message, const NumberList& list, int state,
                   const char* before_first, const char* after_first, const char* between) {
    int appended = 0;
    for (int i = 0; i < list.count; ++i) {
        if (list.states[i] != state) continue;
        if (appended == 0)
            message.text(before_first).number(list.numbers[i]).text(after_first);
        else
            message.text(between).number(list.numbers[i]);
        ++appended;
    }
    return appended;
}
