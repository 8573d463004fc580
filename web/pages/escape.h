// Escaping of values written into pages. Every value that does not come from
// the message catalogue (names and texts read from controllers, drives and
// enclosures, library error texts, mail settings, request headers, uploaded
// file contents) goes through one of these for the place it is written to.
#pragma once

class StringBuilder;

// HTML text or a double- or single-quoted attribute value: & < > " ' become
// character references. A null s appends nothing.
StringBuilder& append_html(StringBuilder& out, const char* s);

// The inside of a double-quoted JavaScript string literal holding s as text:
// backslash, both quotes, < and > (so no "</script>" or "<!--" can form),
// line breaks, other control characters and U+2028/U+2029 are escaped.
StringBuilder& append_js_string(StringBuilder& out, const char* s);

// As append_js_string, but each CR and LF becomes a blank: for messages that
// are shown on one line.
StringBuilder& append_js_string_one_line(StringBuilder& out, const char* s);

// A catalogue text inside a double-quoted JavaScript string literal. The
// catalogue's own escapes (the two characters '\' 'n' meant as a line break
// in a dialog, and \r \t \b \f \v \\ \" \') are kept as they stand; any other
// backslash is escaped, as are double quotes, < and >, line breaks and
// control characters, so the literal always stays well formed.
StringBuilder& append_js_catalogue(StringBuilder& out, const char* s);
