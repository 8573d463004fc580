#include "daemon/mail_sender.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "daemon/config_store.h"
#include "daemon/host_identity.h"
#include "tests/support/files.h"
#include "tests/support/loopback.h"

using test_support::LoopbackSocket;
using test_support::read_file;
using test_support::run_capture;
using test_support::TempDir;
using test_support::write_file;

namespace {

std::string host_name()
{
    HostIdentity host;
    return host.get_host_name();
}

// The local ports the kernel chooses from for a connection that binds none.
void ephemeral_ports(int* low, int* high)
{
    *low = *high = 0;
    std::string range = read_file("/proc/sys/net/ipv4/ip_local_port_range");
    std::sscanf(range.c_str(), "%d %d", low, high);
}

// The real SMTP server of tests/daemon/data/smtp_peer.py, started for one
// test and stopped with it.
class SmtpPeer {
public:
    explicit SmtpPeer(const std::vector<std::string>& options)
    {
        const char* data = std::getenv("PYV2_TEST_DATA");
        std::string script = std::string(data != nullptr ? data : "tests/daemon/data") + "/smtp_peer.py";
        std::vector<std::string> args = {"/usr/bin/python3", script, "--out", out_.path()};
        args.insert(args.end(), options.begin(), options.end());
        int fds[2];
        if (pipe(fds) != 0)
            return;
        pid_ = fork();
        if (pid_ == 0) {
            dup2(fds[1], 1);
            int err = open(out_.file("stderr.log").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            if (err >= 0)
                dup2(err, 2);
            close(fds[0]);
            close(fds[1]);
            std::vector<char*> argv;
            for (std::string& a : args)
                argv.push_back(a.data());
            argv.push_back(nullptr);
            execv(argv[0], argv.data());
            _exit(127);
        }
        close(fds[1]);
        std::string line;
        char c;
        pollfd p = {fds[0], POLLIN, 0};
        while (line.find('\n') == std::string::npos && poll(&p, 1, 20000) == 1 && read(fds[0], &c, 1) == 1)
            line += c;
        close(fds[0]);
        port_ = std::atoi(line.c_str());
    }
    ~SmtpPeer()
    {
        if (pid_ > 0) {
            kill(pid_, SIGTERM);
            waitpid(pid_, nullptr, 0);
        }
    }
    int port() const { return port_; }
    std::string file(const std::string& name) const { return read_file(out_.file(name)); }

private:
    TempDir out_;
    pid_t pid_ = -1;
    int port_ = 0;
};

// A server that plays a fixed list of replies: the first is the greeting,
// each later one answers one command line (after "DATA" the message block
// is read first). An empty reply drops the connection. Every line it gets is
// kept.
class ScriptedPeer {
public:
    explicit ScriptedPeer(std::vector<std::string> replies) : socket_(true), replies_(std::move(replies))
    {
        thread_ = std::thread([this] { serve(); });
    }
    ~ScriptedPeer() { thread_.join(); }
    int port() const { return socket_.port; }
    // The lines received; valid once the sender has returned.
    std::vector<std::string> received()
    {
        thread_.join();
        thread_ = std::thread([] {});
        return received_;
    }

private:
    bool read_until(int fd, const std::string& end, std::string* text)
    {
        char c;
        while (text->size() < end.size() || text->compare(text->size() - end.size(), end.size(), end) != 0) {
            pollfd p = {fd, POLLIN, 0};
            if (poll(&p, 1, 5000) != 1 || read(fd, &c, 1) != 1)
                return false;
            *text += c;
        }
        text->resize(text->size() - end.size());
        return true;
    }
    void serve()
    {
        pollfd p = {socket_.fd, POLLIN, 0};
        if (poll(&p, 1, 10000) != 1)
            return;
        int fd = accept(socket_.fd, nullptr, nullptr);
        bool dropped = false;
        for (size_t i = 0; i < replies_.size() && !dropped; i++) {
            if (i > 0) {
                std::string line;
                if (!read_until(fd, "\r\n", &line))
                    break;
                received_.push_back(line);
                if (line == "DATA" && !replies_[i].empty()) {
                    say(fd, replies_[i++]);
                    line.clear();
                    if (i >= replies_.size() || !read_until(fd, "\r\n.\r\n", &line))
                        break;
                    received_.push_back(line);
                }
            }
            if (replies_[i].empty())
                dropped = true;
            else
                say(fd, replies_[i]);
        }
        // What the client says before it closes (its QUIT), unless dropped.
        std::string rest;
        if (!dropped && read_until(fd, "\r\n", &rest))
            received_.push_back(rest);
        close(fd);
    }
    void say(int fd, const std::string& reply)
    {
        std::string line = reply + "\r\n";
        send(fd, line.data(), line.size(), MSG_NOSIGNAL);
    }

    LoopbackSocket socket_;
    std::vector<std::string> replies_;
    std::vector<std::string> received_;
    std::thread thread_;
};

class MailSenderTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        cert_dir_ = new TempDir;
        std::string out;
        int rc = run_capture("openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj /CN=peer.test -keyout " +
                                 cert_dir_->file("key.pem") + " -out " + cert_dir_->file("cert.pem") + " 2>&1",
                             &out);
        ASSERT_EQ(rc, 0) << out;
    }
    static void TearDownTestSuite()
    {
        delete cert_dir_;
        cert_dir_ = nullptr;
    }
    static std::vector<std::string> tls_options()
    {
        return {"--cert", cert_dir_->file("cert.pem"), "--key", cert_dir_->file("key.pem")};
    }

    // A configuration that sends to 127.0.0.1:port, over TLS when tls is 1.
    ConfigStore& config_for(int port, int tls, const std::string& extra = "")
    {
        std::string text = "EmailServer 127.0.0.1\nEmailServerNoSSLPort " + std::to_string(port) +
                           "\nEmailServerSSLPort " + std::to_string(port) + "\nEmailServerPortFlag " +
                           std::to_string(tls) +
                           "\nEmailSender ops@example.org\nEmailRecipient admin@example.org\n" + extra;
        write_file(dir_.file("pyv2.conf"), text);
        config_ = std::make_unique<ConfigStore>(dir_.file("pyv2.conf").c_str());
        config_->read_file();
        return *config_;
    }

    static TempDir* cert_dir_;
    TempDir dir_;
    std::unique_ptr<ConfigStore> config_;
};

TempDir* MailSenderTest::cert_dir_ = nullptr;

const char kBody[] = "Mar 01, 2009 02:05:09PM - Controller 0\r\nERROR - Drive removed";

}  // namespace

// The envelope as the server received it, and the port the mail came from:
// the configured source port, or one the kernel chose.
TEST_F(MailSenderTest, DeliversPlainAndOverTls)
{
    struct Case {
        int tls;
        const char* sender;
        std::string envelope_from;
        bool source_port;
    } cases[] = {
        {0, "ops@example.org", "ops@example.org", false},
        {0, "Ops Team", "Ops@" + host_name(), true},
        {1, "ops@example.org", "ops@example.org", true},
        {1, "Ops Team", "Ops@" + host_name(), false},
    };
    int lowest = 0, highest = 0;
    ephemeral_ports(&lowest, &highest);
    ASSERT_GT(lowest, 0);
    for (const Case& c : cases) {
        SmtpPeer peer(c.tls ? tls_options() : std::vector<std::string>{});
        ASSERT_GT(peer.port(), 0);
        int source_port = 0;
        if (c.source_port) {
            LoopbackSocket probe(false);
            source_port = probe.port;
        }
        ConfigStore& config = config_for(
            peer.port(), c.tls, c.source_port ? "EmailSourcePort " + std::to_string(source_port) + "\n" : "");
        ASSERT_EQ(config.set_email_sender(c.sender), 0);
        MailSender sender(&config);
        EXPECT_EQ(sender.send_alert(kBody), 112) << c.tls << " " << c.sender;
        const std::string envelope = peer.file("mail-1.env");
        const std::string head = "from " + c.envelope_from + "\nrcpt admin@example.org\npeer_port ";
        ASSERT_EQ(envelope.substr(0, head.size()), head);
        const int port = std::atoi(envelope.c_str() + head.size());
        EXPECT_EQ(envelope, head + std::to_string(port) + "\n");
        if (c.source_port) {
            EXPECT_EQ(port, source_port);
        } else {
            EXPECT_GE(port, lowest);
            EXPECT_LE(port, highest);
        }
        std::string mail = peer.file("mail-1.eml");
        EXPECT_EQ(mail.find("Date: "), 0u) << mail;
        for (const std::string& piece :
             {std::string("\r\nFrom: ") + c.sender + "\r\n", std::string("\r\nTo: admin@example.org\r\n"),
              "\r\nSubject: QEL Pyv2 alert -- host: " + host_name() + "\r\n\r\n" + kBody + "\r\n"})
            EXPECT_NE(mail.find(piece), std::string::npos) << piece << "\n" << mail;
        // No login: no authentication, although the server offers it.
        EXPECT_EQ(peer.file("auth.log"), "");
    }
}

TEST_F(MailSenderTest, AuthenticatesWithPlainOrLogin)
{
    struct Case {
        int tls;
        bool login_only;
        const char* password;
        int result;
        const char* auth_line;
    } cases[] = {
        {0, false, "pw", 112, "PLAIN 626f62 7077 ok\n"},
        {0, true, "pw", 113, "LOGIN 626f62 7077 ok\n"},
        {1, false, "pw", 112, "PLAIN 626f62 7077 ok\n"},
        {1, true, "pw", 113, "LOGIN 626f62 7077 ok\n"},
        {0, false, "wrong", 5, "PLAIN 626f62 77726f6e67 refused\n"},
        {0, true, "wrong", 5, "LOGIN 626f62 77726f6e67 refused\n"},
        {1, true, "wrong", 5, "LOGIN 626f62 77726f6e67 refused\n"},
    };
    for (const Case& c : cases) {
        std::vector<std::string> options = {"--user", "bob", "--password", "pw"};
        if (c.tls)
            for (const std::string& o : tls_options())
                options.push_back(o);
        if (c.login_only) {
            options.push_back("--exclude");
            options.push_back("PLAIN");
        }
        SmtpPeer peer(options);
        ASSERT_GT(peer.port(), 0);
        ConfigStore& config = config_for(peer.port(), c.tls, "EmailServerLogin bob\n");
        ASSERT_EQ(config.set_email_server_passwd(c.password), 0);
        MailSender sender(&config);
        int result = sender.send_alert(kBody);
        EXPECT_EQ(result, c.result) << c.auth_line;
        EXPECT_EQ(peer.file("auth.log"), c.auth_line);
        EXPECT_EQ(peer.file("mail-1.eml").empty(), c.result == 5);
        if (c.result == 5) {
            EXPECT_EQ(std::string(sender.escape_last_reply()).substr(0, 4), "535 ");
        }
    }
}

TEST_F(MailSenderTest, RecipientsSeparatedByCommaOrSemicolon)
{
    struct Case {
        const char* recipients;
        std::vector<std::string> refused;
        int result;
        std::string accepted;
    } cases[] = {
        {"a@x.test;b@x.test, c@x.test", {}, 112, "rcpt a@x.test\nrcpt b@x.test\nrcpt c@x.test\n"},
        {"a@x.test;  b@x.test,c@x.test", {"a@x.test", "c@x.test"}, 112, "rcpt b@x.test\n"},
        {"a@x.test,b@x.test", {"a@x.test", "b@x.test"}, 5, ""},
        {"a@x.test", {"a@x.test"}, 5, ""},
    };
    for (const Case& c : cases) {
        std::vector<std::string> options;
        for (const std::string& r : c.refused) {
            options.push_back("--refuse");
            options.push_back(r);
        }
        SmtpPeer peer(options);
        ASSERT_GT(peer.port(), 0);
        ConfigStore& config = config_for(peer.port(), 0);
        ASSERT_EQ(config.set_email_recipient(c.recipients), 0);
        MailSender sender(&config);
        EXPECT_EQ(sender.send_alert(kBody), c.result) << c.recipients;
        std::string envelope = peer.file("mail-1.env");
        if (c.result == 5) {
            EXPECT_EQ(envelope, "");
            continue;
        }
        EXPECT_NE(envelope.find("\n" + c.accepted + "peer_port"), std::string::npos) << envelope;
        EXPECT_NE(peer.file("mail-1.eml").find(std::string("\r\nTo: ") + c.recipients + "\r\n"), std::string::npos);
    }
}

// A body line that is a lone "." must not end the message early.
TEST_F(MailSenderTest, BodyLinesStartingWithADotArriveWhole)
{
    SmtpPeer peer({});
    ASSERT_GT(peer.port(), 0);
    ConfigStore& config = config_for(peer.port(), 0);
    MailSender sender(&config);
    const char body[] = ".first\r\n.\r\n..two\r\nQUIT\r\nlast";
    EXPECT_EQ(sender.send_alert(body), 112);
    EXPECT_NE(peer.file("mail-1.eml").find(std::string("\r\n\r\n") + body + "\r\n"), std::string::npos)
        << peer.file("mail-1.eml");
}

TEST_F(MailSenderTest, BindsTheConfiguredSourcePort)
{
    SmtpPeer peer({});
    ASSERT_GT(peer.port(), 0);
    int source_port;
    {
        LoopbackSocket probe(false);
        source_port = probe.port;
    }
    ConfigStore& config = config_for(peer.port(), 0, "EmailSourcePort " + std::to_string(source_port) + "\n");
    MailSender sender(&config);
    EXPECT_EQ(sender.send_alert(kBody), 112);
    EXPECT_NE(peer.file("mail-1.env").find("peer_port " + std::to_string(source_port) + "\n"), std::string::npos);
}

// Switching to TLS takes the TLS port and records it in the file.
TEST_F(MailSenderTest, PortInUseFollowsTheTlsFlag)
{
    SmtpPeer peer(tls_options());
    ASSERT_GT(peer.port(), 0);
    LoopbackSocket closed(false);
    ConfigStore& config = config_for(closed.port, 0);
    std::string text = "EmailServer 127.0.0.1\nEmailServerNoSSLPort " + std::to_string(closed.port) +
                       "\nEmailServerSSLPort " + std::to_string(peer.port()) + "\n";
    write_file(dir_.file("pyv2.conf"), text);
    ASSERT_EQ(config.read_file(), 0);
    ASSERT_EQ(config.get_email_server_port_last_set_to(), closed.port);
    ASSERT_EQ(config.set_email_server_port_flag(1), 0);
    MailSender sender(&config);
    EXPECT_EQ(sender.send_alert(kBody), 112);
    EXPECT_NE(read_file(dir_.file("pyv2.conf")).find("EmailServerPortLastSetTo " + std::to_string(peer.port()) + "\n"),
              std::string::npos);
    ASSERT_EQ(config.set_email_server_port_flag(0), 0);
    MailSender plain(&config);
    EXPECT_EQ(plain.send_alert(kBody), 4);
    EXPECT_EQ(config.get_email_server_port_last_set_to(), closed.port);
}

TEST_F(MailSenderTest, FailuresBeforeTheDialogue)
{
    LoopbackSocket listening(true);
    LoopbackSocket not_listening(false);
    const std::string port = std::to_string(listening.port);
    struct Case {
        const char* name;
        std::string settings;
        const char* body;
        int result;
    } cases[] = {
        {"empty body", "", "", 1},
        {"no server", "EmailServer \n", kBody, 2},
        {"default server", "EmailServer [none]\n", kBody, 2},
        {"source port taken", "EmailSourcePort " + port + "\n", kBody, 2},
        {"nothing listening", "EmailServerNoSSLPort " + std::to_string(not_listening.port) + "\n", kBody, 4},
        {"line break in sender", "EmailSender a@b\rRCPT To:<x@y>\n", kBody, 5},
        {"line break in recipients", "EmailRecipient a@b\rDATA\n", kBody, 5},
    };
    for (const Case& c : cases) {
        ConfigStore& config = config_for(listening.port, 0, c.settings);
        MailSender sender(&config);
        EXPECT_EQ(sender.send_alert(c.body), c.result) << c.name;
        EXPECT_FALSE(listening.has_pending_connection()) << c.name;
    }
}

// A server that accepts the connection and then says nothing: the sender
// gives up on its own.
TEST_F(MailSenderTest, SilentServerTimesOut)
{
    struct Case {
        int tls;
        double at_least;
        double at_most;
    } cases[] = {{0, 1.5, 5.0}, {1, 9.0, 14.0}};
    for (const Case& c : cases) {
        LoopbackSocket silent(true);
        ConfigStore& config = config_for(silent.port, c.tls);
        MailSender sender(&config);
        auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(sender.send_alert(kBody), 5);
        double took = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        EXPECT_GE(took, c.at_least) << c.tls;
        EXPECT_LE(took, c.at_most) << c.tls;
    }
}

// The exact dialogue: HELO without a login, the default sender completed
// with the host name, QUIT at the end.
TEST_F(MailSenderTest, DialogueWithoutLogin)
{
    ScriptedPeer peer({"220 scripted", "250 hello", "250 sender ok", "250 rcpt ok", "354 go ahead", "250 queued"});
    ConfigStore& config = config_for(peer.port(), 0, "EmailSender [none]\n");
    MailSender sender(&config);
    EXPECT_EQ(sender.send_alert("body"), 112);
    std::vector<std::string> lines = peer.received();
    ASSERT_EQ(lines.size(), 6u);
    EXPECT_EQ(lines[0], "HELO " + host_name());
    EXPECT_EQ(lines[1], "MAIL From:<[none]@" + host_name() + ">");
    EXPECT_EQ(lines[2], "RCPT To:<admin@example.org>");
    EXPECT_EQ(lines[3], "DATA");
    EXPECT_NE(lines[4].find("\r\nFrom: [none]\r\nTo: admin@example.org\r\nSubject: QEL Pyv2 alert -- host: " +
                            host_name() + "\r\n\r\nbody\r\n"),
              std::string::npos)
        << lines[4];
    EXPECT_EQ(lines[5], "QUIT");
}

// Replies of several lines are read whole, so each command gets its own
// reply; a server that drops the connection never counts as accepting.
TEST_F(MailSenderTest, MultiLineRepliesAndDroppedConnections)
{
    struct Case {
        const char* name;
        std::vector<std::string> replies;
        std::vector<std::string> commands;
        const char* last_reply;
    } cases[] = {
        {"multi-line replies",
         {"220-first\r\n220 second", "250 hello", "250-sender\r\n250 ok", "550 \"nobody\" here"},
         {"HELO", "MAIL", "RCPT", "QUIT"},
         "550 &quot;nobody&quot; here"},
        {"dropped after MAIL", {"220 hi", "250 hello", ""}, {"HELO", "MAIL"}, ""},
        // The refusal of HELO is kept for the settings page to show.
        {"HELO refused", {"220 hi", "502 5.5.1 \"HELO\" refused"}, {"HELO", "QUIT"},
         "502 5.5.1 &quot;HELO&quot; refused"},
        {"refused after a continuation line", {"220 hi", "250-first\r\n451 try later"}, {"HELO", "QUIT"},
         "250-first\n451 try later"},
        {"dropped after DATA", {"220 hi", "250 hello", "250 ok", "250 ok", "354 go", ""},
         {"HELO", "MAIL", "RCPT", "DATA", "Date"}, ""},
    };
    for (const Case& c : cases) {
        ScriptedPeer peer(c.replies);
        ConfigStore& config = config_for(peer.port(), 0);
        MailSender sender(&config);
        EXPECT_EQ(sender.send_alert("body"), 5) << c.name;
        EXPECT_STREQ(sender.escape_last_reply(), c.last_reply) << c.name;
        std::vector<std::string> lines = peer.received();
        ASSERT_EQ(lines.size(), c.commands.size()) << c.name;
        for (size_t i = 0; i < lines.size(); i++)
            EXPECT_EQ(lines[i].compare(0, c.commands[i].size(), c.commands[i]), 0) << c.name << ": " << lines[i];
    }
}

// The server's AUTH offer counts only on a continuation line of the EHLO
// answer; PLAIN is taken before LOGIN.
TEST_F(MailSenderTest, AuthOfferOnlyOnAContinuationLine)
{
    struct Case {
        const char* name;
        std::vector<std::string> replies;
        std::vector<std::string> commands;
    } cases[] = {
        {"offer on the last line",
         {"220 hi", "250-peer\r\n250 AUTH PLAIN LOGIN", "250 ok", "250 ok", "354 go", "250 queued"},
         {"EHLO " + host_name(), "MAIL From:<ops@example.org>", "RCPT To:<admin@example.org>", "DATA", "Date",
          "QUIT"}},
        {"offer on a continuation line",
         {"220 hi", "250-peer\r\n250-AUTH LOGIN PLAIN\r\n250 OK", "235 ok", "250 ok", "250 ok", "354 go",
          "250 queued"},
         {"EHLO " + host_name(), "AUTH PLAIN AGJvYgBwdw==", "MAIL From:<ops@example.org>",
          "RCPT To:<admin@example.org>", "DATA", "Date", "QUIT"}},
    };
    for (const Case& c : cases) {
        ScriptedPeer peer(c.replies);
        ConfigStore& config = config_for(peer.port(), 0, "EmailServerLogin bob\n");
        ASSERT_EQ(config.set_email_server_passwd("pw"), 0);
        MailSender sender(&config);
        EXPECT_EQ(sender.send_alert("body"), 112) << c.name;
        std::vector<std::string> lines = peer.received();
        ASSERT_EQ(lines.size(), c.commands.size()) << c.name;
        for (size_t i = 0; i < lines.size(); i++)
            EXPECT_EQ(lines[i].compare(0, c.commands[i].size(), c.commands[i]), 0) << c.name << ": " << lines[i];
    }
}

// A server that never stops talking (an endless run of continuation lines)
// is given up at the mail's deadline, like a silent one.
TEST_F(MailSenderTest, EndlessReplyEndsAtTheMailDeadline)
{
    LoopbackSocket listening(true);
    std::thread flood([&] {
        pollfd p = {listening.fd, POLLIN, 0};
        if (poll(&p, 1, 10000) != 1)
            return;
        int fd = accept(listening.fd, nullptr, nullptr);
        const std::string line = "220-" + std::string(70, 'x') + "\r\n";
        std::string block;
        while (block.size() < 16384)
            block += line;
        auto start = std::chrono::steady_clock::now();
        // Until the sender hangs up (or long after it should have).
        while (std::chrono::steady_clock::now() - start < std::chrono::seconds(120) &&
               send(fd, block.data(), block.size(), MSG_NOSIGNAL) > 0) {
        }
        close(fd);
    });
    ConfigStore& config = config_for(listening.port, 0);
    MailSender sender(&config);
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(sender.send_alert(kBody), 5);
    double took = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    flood.join();
    EXPECT_GE(took, 55.0);
    EXPECT_LE(took, 70.0);
}
