// The monitor's event pass on simulated controllers: which events reach
// which event file, the first read of each controller, new events at the
// head, a ring that wrapped between two passes, a restart that reads every
// queued event again, the marks for the enclosure step, a stop before or
// within a pass, the events of one pass judged one after another, the
// mails only of events a written text file took, and the notice of the
// alert mails a full mail queue turned away.
#include "daemon/monitor.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <ctime>
#include <memory>
#include <mutex>
#include <set>
#include <sstream>
#include <string>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <syslog.h>
#include <thread>
#include <unistd.h>
#include <utility>
#include <vector>

#include "daemon/alert_mail.h"
#include "daemon/config_store.h"
#include "daemon/event_log.h"
#include "daemon/monitor_log.h"
#include "driver/message_catalogue.h"
#include "tests/api/library_machine.h"
#include "tests/support/files.h"
#include "tests/support/loopback.h"

namespace {

using test_support::read_file;
using test_support::TempDir;
using test_support::write_file;

// The monitor's notices, as a test's sink gets them.
std::vector<std::pair<int, std::string>> notices;
void keep_notice(int priority, const char* line) { notices.emplace_back(priority, line); }

// Controller 0 is of the first series, 2 and 3 of the second (3 with
// nothing queued).
#define MONITOR_MACHINE                                                \
    "driver name=dq-xxxx pairing=proc\n"                               \
    "driver name=dq-Mxxx pairing=sysfs\n"                              \
    "controller index=0 driver=dq-xxxx ports=4 serial=L0\n"            \
    "  event code=0x000A param=2\n"                                    \
    "controller index=2 driver=dq-Mxxx arch=7 ports=8 serial=M2\n"     \
    "  event code=0x0019 severity=2 text=\"port=3\" time=1700000000\n" \
    "  event code=0x0031 severity=3 time=1700000005\n"                 \
    "  event code=0x0055 severity=4 time=1700000006\n"                 \
    "  event code=0x0002 severity=1 text=\"unit=0\" time=1700000010\n" \
    "controller index=3 driver=dq-Mxxx arch=7 ports=4 serial=E3\n"
PYV2_LIBRARY_MACHINE(MONITOR_MACHINE);

std::vector<std::string> lines_of(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

class MonitorPass : public ::testing::Test {
  protected:
    void SetUp() override {
        // The state file keeps the queues across reload_scenario, as across
        // a restart of the daemon.
        machine_ = "state file=" + dir_.file("state") + "\n" MONITOR_MACHINE;
        reload_scenario(machine_);
        config_ = std::make_unique<ConfigStore>(dir_.file("pyv2.conf").c_str());
        fresh_state();
    }

    // The monitor's state as it starts.
    void fresh_state() {
        std::memset(&state_, 0, sizeof state_);
        state_.config = config_.get();
        state_.event_dir = events_.path().c_str();
        state_.catalogue = &catalogue_;
        ASSERT_EQ(ctl_list_controllers(&state_.controllers), 0);
        ASSERT_EQ(state_.controllers.count, 3u);
        for (uint32_t& flag : state_.first_read) flag = 1;
    }

    std::string text_file(const char* serial) {
        return read_file(events_.file(std::string("wox_aen_") + serial + ".txt"));
    }
    std::string binary_file(const char* serial) {
        return read_file(events_.file(std::string("wox_aen_") + serial + ".bin"));
    }

    // The codes of the binary file's records, newest first.
    std::vector<uint32_t> binary_codes(const char* serial) {
        std::string bytes = binary_file(serial);
        std::vector<uint32_t> codes;
        for (size_t at = 0; at + kAenRecordSize <= bytes.size(); at += kAenRecordSize) {
            AenRecord r;
            decode_aen_record(reinterpret_cast<const uint8_t*>(bytes.data()) + at, &r);
            codes.push_back(r.code);
        }
        return codes;
    }

    TempDir dir_, events_;
    std::string machine_;
    MessageCatalogue catalogue_;
    std::unique_ptr<ConfigStore> config_;
    MonitorState state_;
};

TEST_F(MonitorPass, EachEventToItsFiles) {
    EXPECT_EQ(poll_aens(state_, nullptr), 0);
    // Code 49 is stored nowhere, severity 4 in the binary file only.
    EXPECT_EQ(binary_codes("M2"), (std::vector<uint32_t>{0x02, 0x55, 0x19}));
    EXPECT_EQ(text_file("M2"),
              "20231114221330 ERROR (0x04:0x0002): Degraded unit: unit=0\n"
              "20231114221320 WARNING (0x04:0x0019): Drive removed: port=3\n");
    AenRecord newest;
    decode_aen_record(reinterpret_cast<const uint8_t*>(binary_file("M2").data()), &newest);
    EXPECT_EQ(newest.controller_index, 2u);
    EXPECT_EQ(newest.category, 4u);
    EXPECT_EQ(newest.time, 1700000010u);

    // The first series' event carries the host's time of its reading, as
    // local time, and the texts of category 15.
    const time_t before = time(nullptr);
    std::vector<std::string> first = lines_of(text_file("L0"));
    ASSERT_EQ(first.size(), 1u);
    struct tm local;
    localtime_r(&before, &local);
    char day[16];
    strftime(day, sizeof day, "%Y%m%d", &local);
    EXPECT_EQ(first[0].substr(0, 8), day);
    EXPECT_EQ(binary_codes("L0"), (std::vector<uint32_t>{0x0A}));
    AenRecord legacy;
    decode_aen_record(reinterpret_cast<const uint8_t*>(binary_file("L0").data()), &legacy);
    EXPECT_EQ(legacy.category, 15u);
    EXPECT_LE(static_cast<time_t>(legacy.time) - before, 2);

    // A controller without events has no files and keeps asking for its
    // first event.
    EXPECT_EQ(text_file("E3"), "");
    EXPECT_EQ(state_.first_read[2], 1u);
    EXPECT_EQ(state_.first_read[1], 0u);
    change_machine("event index=3 code=0x001A severity=3 text=\"port=1\" time=1700000100\n");
    poll_aens(state_, nullptr);
    EXPECT_EQ(text_file("E3"),
              "20231114221500 INFORMATION (0x04:0x001A): Drive inserted: port=1\n");
}

TEST_F(MonitorPass, NewEventsAtTheHeadAndNothingTwice) {
    poll_aens(state_, nullptr);
    const std::string text = text_file("M2"), binary = binary_file("M2");
    poll_aens(state_, nullptr);
    EXPECT_EQ(text_file("M2"), text);
    EXPECT_EQ(binary_file("M2"), binary);

    change_machine("event index=2 code=0x000B severity=3 text=\"unit=0\" time=1700000020\n");
    poll_aens(state_, nullptr);
    EXPECT_EQ(lines_of(text_file("M2")).front(),
              "20231114221340 INFORMATION (0x04:0x000B): Rebuild started: unit=0");
    EXPECT_EQ(lines_of(text_file("M2")).size(), 3u);

    // A restart: the queues come back from the state file, the monitor
    // reads every queued event again and stores none of them twice.
    const std::string text_before = text_file("M2"), l0_before = text_file("L0");
    reload_scenario(machine_);
    fresh_state();
    poll_aens(state_, nullptr);
    EXPECT_EQ(text_file("M2"), text_before);
    EXPECT_EQ(text_file("L0"), l0_before);  // the first series handed its event out already
    EXPECT_EQ(binary_codes("M2").size(), 4u);
}

TEST_F(MonitorPass, EventsTheRingWroteOverBetweenTwoPasses) {
    poll_aens(state_, nullptr);
    // 300 events arrive before the next pass: the ring keeps the newest
    // 256, and the monitor goes on from the oldest of them.
    std::string lines;
    for (int i = 0; i < 300; i++)
        lines += "event index=2 code=0x000B severity=3 text=\"n=" + std::to_string(i) +
                 "\" time=" + std::to_string(1700000100 + i) + "\n";
    change_machine(lines);
    poll_aens(state_, nullptr);
    std::vector<std::string> text = lines_of(text_file("M2"));
    ASSERT_EQ(text.size(), 2u + 256u);
    EXPECT_NE(text.front().find("n=299"), std::string::npos);
    EXPECT_NE(text[255].find("n=44"), std::string::npos);
    // And events after those are read as they come.
    change_machine("event index=2 code=0x0002 severity=1 text=\"unit=1\" time=1700001000\n");
    poll_aens(state_, nullptr);
    EXPECT_NE(lines_of(text_file("M2")).front().find("unit=1"), std::string::npos);
    std::set<std::string> distinct(text.begin(), text.end());
    EXPECT_EQ(distinct.size(), text.size());
}

TEST_F(MonitorPass, MarksForTheEnclosureStepOnlyOnceItHasChecked) {
    poll_aens(state_, nullptr);
    const char* events =
        "event index=2 code=98 severity=2 time=1700000200\n"
        "event index=3 code=99 severity=4 time=1700000201\n";  // severity 4 marks nothing
    change_machine(events);
    EXPECT_EQ(poll_aens(state_, nullptr), 0);
    EXPECT_EQ(state_.enclosure_changed[1], 0u);

    state_.baseline_ready = 1;
    change_machine(std::string(events) + "event index=3 code=1 severity=3 time=1700000202\n");
    EXPECT_EQ(poll_aens(state_, nullptr), 1);
    EXPECT_EQ(state_.enclosure_changed[0], 0u);
    EXPECT_EQ(state_.enclosure_changed[1], 1u);
    EXPECT_EQ(state_.enclosure_changed[2], 1u);
}

// A controller that cannot tell its serial number (busy, pulled, a failed
// read) keeps its events for a later pass instead of filing them under an
// empty name; so does the first series, whose reads take events off the
// queue.
TEST_F(MonitorPass, AControllerThatCannotTellItsSerialKeepsItsEvents) {
    change_machine(
        "fault index=2 table=0x402 parameter=9 firmware-code=0x010C\n"
        "fault index=0 firmware-code=0x00C4\n");
    poll_aens(state_, nullptr);
    EXPECT_EQ(binary_file(""), "");
    EXPECT_EQ(text_file(""), "");
    EXPECT_EQ(binary_file("M2"), "");
    EXPECT_EQ(binary_file("L0"), "");
    EXPECT_EQ(state_.first_read[1], 1u);
    poll_aens(state_, nullptr);
    EXPECT_EQ(binary_codes("M2"), (std::vector<uint32_t>{0x02, 0x55, 0x19}));
    EXPECT_EQ(binary_codes("L0"), (std::vector<uint32_t>{0x0A}));
    EXPECT_EQ(binary_file(""), "");
}

TEST_F(MonitorPass, AStopEndsThePassBetweenTwoEvents) {
    MonitorControl control;
    control.request_stop();
    poll_aens(state_, &control);
    EXPECT_EQ(binary_file("M2"), "");
    EXPECT_EQ(state_.first_read[1], 1u);
    // A pause asked of a stopped monitor ends at once.
    EXPECT_TRUE(control.pause(kMonitorPassMicroseconds));
}

// A stop that comes while a controller's events are read ends the pass
// there, and the events read so far are stored: the first series hands
// each event out once. The stop comes with the first event read: taking
// it off the simulated queue saves the simulator's state file.
TEST_F(MonitorPass, AStopWithinAPassStoresTheEventsRead) {
    const int watch = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    ASSERT_GE(watch, 0);
    ASSERT_GE(inotify_add_watch(watch, dir_.path().c_str(), IN_MOVED_TO), 0);
    MonitorControl control(watch);
    poll_aens(state_, &control);
    close(watch);
    EXPECT_EQ(binary_codes("L0"), (std::vector<uint32_t>{0x0A}));
    EXPECT_EQ(lines_of(text_file("L0")).size(), 1u);
    EXPECT_EQ(binary_file("M2"), "");  // the pass ended before it
    EXPECT_EQ(state_.first_read[1], 1u);
}

// A clear of the event files while a pass waits to store its events: the
// pass reads the files only once it holds their lock, so what it writes
// holds its events and nothing the clear took away.
TEST_F(MonitorPass, APassDoesNotUndoAClear) {
    const std::string text = events_.file("wox_aen_L0.txt");
    ASSERT_TRUE(write_file(text, "20200101000000 ERROR An alarm cleared away\n"));
    std::thread pass;
    {
        std::lock_guard<std::mutex> hold(event_file_lock());
        pass = std::thread([this] { poll_aens(state_, nullptr); });
        usleep(200000);  // the pass reads its first controller's event meanwhile
        EXPECT_TRUE(write_file(text, ""));  // as the alarms page clears it
    }
    pass.join();
    std::vector<std::string> lines = lines_of(text_file("L0"));
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].find("An alarm cleared away"), std::string::npos);
}

// Mails are counted through a mailer that is not running: it refuses each
// one, and the pass's notice says how many the monitor tried to send.
class MonitorMails : public MonitorPass {
  protected:
    void SetUp() override {
        MonitorPass::SetUp();
        ASSERT_TRUE(write_file(dir_.file("pyv2.conf"), "EmailEnable 1\n"));
        ASSERT_EQ(config_->read_file(), 0);
        mailer_ = std::make_unique<AlertMailer>(config_.get());
        state_.mailer = mailer_.get();
        notices.clear();
        set_monitor_log_sink(keep_notice);
    }
    void TearDown() override { set_monitor_log_sink(nullptr); }

    // The mails the last pass tried to send.
    int mails_of_pass() {
        notices.clear();
        poll_aens(state_, nullptr);
        if (notices.empty()) return 0;
        int n = -1;
        EXPECT_EQ(std::sscanf(notices.back().second.c_str(), "MAIL: %d alert", &n), 1);
        return n;
    }

    std::unique_ptr<AlertMailer> mailer_;  // never started
};

// The events of one pass are judged one after another against what the
// events before them put into the files: one read twice, or older than
// one before it, is stored and mailed once.
TEST_F(MonitorMails, EventsOfAPassJudgedAgainstTheOnesBeforeThem) {
    ASSERT_EQ(mails_of_pass(), 3);
    change_machine(
        "event index=2 code=0x000B severity=3 text=\"unit=0\" time=1700000300\n"
        "event index=2 code=0x000B severity=3 text=\"unit=0\" time=1700000300\n"
        "event index=2 code=0x0002 severity=1 text=\"unit=1\" time=1700000250\n");
    EXPECT_EQ(mails_of_pass(), 1);
    EXPECT_EQ(lines_of(text_file("M2")),
              (std::vector<std::string>{
                  "20231114221820 INFORMATION (0x04:0x000B): Rebuild started: unit=0",
                  "20231114221330 ERROR (0x04:0x0002): Degraded unit: unit=0",
                  "20231114221320 WARNING (0x04:0x0019): Drive removed: port=3"}));
    EXPECT_EQ(binary_codes("M2"), (std::vector<uint32_t>{0x0B, 0x02, 0x55, 0x19}));
}

// A text file that cannot be written mails none of the events it would
// have taken; the binary file and the other controllers' files are
// written all the same.
TEST_F(MonitorMails, ATextFileNotWrittenMailsNothing) {
    // A directory in the text file's place: its rename fails.
    ASSERT_EQ(mkdir(events_.file("wox_aen_M2.txt").c_str(), 0700), 0);
    EXPECT_EQ(mails_of_pass(), 1);  // the first-series controller's event
    EXPECT_EQ(binary_codes("M2"), (std::vector<uint32_t>{0x02, 0x55, 0x19}));
    EXPECT_EQ(lines_of(text_file("L0")).size(), 1u);
}

// Alert mails that the mailer's full queue turns away are counted: a pass
// that dropped any ends with one warning that says how many, a pass that
// dropped none says nothing.
TEST_F(MonitorPass, APassWhoseMailsTheFullQueueRefusedSaysHowMany) {
    // A mail server that takes the connection and never answers: the first
    // mail waits in its TLS handshake (ten seconds) while the queue fills.
    test_support::LoopbackSocket server(true);
    ASSERT_GT(server.port, 0);
    ASSERT_TRUE(write_file(dir_.file("pyv2.conf"),
                           "EmailEnable 1\nEmailServer 127.0.0.1\nEmailServerPortFlag 1\n"
                           "EmailServerSSLPort " + std::to_string(server.port) +
                               "\nEmailRecipient ops@example.org\n"));
    ASSERT_EQ(config_->read_file(), 0);
    AlertMailer mailer(config_.get());
    ASSERT_EQ(mailer.start(), 0);
    state_.mailer = &mailer;
    notices.clear();
    set_monitor_log_sink(keep_notice);

    ASSERT_EQ(mailer.post("under way"), 0);
    for (int i = 0; i < 50 && !server.has_pending_connection(); i++) usleep(100000);
    ASSERT_TRUE(server.has_pending_connection());
    int queued = 0;
    while (mailer.post("waiting") == 0) queued++;
    ASSERT_EQ(queued, AlertMailer::kQueueRoom);

    // The machine's own events: three reach the text files and are mailed.
    poll_aens(state_, nullptr);
    ASSERT_EQ(notices.size(), 1u);
    EXPECT_EQ(notices[0].first, LOG_WARNING);
    EXPECT_EQ(notices[0].second, "MAIL: 3 alert mail(s) dropped: the mail queue was full or the mailer not "
              "running.\n");
    EXPECT_EQ(lines_of(text_file("M2")).size(), 2u);  // stored all the same

    // No new event, no mail, no notice.
    poll_aens(state_, nullptr);
    EXPECT_EQ(notices.size(), 1u);

    // Events of two controllers in one pass: one notice for all of them.
    change_machine(
        "event index=2 code=0x000B severity=3 text=\"unit=0\" time=1700000300\n"
        "event index=2 code=0x0002 severity=1 text=\"unit=1\" time=1700000301\n"
        "event index=3 code=0x0019 severity=2 text=\"port=1\" time=1700000302\n"
        "event index=3 code=0x001A severity=3 text=\"port=1\" time=1700000303\n"
        "event index=3 code=0x0055 severity=4 time=1700000304\n");
    poll_aens(state_, nullptr);
    ASSERT_EQ(notices.size(), 2u);
    EXPECT_EQ(notices[1].second, "MAIL: 4 alert mail(s) dropped: the mail queue was full or the mailer not "
              "running.\n");
    EXPECT_EQ(state_.mails_dropped, 0u);

    set_monitor_log_sink(nullptr);
    mailer.stop();
}

}  // namespace
