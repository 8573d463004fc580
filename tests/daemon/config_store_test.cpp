#include "daemon/config_store.h"

#include "tests/support/files.h"

#include <gtest/gtest.h>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

using test_support::read_file;
using test_support::TempDir;
using test_support::entries_in;
using test_support::mode_of;
using test_support::write_file;

namespace {

const char kDefaultFile[] =
    "Port 888\n"
    "EmailEnable 0\n"
    "EmailSender [none]\n"
    "EmailServer [none]\n"
    "EmailServerLogin \n"
    "EmailServerPasswd \n"
    "EmailRecipient [none]\n"
    "EmailServerPortLastSetTo 25\n"
    "EmailServerNoSSLPort 25\n"
    "EmailServerSSLPort 465\n"
    "EmailSeverity 3\n"
    "EmailServerPortFlag 0\n"
    "ROpwd gZvut5gu9qKCM\n"
    "ADMINpwd gZvut5gu9qKCM\n"
    "RemoteAccess 0\n"
    "Language 0\n"
    "Logger 0\n"
    "Refresh 5\n"
    "BGRate 3333333333333333\n"
    "MsgPath /etc/pyv2/msg\n"
    "imgPath /etc/pyv2\n"
    "Help /usr/local/doc/pyv2\n"
    "OEM 0\n"
    "OEMBrand Tavix\n"
    "AutoLogout 0\n"
    "CommandLog 1\n"
    "EnclosureMonitor 1\n"
    "EnclMonitorSleepMinutes 2\n";

std::vector<std::string> lines_of(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line))
        lines.push_back(line);
    return lines;
}

std::vector<std::string> keys_of(const std::string& text)
{
    std::vector<std::string> keys;
    for (const std::string& line : lines_of(text))
        keys.push_back(line.substr(0, line.find(' ')));
    return keys;
}

// The value of the key's line, "" when there is none.
std::string line_value(const std::string& text, const std::string& key)
{
    for (const std::string& line : lines_of(text))
        if (line.compare(0, key.size() + 1, key + " ") == 0)
            return line.substr(key.size() + 1);
    return "";
}

}  // namespace

TEST(ConfigStore, FirstStartWritesTheDefaultFilePrivately)
{
    TempDir dir;
    std::string path = dir.file("pyv2.conf");
    ConfigStore config(path.c_str());
    EXPECT_EQ(config.read_file(), 1);
    EXPECT_EQ(config.write_file(), 0);
    EXPECT_EQ(read_file(path), kDefaultFile);
    EXPECT_EQ(mode_of(path), 0600);
    EXPECT_EQ(entries_in(dir.path()), 1);  // no temporary file left behind
    EXPECT_STREQ(config.get_aen_log_dir(), "/var/log");
    EXPECT_STREQ(config.get_command_log_dir(), "/var/log");
    EXPECT_STREQ(config.get_logo_dir(), "/etc/pyv2");
}

// Each file text is read, then written back; the written line of the key
// shows the value taken, and the file always holds the 28 keys in order.
TEST(ConfigStore, ReaderEdgeCases)
{
    const std::string long_value(1100, 'a');
    const std::string padded_key = "Junk" + std::string(1018, ' ');  // a 1022-character piece
    struct Case {
        std::string file;
        std::string expected_line;
    } cases[] = {
        {"Port    8443   \n", "Port 8443"},
        {"   Port 8443\n", "Port 8443"},
        {"Port\t8443\n", "Port 8443"},
        {"Port abc\n", "Port 888"},
        {"Port 12abc\n", "Port 12"},
        {"Port\n", "Port 888"},
        {"Port 70000\n", "Port 888"},
        {"Port 0\n", "Port 888"},
        {"Port 99999999999\n", "Port 888"},
        {"EmailServerSSLPort 70000\n", "EmailServerSSLPort 465"},
        {"EmailServerNoSSLPort 0\n", "EmailServerNoSSLPort 25"},
        {"port 8443\n", "Port 888"},
        {"Port 1000\nPort 2000\n", "Port 2000"},
        {"Refresh 7", "Refresh 7"},
        {"Refresh 7\r\n", "Refresh 7"},
        {"Refresh -3\n", "Refresh -3"},
        {"# Port 1\n\n   \nUnknown 5\nRefresh 9\n", "Refresh 9"},
        {"EmailSender   John  Doe <j@x>  \t\n", "EmailSender John  Doe <j@x>"},
        {"EmailSender a@b\r\n", "EmailSender a@b"},
        {"EmailServer\n", "EmailServer "},
        {"EmailServer   \n", "EmailServer "},
        {"EnclMonitorSleepMinutes 31\n", "EnclMonitorSleepMinutes 2"},
        {"EnclMonitorSleepMinutes 1\n", "EnclMonitorSleepMinutes 2"},
        {"EnclMonitorSleepMinutes -5\n", "EnclMonitorSleepMinutes 2"},
        {"EnclMonitorSleepMinutes 30\n", "EnclMonitorSleepMinutes 30"},
        {"EnclMonitorSleepMinutes x\n", "EnclMonitorSleepMinutes 2"},
        {"OEMBrand Foo\nOEM 1\n", "OEMBrand Tavix"},
        {"OEM 0\nOEMBrand Foo\n", "OEMBrand Tavix"},
        {"OEM 1\nOEMBrand Foo Bar\n", "OEMBrand Foo Bar"},
        {"EmailServerPortFlag 1\nEmailServerSSLPort 4650\nEmailServerPortLastSetTo 25\n",
         "EmailServerPortLastSetTo 4650"},
        {"EmailServerPortFlag 0\nEmailServerNoSSLPort 2525\nEmailServerPortLastSetTo 465\n",
         "EmailServerPortLastSetTo 2525"},
        // A line is taken in pieces of at most 1022 characters, each a line
        // of its own.
        {"EmailSender " + long_value + "\n", "EmailSender " + std::string(1010, 'a')},
        {padded_key + "Port 7777\n", "Port 7777"},
        {"EmailSourcePort 2525\n", "Port 888"},
    };
    const std::vector<std::string> default_keys = keys_of(kDefaultFile);
    for (const Case& c : cases) {
        TempDir dir;
        std::string path = dir.file("pyv2.conf");
        write_file(path, c.file);
        ConfigStore config(path.c_str());
        ASSERT_EQ(config.read_file(), 0);
        ASSERT_EQ(config.write_file(), 0);
        std::string written = read_file(path);
        std::vector<std::string> lines = lines_of(written);
        bool found = false;
        for (const std::string& line : lines)
            found = found || line == c.expected_line;
        EXPECT_TRUE(found) << "file: " << c.file.substr(0, 80) << "\nexpected: "
                           << c.expected_line.substr(0, 80) << "\nwritten:\n" << written.substr(0, 2000);
        EXPECT_EQ(keys_of(written), default_keys) << c.file.substr(0, 80);
    }
}

TEST(ConfigStore, SourcePortIsUsedButNotWritten)
{
    TempDir dir;
    std::string path = dir.file("pyv2.conf");
    write_file(path, "EmailSourcePort 2525\nRefresh 8\n");
    ConfigStore config(path.c_str());
    ASSERT_EQ(config.read_file(), 0);
    EXPECT_EQ(config.get_email_source_port(), 2525);
    ASSERT_EQ(config.write_file(), 0);
    EXPECT_EQ(read_file(path).find("EmailSourcePort"), std::string::npos);

    // A value outside 0 to 65535 would bind another port: it is not taken.
    for (const char* text : {"EmailSourcePort 65536\n", "EmailSourcePort -1\n"}) {
        write_file(path, text);
        ConfigStore other(path.c_str());
        ASSERT_EQ(other.read_file(), 0);
        EXPECT_EQ(other.get_email_source_port(), 0) << text;
    }
}

TEST(ConfigStore, MailPasswordIsStoredEncryptedAndReadBack)
{
    struct Case {
        const char* login;
        std::string password;
        std::string after_restart;
    } cases[] = {
        {"bob", "pw", "pw"},
        {"a.very.long.login@example.org", "pass word", "pass word"},
        {"bob", std::string(83, 'x'), std::string(83, 'x')},
        // Stored texts of 128 characters and more are read whole.
        {"bob", std::string(84, 'y'), std::string(84, 'y')},
        {"bob", std::string(128, 'z'), std::string(128, 'z')},
        // Cut to 127 characters when longer than 128.
        {"bob", std::string(129, 'w'), std::string(127, 'w')},
        // Without a login the password is not kept.
        {"", "pw", ""},
    };
    for (const Case& c : cases) {
        TempDir dir;
        std::string path = dir.file("pyv2.conf");
        {
            ConfigStore config(path.c_str());
            ASSERT_EQ(config.set_email_server_login(c.login), 0);
            ASSERT_EQ(config.set_email_server_passwd(c.password.c_str()), 0);
            EXPECT_EQ(std::string(config.get_email_server_passwd()), c.password);
        }
        std::string stored = line_value(read_file(path), "EmailServerPasswd");
        if (c.login[0] == '\0')
            EXPECT_EQ(stored, "");
        else
            EXPECT_TRUE(stored.size() >= 12 && stored != c.password) << stored;
        ConfigStore again(path.c_str());
        ASSERT_EQ(again.read_file(), 0);
        EXPECT_EQ(std::string(again.get_email_server_passwd()), c.after_restart) << c.login;
    }
}

TEST(ConfigStore, PasswordTypedInPlainIsUsedAsItStands)
{
    TempDir dir;
    std::string path = dir.file("pyv2.conf");
    write_file(path, "EmailServerLogin bob\nEmailServerPasswd secret\n");
    ConfigStore config(path.c_str());
    ASSERT_EQ(config.read_file(), 0);
    EXPECT_STREQ(config.get_email_server_passwd(), "secret");
    // Written back in the stored form from then on.
    ASSERT_EQ(config.write_file(), 0);
    std::string stored = line_value(read_file(path), "EmailServerPasswd");
    EXPECT_TRUE(stored.size() >= 12 && stored.find("secret") == std::string::npos) << stored;
}

TEST(ConfigStore, SettersRefuseControlCharacters)
{
    TempDir dir;
    std::string path = dir.file("pyv2.conf");
    ConfigStore config(path.c_str());
    ASSERT_EQ(config.set_email_sender("ops@example.org"), 0);
    std::string before = read_file(path);
    const char* bad[] = {"a@b\r\nPort 1", "a@b\nRCPT To:<x@y>", "tab\there", "del\x7f"};
    for (const char* v : bad) {
        EXPECT_EQ(config.set_email_sender(v), 2);
        EXPECT_EQ(config.set_email_recipient(v), 2);
        EXPECT_EQ(config.set_email_server(v), 2);
        EXPECT_EQ(config.set_admin_pwd(v), 2);
    }
    EXPECT_STREQ(config.get_email_sender(), "ops@example.org");
    EXPECT_EQ(read_file(path), before);
    EXPECT_EQ(config.set_email_sender("Jörg <j@example.org>"), 0);
    EXPECT_STREQ(config.get_email_sender(), "Jörg <j@example.org>");
}

TEST(ConfigStore, SettersRewriteTheWholeFile)
{
    TempDir dir;
    std::string path = dir.file("pyv2.conf");
    ConfigStore config(path.c_str());
    EXPECT_EQ(config.set_port(8443), 0);
    EXPECT_EQ(config.set_email_recipient("a@x; b@y"), 0);
    EXPECT_EQ(config.set_bg_rate("1234"), 0);
    EXPECT_EQ(config.set_email_server_port_flag(1), 0);
    EXPECT_EQ(config.use_email_server_ssl_port(), 0);
    std::string written = read_file(path);
    EXPECT_EQ(keys_of(written), keys_of(kDefaultFile));
    for (const char* line : {"Port 8443\n", "EmailRecipient a@x; b@y\n", "BGRate 1234\n",
                             "EmailServerPortFlag 1\n", "EmailServerPortLastSetTo 465\n"})
        EXPECT_NE(written.find(line), std::string::npos) << line;
    EXPECT_EQ(config.use_email_server_no_ssl_port(), 0);
    EXPECT_NE(read_file(path).find("EmailServerPortLastSetTo 25\n"), std::string::npos);
}

// The file is replaced, never rewritten in place: a reader of the old file
// still sees all of it, and the mode becomes 0600 whatever it was.
TEST(ConfigStore, WriteReplacesTheFileWhole)
{
    TempDir dir;
    std::string path = dir.file("pyv2.conf");
    write_file(path, kDefaultFile);
    chmod(path.c_str(), 0644);
    int old_fd = open(path.c_str(), O_RDONLY);
    ASSERT_GE(old_fd, 0);
    ConfigStore config(path.c_str());
    ASSERT_EQ(config.set_refresh(9), 0);
    char buf[4096];
    ssize_t n = pread(old_fd, buf, sizeof buf, 0);
    close(old_fd);
    EXPECT_EQ(std::string(buf, n > 0 ? static_cast<size_t>(n) : 0), kDefaultFile);
    EXPECT_NE(read_file(path).find("Refresh 9\n"), std::string::npos);
    EXPECT_EQ(mode_of(path), 0600);
    EXPECT_EQ(entries_in(dir.path()), 1);
}

// A change the file cannot take (its directory gone; a full or read-only
// disk alike) is not made: every setter reports it, the old value stays in
// memory, and the file is as it was.
TEST(ConfigStore, AChangeThatCannotBeWrittenIsNotMade)
{
    TempDir dir;
    const std::string etc = dir.file("etc"), away = dir.file("away");
    ASSERT_EQ(mkdir(etc.c_str(), 0700), 0);
    const std::string path = etc + "/pyv2.conf";
    ConfigStore config(path.c_str());
    ASSERT_EQ(config.set_email_server_login("bob"), 0);
    ASSERT_EQ(config.set_email_server_passwd("secret"), 0);
    const std::string before = read_file(path);
    ASSERT_EQ(rename(etc.c_str(), away.c_str()), 0);

    struct Number {
        const char* key;
        int (ConfigStore::*set)(int);
        int (ConfigStore::*get)() const;
        int value;
    } const numbers[] = {
        {"Port", &ConfigStore::set_port, &ConfigStore::get_port, 8443},
        {"EmailEnable", &ConfigStore::set_email_enable, &ConfigStore::get_email_enable, 1},
        {"EmailServerPortLastSetTo", &ConfigStore::set_email_server_port_last_set_to,
         &ConfigStore::get_email_server_port_last_set_to, 587},
        {"EmailSeverity", &ConfigStore::set_email_severity, &ConfigStore::get_email_severity, 1},
        {"EmailServerPortFlag", &ConfigStore::set_email_server_port_flag,
         &ConfigStore::get_email_server_port_flag, 1},
        {"RemoteAccess", &ConfigStore::set_remote_access, &ConfigStore::get_remote_access, 1},
        {"Language", &ConfigStore::set_language, &ConfigStore::get_language, 5},
        {"Refresh", &ConfigStore::set_refresh, &ConfigStore::get_refresh, 9},
        {"CommandLog", &ConfigStore::set_command_log, &ConfigStore::get_command_log, 0},
    };
    for (const Number& n : numbers) {
        const int old = (config.*n.get)();
        EXPECT_EQ((config.*n.set)(n.value), 1) << n.key;
        EXPECT_EQ((config.*n.get)(), old) << n.key;
    }
    struct Text {
        const char* key;
        int (ConfigStore::*set)(const char*);
        const char* (ConfigStore::*get)() const;
    } const texts[] = {
        {"EmailSender", &ConfigStore::set_email_sender, &ConfigStore::get_email_sender},
        {"EmailServer", &ConfigStore::set_email_server, &ConfigStore::get_email_server},
        {"EmailServerLogin", &ConfigStore::set_email_server_login,
         &ConfigStore::get_email_server_login},
        {"EmailServerPasswd", &ConfigStore::set_email_server_passwd,
         &ConfigStore::get_email_server_passwd},
        {"EmailRecipient", &ConfigStore::set_email_recipient, &ConfigStore::get_email_recipient},
        {"ROpwd", &ConfigStore::set_ro_pwd, &ConfigStore::get_ro_pwd},
        {"ADMINpwd", &ConfigStore::set_admin_pwd, &ConfigStore::get_admin_pwd},
        {"BGRate", &ConfigStore::set_bg_rate, &ConfigStore::get_bg_rate},
    };
    for (const Text& t : texts) {
        const std::string old = (config.*t.get)();
        EXPECT_EQ((config.*t.set)("changed"), 1) << t.key;
        EXPECT_EQ((config.*t.get)(), old) << t.key;
    }
    EXPECT_EQ(config.set_email_server_port_flag(1), 1);
    EXPECT_EQ(config.use_email_server_ssl_port(), 1);
    EXPECT_EQ(config.get_email_server_port_last_set_to(), 25);
    EXPECT_EQ(config.write_file(), 1);

    // Once the file can be written again, it holds what it held, and what
    // is changed next is stored beside the values that were there.
    ASSERT_EQ(rename(away.c_str(), etc.c_str()), 0);
    EXPECT_EQ(read_file(path), before);
    EXPECT_EQ(entries_in(etc), 1);
    ASSERT_EQ(config.set_refresh(7), 0);
    ConfigStore reread(path.c_str());
    ASSERT_EQ(reread.read_file(), 0);
    EXPECT_EQ(reread.get_refresh(), 7);
    EXPECT_EQ(reread.get_port(), 888);
    EXPECT_STREQ(reread.get_email_server_passwd(), "secret");
}

// A page request changes settings while the monitor thread copies the mail
// settings and re-reads the file: every file seen is complete.
TEST(ConfigStore, ConcurrentWritersAndReadersSeeWholeFiles)
{
    TempDir dir;
    std::string path = dir.file("pyv2.conf");
    ConfigStore config(path.c_str());
    ASSERT_EQ(config.write_file(), 0);
    std::atomic<bool> done{false};
    std::thread writer([&] {
        for (int i = 0; i < 100; i++) {
            EXPECT_EQ(config.set_refresh(i), 0);
            EXPECT_EQ(config.set_email_sender(i % 2 ? "odd@example.org" : "even@example.org"), 0);
        }
        done = true;
    });
    int bad_files = 0, bad_copies = 0, reads = 0;
    const std::vector<std::string> default_keys = keys_of(kDefaultFile);
    while (!done || reads < 10) {
        if (keys_of(read_file(path)) != default_keys)
            bad_files++;
        MailSettings s;
        config.copy_mail_settings(s);
        std::string sender = s.sender.c_str();
        if (sender != "[none]" && sender != "odd@example.org" && sender != "even@example.org")
            bad_copies++;
        reads++;
    }
    writer.join();
    EXPECT_EQ(bad_files, 0);
    EXPECT_EQ(bad_copies, 0);
    EXPECT_EQ(config.get_refresh(), 99);
}

TEST(ConfigStore, EnclosureLockWaitsForItsRelease)
{
    TempDir dir;
    ConfigStore config(dir.file("pyv2.conf").c_str());
    ASSERT_EQ(config.take_enclosure_lock(2), 1);
    auto start = std::chrono::steady_clock::now();
    std::thread holder([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(400));
        config.release_enclosure_lock();
    });
    EXPECT_EQ(config.take_enclosure_lock(2), 1);
    double waited = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    holder.join();
    EXPECT_GE(waited, 0.39);
    EXPECT_LT(waited, 2.0);
    config.release_enclosure_lock();
    EXPECT_EQ(config.take_enclosure_lock(1), 1);
    config.release_enclosure_lock();
}
