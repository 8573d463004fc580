// What a port change builds on: the host the browser is sent to, taken from
// the request's Host header only when it is a plain host name or address,
// and the check that the daemon can listen on the new port. Changes that
// the configuration file cannot take: each action answers that it was not
// saved and changes nothing.
#include "web/actions/daemon_settings_handler.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstring>
#include <memory>
#include <regex>
#include <string>

#include "daemon/config_store.h"
#include "daemon/daemon_context.h"
#include "daemon/http_codes.h"
#include "driver/message_catalogue.h"
#include "tests/support/files.h"
#include "tests/support/loopback.h"
#include "web/actions/handler_frame.h"

namespace {

TEST(PortChangeHost, OnlyAPlainHostOfTheHeaderIsTaken) {
    struct Case {
        const char* header;
        const char* host;  // null: refused
    } const cases[] = {
        {"127.0.0.1:888", "127.0.0.1"},
        {"raid-box.example.org", "raid-box.example.org"},
        {"raid-box:8443", "raid-box"},
        {"[::1]:888", "[::1]"},
        {"[fe80::1%eth0]:888", nullptr},
        {"[::1", nullptr},
        {"[]:888", nullptr},
        {"", nullptr},
        {":888", nullptr},
        {"<unknown>", nullptr},
        {"evil\";alert(1)//:888", nullptr},
        {"host name", nullptr},
        {"host/path", nullptr},
        {"h\xC3\xA4st", nullptr},
        {nullptr, nullptr},
    };
    for (const Case& c : cases) {
        char out[64] = "unchanged";
        const bool taken = host_of_header(c.header, out, sizeof out);
        EXPECT_EQ(taken, c.host != nullptr) << (c.header != nullptr ? c.header : "(none)");
        EXPECT_STREQ(out, c.host != nullptr ? c.host : "")
            << (c.header != nullptr ? c.header : "(none)");
    }
    // At most 63 characters.
    const std::string longest(63, 'a');
    char out[64];
    EXPECT_TRUE(host_of_header(longest.c_str(), out, sizeof out));
    EXPECT_FALSE(host_of_header((longest + "a").c_str(), out, sizeof out));
    EXPECT_FALSE(host_of_header((longest + ":1").c_str(), out, sizeof out));
}

TEST(PortChangeProbe, APortInUseCannotBeListenedOn) {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    ASSERT_GE(fd, 0);
    sockaddr_in a;
    std::memset(&a, 0, sizeof a);
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_ANY);
    socklen_t length = sizeof a;
    ASSERT_EQ(bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
    ASSERT_EQ(listen(fd, 1), 0);
    ASSERT_EQ(getsockname(fd, reinterpret_cast<sockaddr*>(&a), &length), 0);
    const int port = ntohs(a.sin_port);
    EXPECT_FALSE(port_can_listen(port));
    close(fd);
    // Free again, and not kept by the probe.
    EXPECT_TRUE(port_can_listen(port));
    EXPECT_TRUE(port_can_listen(port));
    EXPECT_FALSE(port_can_listen(0));
    EXPECT_FALSE(port_can_listen(65536));
}

// The answer of a settings request: the handler's result, the redirect
// page's message, the cookie set, the page.
struct Answer {
    int result;
    std::string message;
    std::string cookie;
    std::string body;
};

Answer ask_page4(DaemonContext* context, ConfigStore* config, MessageCatalogue* catalogue,
           const std::string& query, const char* form = nullptr) {
    const std::string url = "/page4.html?" + query;
    PageBuilder page(config, catalogue);
    page.set_access_level(kAccessAdmin);
    const PageRequest request{url.c_str(), "127.0.0.1:888", "127.0.0.1", form, nullptr,
                              kAccessAdmin};
    Answer a;
    a.result = handle_page4(context, &page, request);
    a.body.assign(page.get_body(), static_cast<size_t>(page.get_body_length()));
    a.cookie = page.get_cookie() != nullptr ? page.get_cookie() : "";
    std::smatch m;
    static const std::regex kMessage("parent\\.lastmessage = \"<font[^>]*>(&nbsp;)*(.*)</font>\";");
    a.message = std::regex_search(a.body, m, kMessage) ? m[2].str() : "no message in: " + a.body;
    return a;
}

// A port no one listens on now.
int free_port() {
    test_support::LoopbackSocket probe(false);
    return probe.port;
}

// The configuration file's directory is gone once the daemon has read it,
// as if the disk were full or read-only: nothing can be written.
class UnsavedSettings : public ::testing::Test {
  protected:
    void SetUp() override {
        etc_ = dir_.file("etc");
        ASSERT_EQ(mkdir(etc_.c_str(), 0700), 0);
        config_ = std::make_unique<ConfigStore>((etc_ + "/pyv2.conf").c_str());
        // The machine's command log is not written by the tests.
        ASSERT_EQ(config_->set_command_log(0), 0);
        config_->set_catalogue(&catalogue_);
        context_ = std::make_unique<DaemonContext>(config_.get(), &catalogue_);
        before_ = test_support::read_file(etc_ + "/pyv2.conf");
        ASSERT_EQ(rename(etc_.c_str(), dir_.file("away").c_str()), 0);
    }
    void TearDown() override {
        ASSERT_EQ(rename(dir_.file("away").c_str(), etc_.c_str()), 0);
        EXPECT_EQ(test_support::read_file(etc_ + "/pyv2.conf"), before_);
        EXPECT_EQ(test_support::entries_in(etc_), 1);
    }
    Answer ask(const std::string& query, const char* form = nullptr) {
        return ask_page4(context_.get(), config_.get(), &catalogue_, query, form);
    }

    test_support::TempDir dir_;
    std::string etc_, before_;
    MessageCatalogue catalogue_;
    std::unique_ptr<ConfigStore> config_;
    std::unique_ptr<DaemonContext> context_;
};

TEST_F(UnsavedSettings, EveryChangeAnswersNotSavedAndKeepsTheOldValue) {
    const std::string not_saved = "Failed to save the configuration file : ";
    const std::string port = std::to_string(free_port());
    struct Case {
        std::string query;
        const char* form;
        std::string message;
    } const cases[] = {
        {"ChangeEmailEnable=1&c=0", nullptr, "E-mail notification status unchanged"},
        {"EmailSender=ops%40example.org&EmailServer=mail.example.org&EmailServerPort=587"
         "&EmailSecurePort=1&c=0",
         nullptr, "E-mail notification settings unchanged"},
        {"EmailSeverity=1&c=0", nullptr, "E-mail notification severity unchanged"},
        {"Refresh=3&c=0", nullptr, "Page refresh time unchanged"},
        {"RemoteAccess=1&c=0", nullptr, "Remote access state unchanged"},
        {"CommandLog=1&c=0", nullptr, "(0x0C:0x001F): Operation aborted"},
        {"Language=1&c=0", nullptr, "Language setting unchanged"},
        {"Port=" + port + "&c=0", nullptr, "Listening Port unchanged"},
        {"c=0&u=-2&cp=1", "curpwd=pyv2&whopwd=u&newpwd=fresh1&cfmpwd=fresh1",
         "User Password unchanged"},
        {"c=0&u=-2&cp=1", "curpwd=pyv2&whopwd=a&newpwd=fresh2&cfmpwd=fresh2",
         "Administrator Password unchanged"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.query);
        const Answer a = ask(c.query, c.form);
        EXPECT_EQ(a.message, not_saved + c.message);
        // A redirect page: no listener rebuilt, no new language taken over,
        // no new login cookie.
        EXPECT_EQ(a.result, 0);
        EXPECT_EQ(a.body.find("parent.lang"), std::string::npos);
        EXPECT_EQ(a.cookie, "");
    }
    EXPECT_EQ(config_->get_email_enable(), 0);
    EXPECT_STREQ(config_->get_email_sender(), "[none]");
    EXPECT_STREQ(config_->get_email_server(), "[none]");
    EXPECT_EQ(config_->get_email_server_port_last_set_to(), 25);
    EXPECT_EQ(config_->get_email_server_port_flag(), 0);
    EXPECT_EQ(config_->get_email_severity(), 3);
    EXPECT_EQ(config_->get_refresh(), 5);
    EXPECT_EQ(config_->get_remote_access(), 0);
    EXPECT_EQ(config_->get_command_log(), 0);
    EXPECT_EQ(config_->get_language(), 0);
    EXPECT_EQ(config_->get_port(), 888);
    EXPECT_STREQ(config_->get_ro_pwd(), "gZvut5gu9qKCM");
    EXPECT_STREQ(config_->get_admin_pwd(), "gZvut5gu9qKCM");
}

// The mail settings are stored one key after another: the first key the
// file cannot take (here it would grow the file past the size the process
// may write) ends the action; the keys before it stay stored, the keys
// after it are not tried.
TEST(MailSettingsNotSaved, TheFirstKeyTheFileCannotTakeEndsTheAction) {
    test_support::TempDir dir;
    const std::string path = dir.file("pyv2.conf");
    ConfigStore config(path.c_str());
    MessageCatalogue catalogue;
    ASSERT_EQ(config.set_command_log(0), 0);
    config.set_catalogue(&catalogue);
    DaemonContext context(&config, &catalogue);
    const long size = static_cast<long>(test_support::read_file(path).size());
    const std::string recipient(100, 'r');

    rlimit old_limit;
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old_limit), 0);
    rlimit limit = old_limit;
    limit.rlim_cur = static_cast<rlim_t>(size + 16);
    void (*old_handler)(int) = std::signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limit), 0);
    const Answer a = ask_page4(&context, &config, &catalogue,
                         "EmailSender=a%40b.c&EmailRecipient=" + recipient +
                             "%40example.org&EmailServer=mail.example.org&c=0");
    setrlimit(RLIMIT_FSIZE, &old_limit);
    std::signal(SIGXFSZ, old_handler);

    EXPECT_EQ(a.message,
              "Failed to save the configuration file : E-mail notification settings unchanged");
    EXPECT_STREQ(config.get_email_sender(), "a@b.c");
    EXPECT_STREQ(config.get_email_recipient(), "[none]");
    EXPECT_STREQ(config.get_email_server(), "[none]");
    const std::string file = test_support::read_file(path);
    EXPECT_NE(file.find("EmailSender a@b.c\n"), std::string::npos);
    EXPECT_NE(file.find("EmailRecipient [none]\n"), std::string::npos);
    EXPECT_EQ(test_support::entries_in(dir.path()), 1);
}

}  // namespace
