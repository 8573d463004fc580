#include "daemon/base64.h"

namespace {

const char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

int sextet(char c)
{
    if (c >= 'A' && c <= 'Z')
        return c - 'A';
    if (c >= 'a' && c <= 'z')
        return c - 'a' + 26;
    if (c >= '0' && c <= '9')
        return c - '0' + 52;
    if (c == '+')
        return 62;
    if (c == '/')
        return 63;
    return -1;
}

}  // namespace

int base64_encode(const unsigned char* bytes, int count, char* output)
{
    int out = 0;
    for (int i = 0; i < count; i += 3) {
        int left = count - i;
        unsigned v = static_cast<unsigned>(bytes[i]) << 16;
        if (left > 1)
            v |= static_cast<unsigned>(bytes[i + 1]) << 8;
        if (left > 2)
            v |= bytes[i + 2];
        output[out++] = kAlphabet[(v >> 18) & 63];
        output[out++] = kAlphabet[(v >> 12) & 63];
        output[out++] = left > 1 ? kAlphabet[(v >> 6) & 63] : '=';
        output[out++] = left > 2 ? kAlphabet[v & 63] : '=';
    }
    output[out] = '\0';
    return out;
}

int base64_decode(const char* text, unsigned char* output, int* out_count)
{
    int produced = 0;
    unsigned acc = 0;
    int held = 0;  // sextets in acc
    for (const char* p = text; *p != '\0'; p++) {
        int s = sextet(*p);
        if (s < 0)
            break;  // "=" padding or a character outside the alphabet
        acc = (acc << 6) | static_cast<unsigned>(s);
        held++;
        if (held == 4) {
            output[produced++] = static_cast<unsigned char>(acc >> 16);
            output[produced++] = static_cast<unsigned char>(acc >> 8);
            output[produced++] = static_cast<unsigned char>(acc);
            acc = 0;
            held = 0;
        }
    }
    if (held == 2) {
        output[produced++] = static_cast<unsigned char>(acc >> 4);
    } else if (held == 3) {
        output[produced++] = static_cast<unsigned char>(acc >> 10);
        output[produced++] = static_cast<unsigned char>(acc >> 2);
    }
    *out_count = produced;
    return produced;
}
