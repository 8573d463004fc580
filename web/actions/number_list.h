// The number lists actions take ("RemoveDrives=3,5,7"): decimal numbers
// separated by ",", each read with atoi and kept as its low 8 bits, with an
// outcome per entry, and the sentences that name the entries of one
// outcome.
#pragma once

#include <cstdint>

class ActionMessage;

// Outcome of one entry.
enum : int {
    kEntryPending = 0,
    kEntryDone = 1,
    kEntryNotDone = 2,  // not done, without a library error
    kEntryFailed = 3,   // the library refused it
};

struct NumberList {
    static constexpr int kRoom = 128;
    int count = 0;
    uint8_t numbers[kRoom] = {};
    int states[kRoom] = {};
    // True when the value held more numbers than the list has room for
    // (the rest are not in the list).
    bool truncated = false;

    // Entries of the given outcome.
    int count_of(int state) const;
};

// Reads a list value: while the text has characters, the number there
// (atoi, low 8 bits; a piece that is no number gives 0), then on behind the
// next ",". An empty text gives an empty list; a trailing "," adds nothing.
void parse_number_list(const char* text, NumberList* list);

// Appends the numbers of the entries in the given outcome, in list order:
// before_first, the first number and after_first, then each further number
// preceded by between. Appends nothing when no entry has that outcome;
// returns the number of entries appended.
int append_numbers(ActionMessage& message, const NumberList& list, int state,
                   const char* before_first, const char* after_first, const char* between);
