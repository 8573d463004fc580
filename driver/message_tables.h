// The built-in English texts of the message catalogue: one table per
// category, each an array of rows searched in order and ended by a row with
// code -1 and an empty text.
#pragma once

#include <cstdint>

struct MessageRow {
    int32_t code;
    const char* text;
};

extern const MessageRow kEventSourceNames[];          // category 1
extern const char* const kSeverityNames[5];           // category 2, by code
extern const MessageRow kSeriesControllerStatus[];    // category 3
extern const MessageRow kSeriesEventTexts[];          // category 4
extern const MessageRow kSeriesDriverStatus[];        // category 6
extern const MessageRow kApiErrors[];                 // category 11
extern const MessageRow kDaemonErrors[];              // category 12
extern const MessageRow kToolErrors[];                // category 13
extern const MessageRow kLegacyControllerStatus[];    // category 14
extern const MessageRow kLegacyEventTexts[];          // category 15
extern const MessageRow kLegacyDriverStatus[];        // category 17
extern const MessageRow kWebTexts[];                  // category 19

// The row table of a category, or null for a category without one
// (including 2 and 9, which are not row tables).
const MessageRow* message_table(int32_t category);
