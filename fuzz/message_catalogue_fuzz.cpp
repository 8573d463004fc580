// The message-file search over arbitrary file contents. The last input bytes
// choose the category, code and language (English included) looked up; the
// rest is the file, written under both message-file names of that language.
#include "driver/message_catalogue.h"

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "fuzz/fuzz_input.h"
#include "fuzz/fuzz_support.h"

namespace {

// Categories with a message file (library and daemon files), and some without.
const int32_t kCategories[] = {3, 4, 5, 6, 7, 11, 12, 14, 15, 16, 17, 18, 19, 22, 23, 25, 26, 1, 2, 9, 13};
const char* const kLanguageCodes[] = {"en", "de", "ja", "tzh", "szh", "fr", "es", "it"};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzInput input(data, size);
    int32_t category = kCategories[input.integral_in_range<size_t>(0, sizeof kCategories / sizeof kCategories[0] - 1)];
    int32_t code = input.boolean() ? input.integral_in_range<int32_t>(0, 0xFFFF) : input.integral<int32_t>();
    uint8_t language = input.integral_in_range<uint8_t>(0, 8);  // 0 English, 8 beyond the table
    std::string file = input.remaining_string();

    const uint8_t* bytes = reinterpret_cast<const uint8_t*>(file.data());
    if (language < 8) {
        fuzz_write_file((std::string("kq_msg_") + kLanguageCodes[language]).c_str(), bytes, file.size());
        fuzz_write_file((std::string("wox_msg_") + kLanguageCodes[language]).c_str(), bytes, file.size());
    }
    const char* dir = fuzz_temp_dir().c_str();

    // The line buffer is exactly the 1024 bytes the interface names.
    std::unique_ptr<char[]> line(new char[1024]);
    char* bare = MessageCatalogue::lookup_file(line.get(), category, code, dir, language);
    FUZZ_CHECK(bare == line.get());
    size_t bare_length = strnlen(bare, 1024);
    FUZZ_CHECK(bare_length < 1024);
    std::string bare_text(bare, bare_length);

    MessageCatalogue catalogue;
    const char* text = catalogue.lookup(category, code, dir, language);
    FUZZ_CHECK(text != nullptr);
    if (language == 0) {
        // English comes from the built-in tables, whatever its file holds.
        MessageCatalogue builtin;
        FUZZ_CHECK(std::string(text) == builtin.lookup(category, code, "/nonexistent", 0));
        return 0;
    }
    // A text from the file comes back whole in the catalogue's form.
    if (!bare_text.empty() && category != 15 && category != 19) {
        char head[64];
        std::snprintf(head, sizeof head, "(0x%02X:0x%04X): ", static_cast<unsigned>(category),
                      static_cast<unsigned>(code));
        FUZZ_CHECK(std::string(head) + bare_text == text);
    }
    if (!bare_text.empty() && category == 19)
        FUZZ_CHECK(bare_text == text);
    return 0;
}
