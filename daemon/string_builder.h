#pragma once

// The daemon's text type: an owned, always NUL-terminated character text that
// is built by chained appends (text, number, text, ...).
class StringBuilder {
public:
    StringBuilder();
    ~StringBuilder();
    StringBuilder(const StringBuilder&) = delete;
    StringBuilder& operator=(const StringBuilder&) = delete;

    // Empties the text.
    void clear();
    // Lengthens the text by n characters; the caller then writes those n
    // characters after the old text (the terminating NUL is already placed).
    void grow(unsigned n);
    // Appends s; a null or empty s changes nothing.
    StringBuilder& append(const char* s);
    // Appends v in decimal ("%d").
    StringBuilder& append_int(int v);

    const char* c_str() const { return text_; }
    int length() const { return length_; }

private:
    char* text_;
    int length_;
    int capacity_;  // bytes allocated for text_, terminator included
};
