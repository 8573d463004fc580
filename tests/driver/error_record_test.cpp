#include "driver/error_record.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <latch>
#include <string>
#include <thread>
#include <vector>

namespace {

struct Call {
    uint32_t flags;
    int32_t api = 0;
    int32_t os = 0;
    int32_t driver = 0;
    int32_t controller = 0;
    const char* detail = nullptr;
    const char* controller_text = nullptr;
};

void record(const std::vector<Call>& calls)
{
    clear_last_error();
    for (const Call& c : calls) {
        set_last_error(c.flags, c.api, c.os, c.driver, c.controller, c.detail, c.controller_text);
    }
}

ErrorRecord copy_out(uint8_t language = 0, const char* dir = "")
{
    ErrorRecord out;
    memset(&out, 0x5A, sizeof out);
    copy_last_error(&out, dir, language);
    return out;
}

std::string fixture_dir()
{
    const char* data = getenv("PYV2_TEST_DATA");
    return std::string(data != nullptr ? data : "tests/driver/data") + "/err";
}

const std::string kLongText(1030, 'y');

struct RecordCase {
    const char* name;
    std::vector<Call> calls;
    uint32_t flags;
    std::string text;
};

const RecordCase kRecordCases[] = {
    {"api_error", {{kErrApi, 1}}, 0x1, "(0x0B:0x0001): No controller"},
    {"api_then_os_without_clear",
     {{kErrApi, 7}, {kErrOs, 0, 2}},
     0x3,
     "(0x0B:0x0007): Memory allocation failed\n(0x09:0x0002): No such file or directory"},
    {"api_code_unknown", {{kErrApi, 500}}, 0x1, "(0x0B:0x01F4): API message not found"},
    {"api_code_with_empty_text", {{kErrApi, 4}}, 0x1, "(0x0B:0x0004): API message not found"},
    {"unknown_after_known",
     {{kErrApi, 1}, {kErrApi, 500}},
     0x1,
     "(0x0B:0x0001): No controller\n(0x0B:0x01F4): API message not found"},
    {"os_error", {{kErrOs, 0, 16}}, 0x2, "(0x09:0x0010): Device or resource busy"},
    {"second_series_driver", {{0x20004, 0, 0, 0x1002}}, 0x20004, "(0x06:0x1002): Already locked"},
    {"second_series_driver_unknown",
     {{0x20004, 0, 0, 0x1234}},
     0x20004,
     "(0x06:0x1234): Mxxx driver message not found"},
    {"first_series_driver_table_is_empty",
     {{0x10004, 0, 0, 5}},
     0x10004,
     "(0x11:0x0005): L000 driver message not found"},
    {"first_series_controller", {{0x10008, 0, 0, 0, 0xC4}}, 0x10008, "(0x0E:0x00C4): Invalid port map"},
    {"first_series_controller_ignores_own_text",
     {{0x10008, 0, 0, 0, 0xC4, "D", "T"}},
     0x10008,
     "(0x0E:0x00C4): Invalid port map"},
    {"first_series_controller_unknown",
     {{0x10008, 0, 0, 0, 0x7777}},
     0x10008,
     "(0x0E:0x7777): L000 controller message not found"},
    {"second_series_controller_own_text", {{0x20008, 0, 0, 0, 0x010C, "D", "T"}}, 0x20008, "T D"},
    {"second_series_controller_catalogue_text",
     {{0x20008, 0, 0, 0, 0x010C, "D"}},
     0x20008,
     "(0x03:0x010C): Parameter index does not exist D"},
    {"second_series_controller_unknown",
     {{0x20008, 0, 0, 0, 0x7FFF, "D"}},
     0x20008,
     "(0x03:0x7FFF): Mxxx controller message not found D"},
    {"second_series_controller_empty_own_text",
     {{0x20008, 0, 0, 0, 0x010C, "D", ""}},
     0x20008,
     "(0x03:0x010C): Mxxx controller message not found D"},
    {"second_series_controller_line_too_long",
     {{0x20008, 0, 0, 0, 0x010C, "D", kLongText.c_str()}},
     0x20008,
     "(0x03:0x010C): Mxxx controller message not found D"},
    // The line's table follows the call's flags, the not-found line the
    // series of the whole record.
    {"controller_not_found_follows_record_series",
     {{0x10008, 0, 0, 0, 0xC4}, {kErrController, 0, 0, 0, 0x010C, "D"},
      {kErrController, 0, 0, 0, 0x7FFF, "D"}},
     0x10008,
     "(0x0E:0x00C4): Invalid port map\n(0x03:0x010C): Parameter index does not exist D\n"
     "(0x0E:0x7FFF): L000 controller message not found"},
    {"all_four_parts_in_order",
     {{0x2000F, 7, 2, 0x1002, 0x010C, "D", "T"}},
     0x2000F,
     "(0x0B:0x0007): Memory allocation failed\n(0x09:0x0002): No such file or directory\n"
     "(0x06:0x1002): Already locked\nT D"},
};

TEST(ErrorRecord, RecordsExactLines)
{
    for (const RecordCase& c : kRecordCases) {
        SCOPED_TRACE(c.name);
        record(c.calls);
        const ErrorRecord out = copy_out();
        EXPECT_EQ(out.flags, c.flags);
        EXPECT_EQ(std::string(out.text), c.text);
        EXPECT_EQ(out.text_length, c.text.size());
    }
}

TEST(ErrorRecord, KeepsCodesAndDetail)
{
    record({{kErrOs, 0, 5}, {0x2000D, 42, 0, 0, 0x0123, "detail", "T"}});
    const ErrorRecord out = copy_out();
    EXPECT_EQ(out.flags, 0x2000Fu);
    EXPECT_EQ(out.api_code, 42);
    EXPECT_EQ(out.os_error, 5);  // not given again: kept from the first call
    EXPECT_EQ(out.driver_status, 0);
    EXPECT_EQ(out.controller_status, 0x0123);
    EXPECT_STREQ(out.detail, "detail");
    EXPECT_EQ(get_last_error_code(), 42);
}

TEST(ErrorRecord, ClearZeroesEverything)
{
    record({{0x2000F, 7, 2, 0x1002, 0x010C, "D", "T"}});
    clear_last_error();
    const ErrorRecord out = copy_out();
    ErrorRecord zero;
    memset(&zero, 0, sizeof zero);
    EXPECT_EQ(memcmp(&out, &zero, sizeof out), 0);
    EXPECT_EQ(get_last_error_code(), 0);
}

TEST(ErrorRecord, TextStopsAtItsLastCharacter)
{
    const std::string line =
        "(0x0B:0x001F): One or more of the specified drives belong to another unit";
    std::string joined;
    std::vector<Call> calls;
    for (int i = 0; i < 20; ++i) {
        calls.push_back({kErrApi, 0x1F});
        joined += (i == 0 ? "" : "\n") + line;
    }
    record(calls);
    ErrorRecord out = copy_out();
    EXPECT_EQ(out.text_length, 1023u);
    EXPECT_EQ(std::string(out.text), joined.substr(0, 1023));

    // A full text takes no more, but the codes are still recorded.
    set_last_error(kErrOs, 0, 2, 0, 0, nullptr, nullptr);
    out = copy_out();
    EXPECT_EQ(std::string(out.text), joined.substr(0, 1023));
    EXPECT_EQ(out.os_error, 2);
    EXPECT_EQ(out.flags, 0x3u);
}

TEST(ErrorRecord, LongDetailIsCutTo127Characters)
{
    const std::string detail(200, 'x');
    record({{0x20008, 0, 0, 0, 0x010C, detail.c_str(), "T"}});
    const ErrorRecord out = copy_out();
    EXPECT_EQ(std::string(out.detail), detail.substr(0, 127));
    EXPECT_EQ(std::string(out.text), "T " + detail.substr(0, 127));
}

struct RenderCase {
    const char* name;
    std::vector<Call> calls;
    uint8_t language;
    std::string text;
};

const RenderCase kRenderCases[] = {
    {"api_in_german", {{kErrApi, 1}}, 1, "(0x0B:0x0001): Kein Controller"},
    {"os_text_has_no_file",
     {{kErrApi, 7}, {kErrOs, 0, 2}},
     1,
     "(0x0B:0x0007): Speicher knapp\n(0x09:0x0002): No such file or directory"},
    {"code_missing_from_file_falls_back", {{kErrApi, 3}}, 1, "(0x0B:0x0003): Controller not supported"},
    {"unknown_api_code", {{kErrApi, 500}}, 1, "(0x0B:0x01F4): API message not found"},
    {"second_series_controller_replaces_own_text",
     {{0x20008, 0, 0, 0, 0x010C, "D", "T"}},
     1,
     "(0x03:0x010C): Parameterindex fehlt D"},
    {"second_series_controller_unknown",
     {{0x20008, 0, 0, 0, 0x7FFF, "D", "T"}},
     1,
     "(0x03:0x7FFF): Mxxx controller message not found D"},
    {"second_series_driver_carries_detail",
     {{0x20008, 0, 0, 0, 0x010C, "D", "T"}, {0x20004, 0, 0, 0x1002}},
     1,
     "(0x06:0x1002): Bereits gesperrt D\n(0x03:0x010C): Parameterindex fehlt D"},
    {"second_series_driver_unknown",
     {{0x20008, 0, 0, 0, 0x010C, "D", "T"}, {0x20004, 0, 0, 0x1234}},
     1,
     "(0x06:0x1234): Mxxx driver message not found D\n(0x03:0x010C): Parameterindex fehlt D"},
    {"first_series_controller", {{0x10008, 0, 0, 0, 0xC4}}, 1, "(0x0E:0x00C4): Falsche Portzuordnung"},
    {"first_series_driver_unknown",
     {{0x10004, 0, 0, 5}},
     1,
     "(0x11:0x0005): L000 driver message not found"},
    // Parts are chosen by their stored code, not by the flags.
    {"api_code_zero_left_out",
     {{kErrApi, 0}, {kErrOs, 0, 2}},
     1,
     "(0x09:0x0002): No such file or directory"},
    {"language_without_file_gives_english", {{kErrApi, 1}}, 5, "(0x0B:0x0001): No controller"},
    {"english_catalogue_text_replaces_own_text",
     {{0x20008, 0, 0, 0, 0x010C, "D", "T"}},
     5,
     "(0x03:0x010C): Parameter index does not exist D"},
};

TEST(ErrorRecord, RendersInAnotherLanguage)
{
    const std::string dir = fixture_dir();
    for (const RenderCase& c : kRenderCases) {
        SCOPED_TRACE(c.name);
        record(c.calls);
        const uint32_t flags = copy_out().flags;
        const ErrorRecord out = copy_out(c.language, dir.c_str());
        EXPECT_EQ(std::string(out.text), c.text);
        EXPECT_EQ(out.text_length, c.text.size());
        EXPECT_EQ(out.flags, flags);
    }
}

TEST(ErrorRecord, RenderedTextStaysInTheRecord)
{
    const std::string dir = fixture_dir();
    record({{kErrApi, 1}});
    EXPECT_STREQ(copy_out(0, dir.c_str()).text, "(0x0B:0x0001): No controller");

    ErrorRecord rendered;
    memset(&rendered, 0, sizeof rendered);
    render_last_error(&rendered, dir.c_str(), 1);
    EXPECT_STREQ(rendered.text, "(0x0B:0x0001): Kein Controller");
    EXPECT_STREQ(copy_out(0, dir.c_str()).text, "(0x0B:0x0001): Kein Controller");

    // A later rendering in a language without a file brings English back.
    EXPECT_STREQ(copy_out(5, dir.c_str()).text, "(0x0B:0x0001): No controller");
}

TEST(ErrorRecord, EachThreadHasItsOwnRecord)
{
    record({{kErrApi, 1}});
    std::latch recorded(2);
    std::latch checked(2);
    ErrorRecord seen[2];
    auto worker = [&](int index, Call call) {
        record({call});
        recorded.arrive_and_wait();
        copy_last_error(&seen[index], "", 0);
        checked.arrive_and_wait();
    };
    std::thread a(worker, 0, Call{kErrApi, 7});
    std::thread b(worker, 1, Call{kErrOs, 0, 2});
    a.join();
    b.join();
    EXPECT_EQ(seen[0].flags, 0x1u);
    EXPECT_STREQ(seen[0].text, "(0x0B:0x0007): Memory allocation failed");
    EXPECT_EQ(seen[1].flags, 0x2u);
    EXPECT_EQ(seen[1].api_code, 0);
    EXPECT_STREQ(seen[1].text, "(0x09:0x0002): No such file or directory");
    EXPECT_STREQ(copy_out().text, "(0x0B:0x0001): No controller");
}

TEST(ErrorRecord, ByteRoutinesIgnoreLengthsBelowOne)
{
    struct Case {
        int32_t length;
        const char* copied;
        const char* filled;
    };
    const Case cases[] = {
        {-5, "XXXXXX", "XXXXXX"},
        {0, "XXXXXX", "XXXXXX"},
        {1, "aXXXXX", "-XXXXX"},
        {6, "abcdef", "------"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.length);
        char copied[7] = "XXXXXX";
        copy_memory(copied, "abcdef", c.length);
        EXPECT_STREQ(copied, c.copied);
        char filled[7] = "XXXXXX";
        fill_memory(filled, '-', c.length);
        EXPECT_STREQ(filled, c.filled);
    }
}

}  // namespace
