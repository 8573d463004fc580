// Pages built with the reuse of read answers are the pages built without
// it, byte for byte, on the default machine, a large one and the one with
// hostile texts; within a build no read goes to a controller twice unless
// something changed it in between; actions see what they changed; and the
// monitor, beside a page build, reads the controllers themselves.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <iterator>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "api/ctl.h"
#include "daemon/config_store.h"
#include "daemon/daemon_context.h"
#include "daemon/enclosure_lock.h"
#include "daemon/dispatcher.h"
#include "daemon/http_codes.h"
#include "daemon/monitor.h"
#include "driver/driver_layer.h"
#include "driver/message_catalogue.h"
#include "driver/read_reuse.h"
#include "sim/sim.h"
#include "tests/support/files.h"
#include "tests/support/content_pages.h"
#include "tests/web/page_test_support.h"
#include "web/actions/controller_selection.h"
#include "web/pages/page_builder.h"

namespace {

// 16 controllers of 24 to 32 drives, 8 units and 2 enclosures each, of the
// second series' generations 6, 7, 8 and 10 in turn; SES enclosures on
// every other controller, SAF-TE ones on the rest; a battery on every third.
std::string large_machine() {
    std::string s =
        "kernel release=6.1.0-sim\n"
        "driver name=dq-Mxxx pairing=sysfs\n"
        "driver name=dq-sas pairing=sysfs\n";
    const int archs[] = {6, 7, 8, 10};
    for (int c = 0; c < 16; ++c) {
        const int arch = archs[c % 4];
        const int drives = 24 + (c * 5) % 9;
        const bool ses = c % 2 == 0;
        const std::string n = std::to_string(c);
        s += "controller index=" + n + " driver=" + (arch < 8 ? "dq-Mxxx" : "dq-sas") +
             " arch=" + std::to_string(arch == 7 ? 6 : arch) + " model=\"QX-" +
             std::to_string(arch) + "00-" + std::to_string(drives) + "\" serial=\"R" + n +
             "\" ports=" + std::to_string(drives) + "\n";
        if (arch == 7) s += "  param table=0x403 id=26 value=u32:0x100\n";
        for (int p = 0; p < drives; ++p) {
            s += "  drive port=" + std::to_string(p) + " model=\"SIMDISK X" + n + "\" serial=\"X" +
                 n + "-" + std::to_string(p) + "\"";
            if (ses) s += " enclosure=" + std::to_string(p / 16) + " slot=" + std::to_string(p % 16);
            s += "\n";
        }
        s += "  unit number=0 type=raid5 drives=0,1,2\n"
             "  unit number=1 type=raid1 drives=3,4\n"
             "  unit number=2 type=raid6 drives=5,6,7,8,9\n"
             "  unit number=3 type=raid10 drives=10,11,12,13\n"
             "  unit number=4 type=raid0 drives=14,15\n"
             "  unit number=5 type=single drives=16\n"
             "  unit number=6 type=spare drives=17\n"
             "  unit number=7 type=raid5 drives=18,19,20 status=degraded failed=19\n";
        for (int e = 0; e < 2; ++e)
            s += "  enclosure number=" + std::to_string(e) + " type=" + (ses ? "ses" : "safte") +
                 " slots=16 fans=2 temp-sensors=2 power-supplies=2 door-locks=1 alarms=1\n";
        if (c % 3 == 0) s += "  battery capacity=48 installed=\"28-Aug-2024\"\n";
        s += "  event code=0x0019 severity=2 text=\"port=4\" ago=3600\n"
             "  event code=0x000C severity=3 text=\"unit=0\" ago=600\n";
    }
    return s;
}

// The end-to-end tests' machine, beside this file's folder.
std::string hostile_machine() {
    std::string path = __FILE__;
    path = path.substr(0, path.rfind('/')) + "/../e2e/hostile_machine.scenario";
    const std::string text = test_support::read_file(path);
    EXPECT_NE(text.find("controller index="), std::string::npos) << path;
    return text;
}

// The machine anew, its controllers found anew by the library; the clock
// stands still, so that two builds see the same times.
void load(const std::string& scenario) {
    std::string error;
    ASSERT_TRUE(sim::load_scenario("clock mode=virtual\n" + scenario, &error)) << error;
    library_driver_layer().rediscover();
}

// What the URLs of a controller name.
struct Shown {
    int position = 0;
    int unit = 0;
    int port = 0;
    int free_port = -1;
};

Shown objects_of(int position) {
    Shown shown;
    shown.position = position;
    ControllerIdList controllers;
    if (ctl_list_controllers(&controllers) != 0 || position >= int(controllers.count)) return shown;
    const ObjectId controller = controllers.ids[position];
    IdList units, drives;
    if (ctl_get_unit_list(controller, &units) == 0 && units.count > 0)
        shown.unit = units.ids[0].b[4];
    if (ctl_get_drive_list(controller, &drives) != 0) return shown;
    if (drives.count > 0) shown.port = drives.ids[0].b[2];
    for (uint32_t i = 0; i < drives.count && i < 128; ++i) {
        ObjectId unit;
        if (ctl_get_drive_unit(drives.ids[i], &unit) == 0 && unit.b[4] == 0xFF) {
            shown.free_port = drives.ids[i].b[2];
            break;
        }
    }
    return shown;
}

std::string url_of(const char* pattern, const Shown& shown) {
    return test_support::page_url(pattern, shown.position, shown.unit, shown.port, shown.free_port);
}

// A request's answer: the handler's result and the page's bytes.
struct Answer {
    int result = 0;
    std::string body;
};

// The page's bytes but for the host's clock in its footer, which moves on
// between two builds.
std::string without_host_time(std::string body) {
    static const std::string kFooter = "Last updated ";
    for (size_t at = body.find(kFooter); at != std::string::npos;
         at = body.find(kFooter, at + kFooter.size())) {
        const size_t end = body.find("<br>", at);
        if (end == std::string::npos) break;
        body.replace(at + kFooter.size(), end - at - kFooter.size(), "(time)");
    }
    return body;
}

// Whether the journal entry is a request that succeeded.
bool succeeded(const sim::JournalEntry& e) {
    if (e.result != 0) return false;
    if (e.request == 0x1F || e.request == 0x1C) return e.returned.size() > 516 && e.returned[516] == 0;
    return e.returned.size() >= 1536 && e.returned[4] == 0 && e.returned[5] == 0 &&
           e.returned[512 + 128 + 4] == 0;
}

// Whether the journal entry is a read the page build may ask only once:
// GET PARAMETER of either series, the compatibility record, and the
// enclosure reads through the SCSI pass-through.
bool once_only(const sim::JournalEntry& e) {
    if (e.request == 0x1F) return e.sent.size() > 512 && e.sent[512] == 0x52;
    if (e.request == 257) return true;
    if (e.request != 264 || e.sent.size() < 1536) return false;
    const uint8_t opcode = e.sent[640];
    const uint8_t scsi = e.sent[648];
    return opcode == 0x52 || (opcode == 0x10 && (scsi == 0x12 || scsi == 0x1C || scsi == 0x3C));
}

// Requests of the journal that a build should not have sent: a read equal
// to one the same controller answered successfully before, with no other
// request to that controller in between. Empty when there is none.
std::string repeated_reads(const std::vector<sim::JournalEntry>& journal) {
    using Key = std::tuple<int, unsigned long, std::vector<uint8_t>>;
    std::map<int, std::map<Key, bool>> answered;  // by controller
    std::string repeats;
    for (const sim::JournalEntry& e : journal) {
        if (e.request == 0) continue;  // a write to a kernel SCSI file
        if (!once_only(e)) {
            const bool live = e.request >= 258 && e.request <= 261;
            if (!live) answered[e.controller].clear();
            continue;
        }
        const Key key{e.controller, e.request, e.sent};
        auto& seen = answered[e.controller];
        if (seen.count(key) != 0)
            repeats += "controller " + std::to_string(e.controller) + " request " +
                       std::to_string(e.request) + " opcode " +
                       std::to_string(e.sent.size() > 640 ? e.sent[640] : 0) + "; ";
        if (succeeded(e)) seen[key] = true;
    }
    return repeats;
}

class ReadReusePages : public ::testing::Test {
  protected:
    ReadReusePages() : env_("CommandLog 0\n"), context_(&env_.config(), &env_.catalogue()) {}
    void TearDown() override { ReadReuse::set_enabled(true); }

    Answer build(const std::string& url) {
        PageBuilder page(&env_.config(), &env_.catalogue());
        page.set_access_level(kAccessAdmin);
        Answer answer;
        const PageRoute* route = find_page_route(url.c_str());
        if (route == nullptr)
            answer.result = context_.dispatch(&page, url.c_str(), "127.0.0.1", "127.0.0.1", "",
                                              "", nullptr);
        else if (route->handler != nullptr)
            answer.result = route->handler(&context_, &page,
                                           PageRequest{url.c_str(), "127.0.0.1", "127.0.0.1", "",
                                                       nullptr, kAccessAdmin});
        else
            answer.result = -1;
        answer.body = without_host_time(std::string(page.get_body(), size_t(page.get_body_length())));
        return answer;
    }

    // Each page of each listed controller position, built on the machine as
    // loaded, without the reuse and with it. With counted, the requests of
    // the builds without the reuse are counted too (the journal is long to
    // copy on a large machine).
    void compare_pages(const std::string& scenario, std::vector<int> positions, bool counted) {
        size_t without = 0, with = 0;
        for (int position : positions) {
            for (const test_support::ContentPage& k : test_support::kContentPages) {
                SCOPED_TRACE(std::string(k.name) + " of position " + std::to_string(position));
                load(scenario);
                const Shown shown = objects_of(position);
                if (std::strstr(k.url, "{f}") != nullptr && shown.free_port < 0) continue;
                const std::string url = url_of(k.url, shown);

                ReadReuse::set_enabled(false);
                sim::clear_journal();
                const Answer plain = build(url);
                if (counted) without += sim::journal().size();

                load(scenario);
                ReadReuse::set_enabled(true);
                sim::clear_journal();
                const Answer reused = build(url);
                const std::vector<sim::JournalEntry> journal = sim::journal();
                with += journal.size();

                EXPECT_EQ(reused.result, plain.result);
                EXPECT_EQ(reused.body, plain.body);
                EXPECT_EQ(repeated_reads(journal), "");
                EXPECT_EQ(ReadReuse::kept(), 0u);  // dropped at the build's end
            }
        }
        // Not a figure to meet: that pages were built, and the reuse took
        // place at all.
        EXPECT_GT(with, 1000u);
        if (counted) {
            EXPECT_LT(with * 2, without);
        }
    }

    pagetest::PageEnv env_;
    DaemonContext context_;
};

TEST_F(ReadReusePages, TheDefaultMachinesPagesAreTheSame) {
    compare_pages(sim::default_scenario(), {0, 1, 2}, true);
}

TEST_F(ReadReusePages, TheHostileMachinesPagesAreTheSame) {
    compare_pages(hostile_machine(), {0, 1, 2}, true);
}

TEST_F(ReadReusePages, ALargeMachinesPagesAreTheSame) {
    // The later generations, one with SES and one with SAF-TE enclosures.
    compare_pages(large_machine(), {2, 3}, false);
}

// The message of a redirect page.
std::string message_of(const std::string& body) {
    static const std::string kStart = "parent.lastmessage = \"";
    const size_t at = body.find(kStart);
    if (at == std::string::npos) return "no message in: " + body;
    const size_t end = body.find("\";", at);
    return body.substr(at + kStart.size(), end - at - kStart.size());
}

// Deletes the second controller's first unit and then removes a free drive
// of it, each action followed by the maintenance page: the messages report
// what the library found after each change, and the pages show it.
TEST_F(ReadReusePages, ActionsSeeWhatTheyChangedAndTheirPagesTheStateAfter) {
    const char* steps[] = {
        "/page2_2.html?c=1",
        "/page2_2.html?DeleteUnits=0&c=1",
        "/page2_2.html?c=1",
        "/page2_2.html?RemoveDrive=6&c=1",
        "/page2_2.html?c=1",
    };
    std::vector<Answer> answers[2];
    for (bool reuse : {false, true}) {
        load(sim::default_scenario());
        ReadReuse::set_enabled(reuse);
        for (const char* step : steps) answers[reuse].push_back(build(step));
    }
    ASSERT_EQ(answers[1].size(), std::size(steps));
    for (size_t i = 0; i < std::size(steps); ++i) {
        SCOPED_TRACE(steps[i]);
        EXPECT_EQ(answers[1][i].result, answers[0][i].result);
        EXPECT_EQ(answers[1][i].body, answers[0][i].body);
    }
    EXPECT_NE(message_of(answers[1][1].body).find("Successfully deleted"), std::string::npos)
        << message_of(answers[1][1].body);
    EXPECT_NE(answers[1][2].body, answers[1][0].body);
    EXPECT_NE(message_of(answers[1][3].body).find("Successfully removed"), std::string::npos)
        << message_of(answers[1][3].body);
    EXPECT_NE(answers[1][4].body, answers[1][2].body);
}

// The monitor's event pass sends the same requests while a page build of
// the main thread holds the answers of every controller as when none runs.
TEST_F(ReadReusePages, TheMonitorAsksTheControllersItselfBesideAPageBuild) {
    std::vector<std::tuple<int, unsigned long, std::vector<uint8_t>>> passes[2];
    for (int beside_build : {0, 1}) {
        load(sim::default_scenario());
        test_support::TempDir events;
        MessageCatalogue catalogue;
        MonitorState state;
        std::memset(&state, 0, sizeof state);
        state.config = &env_.config();
        state.event_dir = events.path().c_str();
        state.catalogue = &catalogue;
        ASSERT_EQ(ctl_list_controllers(&state.controllers), 0);
        for (uint32_t& flag : state.first_read) flag = 1;

        std::unique_ptr<ControllerSelection> page_build;
        if (beside_build == 1) {
            page_build = std::make_unique<ControllerSelection>();
            ASSERT_NE(page_build->fill(&context_), nullptr);
            ASSERT_GT(ReadReuse::kept(), 0u);
        }
        sim::clear_journal();
        std::thread monitor([&state] { poll_aens(state, nullptr); });
        monitor.join();
        for (const sim::JournalEntry& e : sim::journal())
            passes[beside_build].emplace_back(e.controller, e.request, e.sent);
    }
    EXPECT_GT(passes[0].size(), 3u);
    EXPECT_TRUE(passes[1] == passes[0]) << passes[1].size() << " requests, alone "
                                        << passes[0].size();
}

// The enclosure page waits for the enclosure lock while the monitor checks
// the enclosures, after its records were read; a drive pulled from its slot
// meanwhile is shown gone, as on a page built after it was pulled.
TEST_F(ReadReusePages, AChangeWhileThePageWaitsForTheEnclosureLockIsShown) {
    const std::string url = "/page3_3.html?c=2&e=0";
    const char* failure = "drive index=3 port=7 status=2 enclosure=0 slot=7\n";
    std::string error;
    load(sim::default_scenario());
    const Answer before = build(url);
    ASSERT_TRUE(sim::apply(failure, &error)) << error;
    const Answer after = build(url);
    ASSERT_NE(after.body, before.body);

    load(sim::default_scenario());
    sim::clear_journal();
    ConfigStore& config = env_.config();
    ASSERT_EQ(config.take_enclosure_lock(kEnclosureLockMonitorMode), 1);
    std::thread monitor([&config, failure] {
        // Until the page has read its records and waits for the lock: its
        // requests have stopped for a while.
        size_t seen = 0;
        for (int quiet = 0; quiet < 4;) {
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            const size_t now = sim::journal().size();
            quiet = now > 0 && now == seen ? quiet + 1 : 0;
            seen = now;
        }
        std::string error;
        EXPECT_TRUE(sim::apply(failure, &error)) << error;
        config.release_enclosure_lock();
    });
    const Answer waited = build(url);
    monitor.join();
    EXPECT_TRUE(waited.body == after.body) << "the page shows the slot as before";
}

}  // namespace
