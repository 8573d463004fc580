#pragma once

// Standard Base64 ("A"-"Z", "a"-"z", "0"-"9", "+", "/", "=" padding), no line
// breaks.

// The number of characters base64_encode writes for count bytes, NUL excluded.
constexpr int base64_encoded_length(int count)
{
    return (count + 2) / 3 * 4;
}

// Writes the Base64 text of count bytes and a NUL to output, which holds at
// least base64_encoded_length(count) + 1 characters. Returns the text length.
int base64_encode(const unsigned char* bytes, int count, char* output);

// Decodes text up to its first character outside the alphabet or its "="
// padding; a single character left over at the end gives no byte. output
// holds at least strlen(text) / 4 * 3 + 2 bytes. Stores the number of bytes
// produced in *out_count and returns it.
int base64_decode(const char* text, unsigned char* output, int* out_count);
