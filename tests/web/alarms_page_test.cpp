// The Alarms page and its frame's rows, written from a binary event file:
// which records are listed and in what order, their colours, times, help
// codes and message texts (English, another language, the first series),
// escaping, and the page around the frame.
#include "web/pages/alarms_page.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "daemon/event_log.h"
#include "daemon/snapshot_records.h"
#include "tests/web/page_test_support.h"
#include "web/pages/page_builder.h"
#include "web/pages/record_access.h"

namespace {

using pagetest::PageEnv;
using pagetest::section;

constexpr uint32_t kTime = 1700000000;  // Nov 14, 2023 10:13:20PM UTC

struct Ev {
    uint8_t severity;
    uint16_t code;
    const char* parameter;
    const char* message;
};

// An event file of the records, newest first, as the monitor writes it.
std::string event_file(PageEnv& env, const std::vector<Ev>& events, int family,
                       const std::string& tail = "") {
    std::string bytes;
    for (const Ev& e : events) {
        EventRecord event;
        std::memset(&event, 0, sizeof event);
        event.time = kTime;
        event.code = e.code;
        event.severity = e.severity;
        std::strcpy(event.parameter, e.parameter);
        event.parameter_length = static_cast<uint8_t>(std::strlen(e.parameter));
        std::strcpy(event.description, e.message);
        event.description_length = static_cast<uint8_t>(std::strlen(e.message));
        AenRecord record;
        int message_length;
        build_aen_record(2, event, family, &record, &message_length);
        uint8_t out[kAenRecordSize];
        encode_aen_record(record, out);
        bytes.append(reinterpret_cast<char*>(out), sizeof out);
    }
    const std::string path = env.dir().file("events.bin");
    pagetest::write_file(path, bytes + tail);
    return path;
}

// The cells of the rows written: the colour, the time and the message cell
// with its help code.
struct Row {
    std::string colour, time, help, message;
};

std::vector<Row> rows_of(const std::string& html) {
    std::vector<Row> rows;
    auto between = [&](size_t& at, const std::string& open, const std::string& close) {
        size_t start = html.find(open, at);
        if (start == std::string::npos) return std::string();
        start += open.size();
        size_t end = html.find(close, start);
        at = end;
        return html.substr(start, end - start);
    };
    size_t at = 0;
    while (html.find("<tr><td width=\"47\"", at) != std::string::npos) {
        Row r;
        r.colour = between(at, "bgcolor=\"", "\"");
        r.time = between(at, "font-family: monospace;\">", "</td>");
        r.help = between(at, "goto_aen_help('", "')");
        r.message = between(at, "font-family: monospace;\">", "</td></tr>");
        rows.push_back(r);
    }
    return rows;
}

std::string rows_html(PageEnv& env, const std::string& path, int family, int filter, int* count) {
    PageBuilder page(&env.config(), &env.catalogue());
    ControllerRecord controller;
    controller.family = family;
    *count = write_alarm_rows(page, path.c_str(), controller, filter);
    return page.text_body().c_str();
}

const std::vector<Ev> kEvents = {
    {3, 0x000B, "unit=0", "(0x04:0x000B): Rebuild started: unit=0"},
    {4, 0x0055, "", "debug"},
    {1, 0x0002, "unit=1", "Unit <b>degraded</b> & \"gone\""},
    {7, 0x0100, "", "odd severity"},
    {2, 0x0019, "port=3", "(0x04:0x0019): Drive removed: port=3"},
};

TEST(AlarmRows, FileOrderEveryRecordButSeverityFour) {
    PageEnv env;
    // A partial record at the end is not shown.
    const std::string path = event_file(env, kEvents, 6, std::string(60, 'x'));
    int count;
    std::vector<Row> rows = rows_of(rows_html(env, path, 6, kAllSeverities, &count));
    ASSERT_EQ(count, 4);
    ASSERT_EQ(rows.size(), 4u);
    const char* colours[] = {"#0000FF", "#FF0000", "brown", "#D8D800"};
    const char* helps[] = {"000B", "0002", "0100", "0019"};
    for (int i = 0; i < 4; i++) {
        EXPECT_EQ(rows[i].colour, colours[i]);
        EXPECT_EQ(rows[i].help, helps[i]);
        EXPECT_EQ(rows[i].time, "Nov 14, 2023 10:13:20PM");  // UTC for the second series
    }
    // The second series' messages behind their code's prefix, written once;
    // every text escaped.
    EXPECT_EQ(rows[0].message, "(0x04:0x000B): Rebuild started: unit=0");
    EXPECT_EQ(rows[1].message,
              "(0x04:0x0002): Unit &lt;b&gt;degraded&lt;/b&gt; &amp; &quot;gone&quot;");
    EXPECT_EQ(rows[3].message, "(0x04:0x0019): Drive removed: port=3");
}

TEST(AlarmRows, BySeverityEachGroupNewestFirst) {
    PageEnv env;
    std::vector<Ev> events = kEvents;
    events.push_back({1, 0x0003, "unit=2", "older error"});
    const std::string path = event_file(env, events, 6);
    struct Case {
        int filter;
        std::vector<std::string> helps;
    } cases[] = {{1, {"0002", "0003"}}, {2, {"0019"}}, {3, {"000B"}}};
    for (const Case& c : cases) {
        int count;
        std::vector<Row> rows = rows_of(rows_html(env, path, 6, c.filter, &count));
        std::vector<std::string> helps;
        for (const Row& r : rows) helps.push_back(r.help);
        EXPECT_EQ(helps, c.helps) << c.filter;
        EXPECT_EQ(count, static_cast<int>(c.helps.size()));
    }
    int count;
    EXPECT_EQ(rows_html(env, env.dir().file("missing.bin"), 6, 0, &count), "");
    EXPECT_EQ(count, 0);
}

TEST(AlarmRows, CatalogueTextsInAnotherLanguageAndForTheFirstSeries) {
    PageEnv env("Language 5\n");
    pagetest::write_file(env.dir().file("kq_msg_fr"),
                         section(4, {{0x0019, "Disque retir\xC3\xA9"}}));
    const std::string path = event_file(env, {{2, 0x0019, "port=<3>", "Drive removed: port=3"}}, 6);
    int count;
    std::vector<Row> rows = rows_of(rows_html(env, path, 6, 0, &count));
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].message, "(0x04:0x0019): Disque retir\xC3\xA9: port=&lt;3&gt;");

    // A first-series event without a message: the category-15 text less its
    // severity digit, then the parameter; with a message in English, the
    // message alone.
    PageEnv english;
    std::vector<Ev> legacy = {{3, 0x0000, "", ""},
                              {1, 0x000A, "2", "(0x0F:0x000A): Drive error #2"}};
    const std::string legacy_path = event_file(english, legacy, 3);
    rows = rows_of(rows_html(english, legacy_path, 3, 0, &count));
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].message, "(0x0F:0x0000): AEN queue empty");
    EXPECT_EQ(rows[1].message, "(0x0F:0x000A): Drive error #2");
}

TEST(AlarmsPage, ButtonLegendHeadingAndFrame) {
    PageEnv env;
    ControllerIdList list;
    list.count = 2;
    ControllerRecord records[2];
    records[0].family = 6;
    records[1].family = 6;
    struct Case {
        int sort;
        const char* frame;
    } cases[] = {{0, "src=\"/alarmsdata.html?c=1&auto=1\""},
                 {1, "src=\"/alarmsdata.html?c=1&auto=1&SortBy=sev\""}};
    for (const Case& c : cases) {
        PageBuilder page(&env.config(), &env.catalogue());
        EXPECT_EQ(write_page3_0(page, 1, &list, records, c.sort), 0);
        const std::string html = page.text_body().c_str();
        for (const char* piece :
             {"<input type=\"button\" name=\"clear\" value=\"Clear Alarms\" "
              "onClick=\"clear_alarms();\">",
              ">Legend:</font>", ">INFO</font>", ">WARNING</font>", ">ERROR</font>",
              "<a href=\"javascript:sort_alarms(1)\"", ">Sev</a>", ">Time</a>",
              "Message  (Click for Help)", c.frame,
              "url = \"/page3_0.html?c=\" + parent.cur_controller + \"&SortBy=sev\";",
              "confirm(\"Are you sure you want to clear all alarms?\")",
              "\"/page3_0.html?ClearAlarms=1&c=\" + parent.cur_controller"})
            EXPECT_NE(html.find(piece), std::string::npos) << piece;
        EXPECT_NE(html.find("onLoad=\"init(1);\""), std::string::npos);
    }

    // No controller, and a controller whose record could not be read.
    mark_none_found(list);
    PageBuilder none(&env.config(), &env.catalogue());
    write_page3_0(none, kNoneFound, &list, nullptr, 0);
    EXPECT_NE(std::string(none.text_body().c_str()).find("NO CONTROLLERS"), std::string::npos);
    EXPECT_EQ(std::string(none.text_body().c_str()).find("<iframe"), std::string::npos);
    list.count = 1;
    records[0].family = -1;
    records[0].controller_index = 4;
    std::strcpy(records[0].error_text, "<gone>");
    PageBuilder failed(&env.config(), &env.catalogue());
    write_page3_0(failed, 0, &list, records, 0);
    EXPECT_NE(std::string(failed.text_body().c_str()).find("Controller ID 4  &lt;gone&gt;"),
              std::string::npos);
}

}  // namespace
