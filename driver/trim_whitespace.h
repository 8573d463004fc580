// Cleaning texts read from controller firmware.
#pragma once

// Removes leading and trailing blanks, tabs and newlines from a
// NUL-terminated text, in place; the bytes freed up to the text's old end
// become NUL. 1 for a null text, otherwise the number of characters removed.
int trim_whitespace(char* text);
