// The message catalogue: the form of its texts, the ring that keeps them,
// the message files of other languages and the library's per-thread
// catalogue.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "driver/message_catalogue.h"

namespace {

std::string data_dir(const char* name) {
    const char* root = std::getenv("PYV2_TEST_DATA");
    return std::string(root != nullptr ? root : "tests/driver/data") + "/messages/" + name;
}

// A fresh directory under the temporary directory, removed at the end.
class TempDir {
public:
    TempDir() {
        const char* tmp = std::getenv("TMPDIR");
        std::string pattern = std::string(tmp != nullptr && *tmp ? tmp : "/tmp") + "/msgcat_XXXXXX";
        std::vector<char> buffer(pattern.begin(), pattern.end());
        buffer.push_back('\0');
        if (mkdtemp(buffer.data()) != nullptr) path_ = buffer.data();
    }
    ~TempDir() {
        std::error_code ignored;
        if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
    }
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

void write_file(const std::string& path, const char* content) {
    std::FILE* file = std::fopen(path.c_str(), "w");
    ASSERT_NE(file, nullptr) << path;
    std::fputs(content, file);
    std::fclose(file);
}

struct Case {
    const char* dir;  // fixture directory under data/messages, or "" for none
    uint8_t language;
    int32_t category;
    int32_t code;
    const char* text;
};

void expect_lookups(const Case* cases, size_t count) {
    MessageCatalogue catalogue;
    for (size_t i = 0; i < count; ++i) {
        const Case& c = cases[i];
        std::string dir = *c.dir ? data_dir(c.dir) : "";
        EXPECT_STREQ(catalogue.lookup(c.category, c.code, dir.c_str(), c.language), c.text)
            << (*c.dir ? c.dir : "-") << " language " << int(c.language) << " " << c.category << ":"
            << c.code;
    }
}

TEST(MessageCatalogue, FormatsTheBuiltInTexts) {
    const Case cases[] = {
        {"", 0, 11, 2, "(0x0B:0x0002): Feature not supported"},
        {"", 0, 11, 0x0092, "(0x0B:0x0092): Firmware image not found"},
        {"", 0, 3, 0x0100, "(0x03:0x0100): SGL entry contains zero data"},
        {"", 0, 4, 0x8006, "(0x04:0x8006): Enclosure fan off"},
        {"", 0, 6, 0x1003, "(0x06:0x1003): No more events"},
        {"", 0, 2, 3, "(0x02:0x0003): INFO"},
        {"", 0, 1, 0x001A, "(0x01:0x001A): kq"},
        {"", 0, 12, 5, "(0x0C:0x0005): Failed to start listening socket"},
        // Severity digit in front of the prefix.
        {"", 0, 15, 0, "3(0x0F:0x0000): AEN queue empty"},
        {"", 0, 15, 2, "1(0x0F:0x0002): Unit degraded: Unit #"},
        {"", 0, 15, 8, "2(0x0F:0x0008): Unclean shutdown detected: Unit #"},
        // Web texts bare, blanks kept.
        {"", 0, 19, 6, " minute(s)"},
        {"", 0, 19, 4, "Last updated "},
        // Tool texts carry a prefix of their own and get a second one.
        {"", 0, 13, 0x14,
         "(0x0D:0x0014): (0x0D:0x0014): No controller detected.\nMake sure respective device drivers "
         "are loaded."},
        // No text at all: an empty string, never a bare prefix.
        {"", 0, 11, 4, ""},
        {"", 0, 11, 0x0093, ""},
        {"", 0, 11, -1, ""},
        {"", 0, 2, 0, ""},
        {"", 0, 17, 0, ""},
        {"", 0, 19, 0x016C, ""},
        {"", 0, 5, 1, ""},
        {"", 0, 0, 0, ""},
        {"", 0, 27, 2, ""},
        {"", 0, -1, 2, ""},
    };
    expect_lookups(cases, std::size(cases));

    MessageCatalogue catalogue;
    EXPECT_EQ(catalogue.lookup(9, ENOENT, "", 0), "(0x09:0x0002): " + std::string(std::strerror(ENOENT)));
    EXPECT_EQ(catalogue.lookup(9, 123456, "", 0),
              "(0x09:0x1E240): " + std::string(MessageCatalogue::lookup_builtin(9, 123456)));
}

TEST(MessageCatalogue, MessageFilesOfTheLanguageComeFirst) {
    const Case cases[] = {
        {"good", 1, 11, 2, "(0x0B:0x0002): Funktion nicht unterstützt"},
        // Quotes inside the text stay; text after the last quote is dropped.
        {"good", 1, 11, 1, "(0x0B:0x0001): Kein \"Controller\" gefunden"},
        {"good", 1, 11, 8, "(0x0B:0x0008): Ungültige Controller-ID"},
        // Passed over a line too short to hold a text.
        {"good", 1, 11, 0x000A, "(0x0B:0x000A): Ungültige Laufwerks-ID"},
        // No closing quote, an empty text, a line without a text: English.
        {"good", 1, 11, 3, "(0x0B:0x0003): Controller not supported"},
        {"good", 1, 11, 5, "(0x0B:0x0005): Invalid driver control code"},
        {"good", 1, 11, 6, "(0x0B:0x0006): Invalid firmware opcode"},
        // The search ends at the next section's head: a later section of
        // the same category is never read.
        {"good", 1, 11, 9, "(0x0B:0x0009): Invalid unit ID"},
        {"good", 1, 11, 4, ""},
        // Sections of other categories are skipped by their counts.
        {"good", 1, 4, 2, "(0x04:0x0002): Einheit herabgestuft"},
        // Only category 15 moves a leading digit in front.
        {"good", 1, 4, 3, "(0x04:0x0003): 1 Controllerfehler"},
        {"good", 1, 15, 0, "3(0x0F:0x0000): AEN-Warteschlange leer"},
        {"good", 1, 15, 2, "(0x0F:0x0002): Einheit herabgestuft: Einheit #"},
        {"good", 1, 15, 5, "3(0x0F:0x0005): Rebuild complete: Unit #"},
        // Category 1 has no message file; categories 12 and 19 have their own.
        {"good", 1, 1, 9, "(0x01:0x0009): Linux"},
        {"good", 1, 12, 1, "(0x0C:0x0001): Pyv2-Einstellungen konnten nicht angelegt werden"},
        {"good", 1, 19, 0x000A, "In Ordnung"},
        {"good", 1, 19, 4, "Zuletzt aktualisiert "},
        {"good", 1, 19, 0, "Are you sure you want to logout?"},
        // English never reads a file; a missing or unknown language falls
        // back to English.
        {"good", 0, 11, 2, "(0x0B:0x0002): Feature not supported"},
        {"good", 5, 11, 2, "(0x0B:0x0002): Feature not supported"},
        {"good", 8, 11, 2, "(0x0B:0x0002): Feature not supported"},
        {"", 1, 11, 2, "(0x0B:0x0002): Feature not supported"},
        // First line not a head, a head without a count; a section head
        // counts lines, whatever they hold, and a negative count runs to the
        // end of the file.
        {"nohead", 1, 11, 2, "(0x0B:0x0002): Feature not supported"},
        {"badcount", 1, 11, 2, "(0x0B:0x0002): Feature not supported"},
        {"negative", 1, 11, 2, "(0x0B:0x0002): Feature not supported"},
        {"short", 1, 11, 2, "(0x0B:0x0002): Feature not supported"},
    };
    expect_lookups(cases, std::size(cases));

    MessageCatalogue catalogue;
    EXPECT_STREQ(catalogue.lookup(11, 2, nullptr, 1), "(0x0B:0x0002): Feature not supported");
}

TEST(MessageCatalogue, FileLookupGivesTheBareTextInTheLineBuffer) {
    std::string good = data_dir("good");
    char line[1024];
    EXPECT_EQ(MessageCatalogue::lookup_file(line, 11, 1, good.c_str(), 1), line);
    EXPECT_STREQ(line, "Kein \"Controller\" gefunden");
    EXPECT_STREQ(MessageCatalogue::lookup_file(line, 15, 0, good.c_str(), 1), "3AEN-Warteschlange leer");
    EXPECT_STREQ(MessageCatalogue::lookup_file(line, 11, 9, good.c_str(), 1), "");
    EXPECT_STREQ(MessageCatalogue::lookup_file(line, 13, 0, good.c_str(), 1), "");
    EXPECT_STREQ(MessageCatalogue::lookup_file(line, 11, 2, good.c_str(), 200), "");
}

TEST(MessageCatalogue, PathsLongerThan127CharactersReadNoFile) {
    TempDir tmp;
    ASSERT_FALSE(tmp.path().empty());
    // "<dir>/kq_msg_de" takes the directory's length plus 10 characters.
    auto make_dir = [&](size_t length) {
        std::string dir = tmp.path() + "/" + std::string(length - tmp.path().size() - 1, 'd');
        std::filesystem::create_directory(dir);
        return dir;
    };
    std::string fits = make_dir(117);
    std::string too_long = make_dir(118);
    const char* german = "#0x0B:1\n0x0002:\"Funktion nicht unterstützt\"\n";
    write_file(fits + "/kq_msg_de", german);
    write_file(too_long + "/kq_msg_de", german);
    // The file a path cut to 127 characters would name.
    write_file(too_long + "/kq_msg_d", german);

    MessageCatalogue catalogue;
    EXPECT_STREQ(catalogue.lookup(11, 2, fits.c_str(), 1), "(0x0B:0x0002): Funktion nicht unterstützt");
    EXPECT_STREQ(catalogue.lookup(11, 2, too_long.c_str(), 1), "(0x0B:0x0002): Feature not supported");
}

TEST(MessageCatalogue, AnEditedFileCountsAtTheNextLookup) {
    TempDir tmp;
    ASSERT_FALSE(tmp.path().empty());
    MessageCatalogue catalogue;
    write_file(tmp.path() + "/wox_msg_fr", "#0x13:1\n0x000A:\"D'accord\"\n");
    EXPECT_STREQ(catalogue.lookup(19, 0x000A, tmp.path().c_str(), 5), "D'accord");
    write_file(tmp.path() + "/wox_msg_fr", "#0x13:1\n0x000A:\"Bien\"\n");
    EXPECT_STREQ(catalogue.lookup(19, 0x000A, tmp.path().c_str(), 5), "Bien");
}

const char* const kDaemonTexts[10] = {
    "(0x0C:0x0000): NO ERROR",
    "(0x0C:0x0001): Failed to initialize Pyv2 settings",
    "(0x0C:0x0002): Failed to create SSL object",
    "(0x0C:0x0003): Failed to create SSL context",
    "(0x0C:0x0004): Failed to create listening socket",
    "(0x0C:0x0005): Failed to start listening socket",
    "(0x0C:0x0006): Failed to create Pyv2 engine",
    "(0x0C:0x0007): Failed to create SSL object upon changing listening port",
    "(0x0C:0x0008): Failed to create SSL context upon changing listening port",
    "(0x0C:0x0009): Failed to create listening socket upon changing listening port",
};

TEST(MessageCatalogue, TheRingKeepsTenTexts) {
    MessageCatalogue catalogue;
    const char* texts[10];
    for (int32_t code = 0; code < 10; ++code) texts[code] = catalogue.lookup(12, code, "", 0);
    for (int32_t code = 0; code < 10; ++code) {
        EXPECT_STREQ(texts[code], kDaemonTexts[code]) << code;
        for (int32_t other = 0; other < code; ++other) EXPECT_NE(texts[code], texts[other]);
    }
}

TEST(MessageCatalogue, LookupsWithoutATextTakeNoSlot) {
    MessageCatalogue catalogue;
    const char* first = catalogue.lookup(12, 0, "", 0);
    for (int32_t code = 1; code <= 8; ++code) catalogue.lookup(12, code, "", 0);
    // Neither an unknown code nor a category out of range moves the ring.
    EXPECT_STREQ(catalogue.lookup(11, 4, "", 0), "");
    EXPECT_STREQ(catalogue.lookup(0, 1, "", 0), "");
    EXPECT_STREQ(catalogue.lookup(27, 1, "", 0), "");
    catalogue.lookup(12, 9, "", 0);
    EXPECT_STREQ(first, kDaemonTexts[0]);
}

TEST(MessageCatalogue, LookupsOnOneCatalogueFromSeveralThreadsExcludeEachOther) {
    MessageCatalogue shared;
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&shared, t] {
            for (int i = 0; i < 2000; ++i) shared.lookup(t % 2 ? 12 : 11, i % 30, "", 0);
        });
    }
    for (std::thread& thread : threads) thread.join();
    const char* texts[10];
    for (int32_t code = 0; code < 10; ++code) texts[code] = shared.lookup(12, code, "", 0);
    for (int32_t code = 0; code < 10; ++code) EXPECT_STREQ(texts[code], kDaemonTexts[code]);
}

TEST(MessageCatalogue, EachThreadHasItsOwnLibraryCatalogue) {
    MessageCatalogue* mine = &library_catalogue();
    EXPECT_EQ(&library_catalogue(), mine);
    const char* text = library_catalogue().lookup(11, 2, "", 0);
    const char* os_text = MessageCatalogue::lookup_builtin(9, ENOENT);

    MessageCatalogue* theirs = nullptr;
    std::thread other([&theirs] {
        theirs = &library_catalogue();
        for (int32_t i = 0; i < 25; ++i) library_catalogue().lookup(12, i % 10, "", 0);
        MessageCatalogue::lookup_builtin(9, EIO);
    });
    other.join();

    EXPECT_NE(theirs, mine);
    EXPECT_STREQ(text, "(0x0B:0x0002): Feature not supported");
    EXPECT_STREQ(os_text, std::strerror(ENOENT));
}

}  // namespace
