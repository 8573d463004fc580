// Query-parameter lookup and URL decoding over arbitrary texts. Buffers are
// allocated at exactly the size the caller names, so any write beyond it is
// seen by AddressSanitizer.
#include "daemon/query_params.h"

#include <cstring>
#include <memory>
#include <string>

#include "fuzz/fuzz_input.h"
#include "fuzz/fuzz_support.h"

namespace {

const char* const kKeys[] = {"&c=", "?c=", "&pwd=", "&Oldpwd=", "&subject=", "&image=", "&", "=", ""};

std::string hex_encode(const std::string& s)
{
    static const char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : s) {
        out += '%';
        out += kHex[c >> 4];
        out += kHex[c & 15];
    }
    return out;
}

void check_get_parameter(const std::string& text, const std::string& key, int size)
{
    std::unique_ptr<char[]> out(new char[size > 0 ? size : 1]);
    char* r = QueryParams::get_parameter(text.c_str(), key.c_str(), out.get(), size);
    bool present = size >= 1 && std::strstr(text.c_str(), key.c_str()) != nullptr;
    FUZZ_CHECK((r != nullptr) == present);
    if (r == nullptr)
        return;
    FUZZ_CHECK(r == out.get());
    size_t length = std::strlen(r);
    FUZZ_CHECK(length <= static_cast<size_t>(size - 1));
    // Without decoding, the value is a copy of the text behind the key.
    if (key.find("pwd") == std::string::npos) {
        const char* behind = std::strstr(text.c_str(), key.c_str()) + key.size();
        FUZZ_CHECK(std::strncmp(r, behind, length) == 0);
        FUZZ_CHECK(std::strpbrk(r, "&\r\n") == nullptr);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzInput input(data, size);
    int size_arg = input.integral_in_range<int>(-1, 80);
    uint8_t key_choice = input.integral<uint8_t>();
    std::string own_key = input.random_length_string(12);
    std::string text = input.remaining_string();
    std::string c_text(text.c_str());  // the text as the code sees it

    const char* key = key_choice < sizeof kKeys / sizeof kKeys[0] ? kKeys[key_choice] : own_key.c_str();
    check_get_parameter(c_text, key, size_arg);

    // The shared getters only read; their documented floors hold.
    QueryParams::get_param_c(c_text.c_str());
    FUZZ_CHECK(QueryParams::get_param_avail_list_sort(c_text.c_str()) >= 1);
    QueryParams::get_param_e(c_text.c_str());
    QueryParams::get_param_slot(c_text.c_str());
    QueryParams::get_param_f(c_text.c_str());
    QueryParams::get_param_a(c_text.c_str());
    QueryParams::get_param_ps(c_text.c_str());
    QueryParams::get_param_u(c_text.c_str());
    QueryParams::get_param_d(c_text.c_str());
    QueryParams::get_param_y(c_text.c_str());
    int image_size = size_arg < 0 ? 0 : size_arg;
    std::unique_ptr<char[]> image(new char[image_size > 0 ? image_size : 1]);
    if (QueryParams::get_param_image(c_text.c_str(), image.get(), image_size) == 1)
        FUZZ_CHECK(std::strlen(image.get()) + 2 <= static_cast<size_t>(image_size));

    // Decoding in place never lengthens the text; a text without '%' only
    // has its '+' turned into blanks; every byte written as "%XX" comes back.
    std::unique_ptr<char[]> decoded(new char[c_text.size() + 1]);
    std::memcpy(decoded.get(), c_text.c_str(), c_text.size() + 1);
    FUZZ_CHECK(QueryParams::url_decode(decoded.get()) == decoded.get());
    FUZZ_CHECK(std::strlen(decoded.get()) <= c_text.size());
    if (c_text.find('%') == std::string::npos) {
        std::string expected = c_text;
        for (char& c : expected)
            if (c == '+')
                c = ' ';
        FUZZ_CHECK(expected == decoded.get());
    }
    std::string encoded = hex_encode(c_text);
    std::unique_ptr<char[]> round(new char[encoded.size() + 1]);
    std::memcpy(round.get(), encoded.c_str(), encoded.size() + 1);
    QueryParams::url_decode(round.get());
    FUZZ_CHECK(c_text == round.get());
    return 0;
}
