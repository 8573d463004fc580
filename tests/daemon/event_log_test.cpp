// The event files: the 149-byte records and the text lines as they are
// built, the rules that put a new event first or refuse it, the 1000 kept,
// the file names, and the files as written (mode, whole replacement).
#include "daemon/event_log.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <ctime>
#include <mutex>
#include <string>
#include <vector>

#include "daemon/byte_buffer.h"
#include "daemon/string_builder.h"
#include "daemon/temp_files.h"
#include "tests/support/files.h"

namespace {

using test_support::mode_of;
using test_support::read_file;
using test_support::TempDir;
using test_support::write_file;

constexpr uint32_t kTime = 1700000000;  // 2023-11-14 22:13:20 UTC

EventRecord make_event(uint32_t time, uint16_t code, uint8_t severity, const std::string& parameter,
                       const std::string& message) {
    EventRecord e;
    std::memset(&e, 0, sizeof e);
    e.time = time;
    e.code = code;
    e.severity = severity;
    std::memcpy(e.parameter, parameter.data(), std::min(parameter.size(), sizeof e.parameter));
    e.parameter_length = static_cast<uint8_t>(parameter.size());
    std::memcpy(e.description, message.data(), std::min(message.size(), sizeof e.description));
    e.description_length = static_cast<uint8_t>(std::min<size_t>(message.size(), 255));
    return e;
}

// The record's 149 bytes as an event of family 6 (second series) gives them.
std::string record_bytes(const EventRecord& e, int family = 6, int index = 2) {
    AenRecord r;
    int message_length;
    build_aen_record(index, e, family, &r, &message_length);
    uint8_t out[kAenRecordSize];
    encode_aen_record(r, out);
    return std::string(reinterpret_cast<char*>(out), kAenRecordSize);
}

std::string le(uint64_t v, int bytes) {
    std::string s;
    for (int i = 0; i < bytes; i++) s += static_cast<char>(v >> (8 * i));
    return s;
}

TEST(AenRecordLayout, FieldsAndTextAreaByTable) {
    const std::string p97(97, 'p');
    struct Case {
        const char* name;
        EventRecord event;
        int family;
        uint32_t category;
        std::string area_start;  // the rest of the 128 bytes are zeros
    };
    EventRecord long_length = make_event(kTime, 0x19, 2, "port=3", "Drive removed");
    long_length.parameter_length = 90;  // more than the text holds
    EventRecord no_nul = make_event(kTime, 0x19, 2, "", std::string(256, 'm'));
    no_nul.description_length = 255;
    const Case cases[] = {
        {"second series", make_event(kTime, 0x19, 2, "port=3", "Drive removed: port=3"), 6, 4,
         std::string("port=3\0Drive removed: port=3", 28)},
        {"first series", make_event(kTime, 0x0A, 1, "9", "Drive error #9"), 3, 15,
         std::string("9\0Drive error #9", 16)},
        {"no parameter", make_event(kTime, 0x55, 3, "", "Battery ok"), 8, 4,
         std::string("\0Battery ok", 11)},
        {"message cut to the area", make_event(kTime, 0x02, 1, p97, std::string(60, 'm')), 6, 4,
         p97 + '\0' + std::string(29, 'm')},
        {"length byte past the text", long_length, 6, 4, std::string("port=3\0Drive removed", 20)},
        {"message without its NUL", no_nul, 6, 4, '\0' + std::string(126, 'm')},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string area = c.area_start + std::string(kAenTextAreaSize - c.area_start.size(), '\0');
        std::string expected = le(2, 4) + le(kTime, 8) + static_cast<char>(c.event.severity) +
                               le(c.category, 4) + le(c.event.code, 4) + area;
        EXPECT_EQ(test_support::hex(record_bytes(c.event, c.family)), test_support::hex(expected));
    }
}

TEST(AenRecordLayout, TextsReadBack) {
    AenRecord r;
    int n;
    char parameter[129], message[129];
    build_aen_record(0, make_event(kTime, 1, 1, "unit=0", "Unit degraded"), 6, &r, &n);
    EXPECT_TRUE(aen_record_texts(r, parameter, message));
    EXPECT_STREQ(parameter, "unit=0");
    EXPECT_STREQ(message, "Unit degraded");
    // A parameter filling 127 bytes leaves no room for a message.
    std::memset(r.text, 'p', 127);
    r.text[127] = 0;
    EXPECT_FALSE(aen_record_texts(r, parameter, message));
    EXPECT_EQ(std::strlen(parameter), 127u);
    // An area without any NUL is read no further than itself.
    std::memset(r.text, 'q', sizeof r.text);
    EXPECT_FALSE(aen_record_texts(r, parameter, message));
    EXPECT_EQ(std::strlen(parameter), 128u);
}

// A file of records, newest first, each given as (time, code, message).
struct Rec {
    uint32_t time;
    uint16_t code;
    const char* message;
};

std::string file_of(const std::vector<Rec>& records) {
    std::string bytes;
    for (const Rec& r : records)
        bytes += record_bytes(make_event(r.time, r.code, 2, "p", r.message));
    return bytes;
}

// The merge of an event into a file: its result and the new file.
int merge(const std::string& old, const Rec& r, std::string* out) {
    AenRecord record;
    int message_length;
    build_aen_record(2, make_event(r.time, r.code, 2, "p", r.message), 6, &record, &message_length);
    ByteBuffer content;
    int result = merge_aen_records(reinterpret_cast<const uint8_t*>(old.data()), old.size(), record,
                                   message_length, content);
    out->assign(reinterpret_cast<const char*>(content.data()),
                static_cast<size_t>(content.length()));
    return result;
}

TEST(BinaryEventFile, NewEventsFirstRepeatsAndOlderOnesRefused) {
    const std::vector<Rec> two = {{kTime + 10, 0x19, "B"}, {kTime, 0x02, "A"}};
    struct Case {
        const char* name;
        std::string old;
        Rec event;
        int result;
        std::vector<Rec> after;  // when written
    };
    const Case cases[] = {
        {"first event", "", {kTime, 0x19, "A"}, 0, {{kTime, 0x19, "A"}}},
        {"newer event",
         file_of(two),
         {kTime + 20, 0x0B, "C"},
         0,
         {{kTime + 20, 0x0B, "C"}, two[0], two[1]}},
        {"the newest again", file_of(two), {kTime + 10, 0x19, "B"}, 1, {}},
        {"same time, other code",
         file_of(two),
         {kTime + 10, 0x1A, "B"},
         0,
         {{kTime + 10, 0x1A, "B"}, two[0], two[1]}},
        {"same time, other message",
         file_of(two),
         {kTime + 10, 0x19, "X"},
         0,
         {{kTime + 10, 0x19, "X"}, two[0], two[1]}},
        {"repeat deeper in the run of its time",
         file_of({{kTime + 10, 0x1A, "C"}, {kTime + 10, 0x19, "B"}, {kTime, 0x02, "A"}}),
         {kTime + 10, 0x19, "B"},
         1,
         {}},
        {"older than the newest", file_of(two), {kTime + 5, 0x0B, "C"}, 1, {}},
        {"trailing partial record dropped",
         file_of(two) + std::string(60, 'x'),
         {kTime + 20, 0x0B, "C"},
         0,
         {{kTime + 20, 0x0B, "C"}, two[0], two[1]}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string out;
        EXPECT_EQ(merge(c.old, c.event, &out), c.result);
        if (c.result == 0) {
            EXPECT_EQ(test_support::hex(out), test_support::hex(file_of(c.after)));
        }
    }
}

TEST(BinaryEventFile, KeepsAThousandOlderRecordsAndTheRunOfItsTime) {
    std::vector<Rec> old;
    for (uint32_t i = 0; i < 1001; i++) old.push_back({kTime + 2000 - i, 0x0B, "old"});
    std::string out;
    ASSERT_EQ(merge(file_of(old), {kTime + 3000, 0x0B, "new"}, &out), 0);
    ASSERT_EQ(out.size(), 1001u * kAenRecordSize);
    // The oldest record is the one dropped.
    AenRecord last;
    decode_aen_record(reinterpret_cast<const uint8_t*>(out.data()) + 1000 * kAenRecordSize, &last);
    EXPECT_EQ(last.time, kTime + 2000 - 999);

    // Three records of the new event's time at the head stay whole.
    std::vector<Rec> run = {{kTime + 3000, 1, "a"}, {kTime + 3000, 2, "b"}, {kTime + 3000, 3, "c"}};
    run.insert(run.end(), old.begin(), old.end());
    ASSERT_EQ(merge(file_of(run), {kTime + 3000, 4, "d"}, &out), 0);
    EXPECT_EQ(out.size(), (1 + 3 + 1000u) * kAenRecordSize);
}

EventRecord line_event(uint8_t severity, const std::string& message, uint32_t time = kTime) {
    return make_event(time, 0x19, severity, "", message);
}

std::string line_of(const EventRecord& e, int family) {
    StringBuilder line;
    format_aen_line(e, family, line);
    return line.c_str();
}

TEST(TextEventFile, LinesByTable) {
    setenv("TZ", "CET-1", 1);  // one hour east, no summer time
    tzset();
    struct Case {
        const char* name;
        EventRecord event;
        int family;
        std::string line;
    };
    const Case cases[] = {
        {"error, UTC", line_event(1, "Unit degraded: unit=1"), 6,
         "20231114221320 ERROR Unit degraded: unit=1\n"},
        {"warning", line_event(2, "Drive removed"), 8, "20231114221320 WARNING Drive removed\n"},
        {"information", line_event(3, "Rebuild done"), 9,
         "20231114221320 INFORMATION Rebuild done\n"},
        {"first series, local time", line_event(3, "Rebuild done"), 3,
         "20231114231320 INFORMATION Rebuild done\n"},
        {"other severity", line_event(4, "debug"), 6, "20231114221320 UNKNOWN debug\n"},
        {"severity 0", line_event(0, "x"), 6, "20231114221320 UNKNOWN x\n"},
        {"line breaks inside", line_event(1, "one\r\ntwo\nthree"), 6,
         "20231114221320 ERROR one  two three\n"},
        {"message cut to 127", line_event(1, std::string(200, 'm')), 6,
         "20231114221320 ERROR " + std::string(127, 'm') + "\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(line_of(c.event, c.family), c.line);
    }
    unsetenv("TZ");
    tzset();
}

int merge_lines(const std::string& old, const std::string& line, std::string* out) {
    StringBuilder content;
    int result = merge_aen_lines(old.data(), old.size(), line.c_str(), content);
    out->assign(content.c_str(), static_cast<size_t>(content.length()));
    return result;
}

TEST(TextEventFile, NewLinesFirstRepeatsAndOlderOnesRefused) {
    const std::string a = "20231114221320 ERROR Unit degraded\n";
    const std::string b = "20231114221330 WARNING Drive removed\n";
    const std::string c = "20231114221330 INFORMATION Rebuild started\n";
    const std::string long_b = "20231114221330 WARNING " + std::string(127, 'x') + "\n";
    struct Case {
        const char* name;
        std::string old;
        std::string line;
        int result;
        std::string after;
    };
    const Case cases[] = {
        {"first line", "", a, 0, a},
        {"newer line", a, b, 0, b + a},
        {"the newest again", b + a, b, 1, ""},
        {"same time, other line", b + a, c, 0, c + b + a},
        {"repeat deeper in the run of its time", c + b + a, b, 1, ""},
        {"older than the newest", b + a, "20231114221325 ERROR x\n", 1, ""},
        {"a long line is recognised again", long_b + a, long_b, 1, ""},
        {"a short first line is no event line", "junk\n" + a, b, 0, b + "junk\n" + a},
        {"a last line without its end gets one", b + "20231114221320 ERR", c, 0,
         c + b + "20231114221320 ERR\n"},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.name);
        std::string out;
        EXPECT_EQ(merge_lines(k.old, k.line, &out), k.result);
        if (k.result == 0) {
            EXPECT_EQ(out, k.after);
        }
    }
}

TEST(TextEventFile, KeepsAThousandPiecesOfOlderLines) {
    std::string old;
    for (int i = 0; i < 1001; i++)
        old += "20231114221320 INFORMATION old " + std::to_string(i) + "\n";
    std::string out;
    ASSERT_EQ(merge_lines(old, "20231114221330 ERROR new\n", &out), 0);
    EXPECT_EQ(out.find("old 999\n") != std::string::npos, true);
    EXPECT_EQ(out.find("old 1000\n"), std::string::npos);

    // A line of more than 127 characters counts as two pieces.
    std::string with_long = "20231114221320 INFORMATION " + std::string(120, 'l') + "\n" + old;
    ASSERT_EQ(merge_lines(with_long, "20231114221330 ERROR new\n", &out), 0);
    EXPECT_NE(out.find("old 997\n"), std::string::npos);
    EXPECT_EQ(out.find("old 998\n"), std::string::npos);
}

TEST(EventFiles, NamesStayInTheDirectory) {
    struct Case {
        const char* serial;
        const char* path;
    };
    const Case cases[] = {
        {"M2B0000002", "/var/log/wox_aen_M2B0000002.bin"},
        {"SN-1_a.b", "/var/log/wox_aen_SN-1_a.b.bin"},
        {"../../etc/x", "/var/log/wox_aen__._.._etc_x.bin"},
        {".hidden", "/var/log/wox_aen__hidden.bin"},
        {"a b\n", "/var/log/wox_aen_a_b_.bin"},
        {"", "/var/log/wox_aen_.bin"},
    };
    for (const Case& c : cases) {
        StringBuilder path;
        event_file_path("/var/log", c.serial, ".bin", path);
        EXPECT_STREQ(path.c_str(), c.path) << c.serial;
    }
}

struct stat stat_of(const std::string& path) {
    struct stat st = {};
    EXPECT_EQ(stat(path.c_str(), &st), 0) << path;
    return st;
}

// Stores events through the in-memory files as a monitor pass does: 0, or
// the files not written.
int store(const std::string& dir, const char* serial, const std::vector<EventRecord>& events,
          std::vector<int>* taken = nullptr) {
    std::lock_guard<std::mutex> hold(event_file_lock());
    EventFiles files;
    read_event_files(dir.c_str(), serial, files);
    for (const EventRecord& e : events) {
        const int binary = append_aen_binary_log(files, 2, e, 6);
        const int text = append_aen_text_log(files, e, 6);
        if (taken != nullptr) taken->push_back(binary << 1 | text);
    }
    return write_event_files(dir.c_str(), serial, files);
}

TEST(EventFiles, WrittenWholeWithTheirOwnModeAndCleared) {
    TempDir dir;
    const mode_t old_mask = umask(0);
    const EventRecord first = make_event(kTime, 0x19, 2, "port=3", "Drive removed: port=3");
    std::vector<int> taken;
    EXPECT_EQ(store(dir.path(), "SN1", {first}, &taken), 0);
    umask(old_mask);
    const std::string bin = dir.file("wox_aen_SN1.bin"), txt = dir.file("wox_aen_SN1.txt");
    EXPECT_EQ(mode_of(bin), 0600);
    EXPECT_EQ(mode_of(txt), 0600);
    EXPECT_EQ(read_file(bin), record_bytes(first));
    EXPECT_EQ(read_file(txt), "20231114221320 WARNING Drive removed: port=3\n");
    // Stored again (a restart reads the queue again): refused by both, and
    // neither file is rewritten.
    const struct stat before = stat_of(bin);
    EXPECT_EQ(store(dir.path(), "SN1", {first}, &taken), 0);
    EXPECT_EQ(taken, (std::vector<int>{0, 3}));
    EXPECT_EQ(stat_of(bin).st_ino, before.st_ino);
    EXPECT_EQ(test_support::entries_in(dir.path()), 2);  // no temporary file left

    EXPECT_EQ(store("/nonexistent-dir", "SN1", {first}), kBinaryNotWritten | kTextNotWritten);

    EXPECT_EQ(clear_event_files(dir.path().c_str(), "SN1"), 0);
    EXPECT_EQ(read_file(bin), "");
    EXPECT_EQ(read_file(txt), "");
    EXPECT_EQ(clear_event_files(dir.path().c_str(), "SN2"), 0);  // created empty
    EXPECT_EQ(mode_of(dir.file("wox_aen_SN2.txt")), 0600);
    EXPECT_EQ(clear_event_files("/nonexistent-dir", "SN1"), 1);
}

// The events of a pass go into the files one after the other, each judged
// against the events put in before it, and each file is written once.
TEST(EventFiles, APassOfEventsWrittenOnce) {
    TempDir dir;
    const EventRecord old = make_event(kTime, 0x19, 2, "port=1", "Drive removed: port=1");
    ASSERT_EQ(store(dir.path(), "SN1", {old}), 0);
    const std::string bin = dir.file("wox_aen_SN1.bin");
    const ino_t first_inode = stat_of(bin).st_ino;
    const EventRecord a = make_event(kTime + 1, 0x0B, 3, "unit=0", "Verify completed");
    const EventRecord b = make_event(kTime + 2, 0x19, 2, "port=2", "Drive removed: port=2");
    const EventRecord older = make_event(kTime - 5, 0x19, 2, "port=0", "Drive removed: port=0");
    std::vector<int> taken;
    ASSERT_EQ(store(dir.path(), "SN1", {a, b, b, older}, &taken), 0);
    EXPECT_EQ(taken, (std::vector<int>{0, 0, 3, 3}));
    EXPECT_EQ(read_file(bin), record_bytes(b) + record_bytes(a) + record_bytes(old));
    EXPECT_EQ(read_file(dir.file("wox_aen_SN1.txt")),
              "20231114221322 WARNING Drive removed: port=2\n"
              "20231114221321 INFORMATION Verify completed\n"
              "20231114221320 WARNING Drive removed: port=1\n");
    EXPECT_NE(stat_of(bin).st_ino, first_inode);
    EXPECT_EQ(test_support::entries_in(dir.path()), 2);
}

// A process killed in the middle of its rewrites leaves every event it had
// stored readable: whole records and whole lines only.
TEST(EventFiles, AKillMidWriteLeavesEveryEarlierEvent) {
    TempDir dir;
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        for (uint32_t i = 0;; i++) {
            EventRecord e =
                make_event(kTime + i, 0x0B, 3, "unit=0", "Verify completed " + std::to_string(i));
            // Written until the kill: what matters is what the files hold.
            (void)store(dir.path(), "K", {e});
        }
    }
    usleep(300000);
    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
    const std::string bin = read_file(dir.file("wox_aen_K.bin"));
    const std::string txt = read_file(dir.file("wox_aen_K.txt"));
    ASSERT_FALSE(bin.empty());
    ASSERT_EQ(bin.size() % kAenRecordSize, 0u);
    // Newest first, one after another.
    for (size_t at = kAenRecordSize; at < bin.size(); at += kAenRecordSize) {
        AenRecord newer, older;
        decode_aen_record(reinterpret_cast<const uint8_t*>(bin.data()) + at - kAenRecordSize,
                          &newer);
        decode_aen_record(reinterpret_cast<const uint8_t*>(bin.data()) + at, &older);
        ASSERT_EQ(newer.time, older.time + 1);
    }
    ASSERT_FALSE(txt.empty());
    EXPECT_EQ(txt.back(), '\n');
    // What the kill interrupted is at most a temporary file, which the next
    // start removes.
    for (const char* suffix : {".bin", ".txt"}) {
        StringBuilder path;
        event_file_path(dir.path().c_str(), "K", suffix, path);
        remove_stale_temps(path.c_str());
    }
    EXPECT_EQ(test_support::entries_in(dir.path()), 2);
}

}  // namespace
