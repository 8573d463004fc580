// Base64 decoding of arbitrary texts into a buffer of exactly the size the
// interface asks for, and the round trip of arbitrary bytes.
#include "daemon/base64.h"

#include <cstring>
#include <memory>
#include <string>

#include "fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > 1 << 20)
        return 0;
    std::string text(reinterpret_cast<const char*>(data), size);
    const char* c_text = text.c_str();
    size_t room = std::strlen(c_text) / 4 * 3 + 2;
    std::unique_ptr<unsigned char[]> out(new unsigned char[room]);
    int count = -1;
    int r = base64_decode(c_text, out.get(), &count);
    FUZZ_CHECK(r == count);
    FUZZ_CHECK(count >= 0 && static_cast<size_t>(count) <= room);

    // Every byte string comes back from its encoding.
    int n = static_cast<int>(size);
    std::unique_ptr<char[]> encoded(new char[base64_encoded_length(n) + 1]);
    FUZZ_CHECK(base64_encode(data, n, encoded.get()) == base64_encoded_length(n));
    FUZZ_CHECK(std::strlen(encoded.get()) == static_cast<size_t>(base64_encoded_length(n)));
    size_t back_room = static_cast<size_t>(base64_encoded_length(n)) / 4 * 3 + 2;
    std::unique_ptr<unsigned char[]> back(new unsigned char[back_room]);
    int back_count = -1;
    base64_decode(encoded.get(), back.get(), &back_count);
    FUZZ_CHECK(back_count == n);
    FUZZ_CHECK(n == 0 || std::memcmp(back.get(), data, size) == 0);
    return 0;
}
