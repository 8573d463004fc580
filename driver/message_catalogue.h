// Texts by (category, code, message directory, language): message files of
// the language first, then the built-in English tables.
#pragma once

#include <atomic>
#include <cstdint>

class MessageCatalogue {
public:
    MessageCatalogue();
    ~MessageCatalogue();
    MessageCatalogue(const MessageCatalogue&) = delete;
    MessageCatalogue& operator=(const MessageCatalogue&) = delete;

    // The formatted text, or "" when there is none. The text stays valid for
    // at least the next nine lookups on this catalogue.
    const char* lookup(int32_t category, int32_t code, const char* message_dir, uint8_t language);
    // The bare built-in English text, or "".
    static const char* lookup_builtin(int32_t category, int32_t code);
    // The bare text of the language's message file copied into line (1024
    // bytes), or "" in line.
    static char* lookup_file(char* line, int32_t category, int32_t code, const char* message_dir,
                             uint8_t language);

private:
    std::atomic<uint8_t> busy_;
    char* ring_[10];
    uint8_t ring_position_;
};

// The library's own catalogue: one per thread, built at the thread's first
// lookup, so a text handed to one thread is never freed by another's lookups.
MessageCatalogue& library_catalogue();
