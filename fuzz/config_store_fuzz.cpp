// The configuration file reader over arbitrary file contents. After a read
// the values keep their ranges, and writing the file and reading it into a
// new store gives the same settings back.
#include "daemon/config_store.h"

#include <string>
#include <vector>

#include "fuzz/fuzz_support.h"

namespace {

struct Settings {
    std::vector<int> numbers;
    std::vector<std::string> texts;
    std::string login;
    std::string passwd;
};

Settings settings_of(const ConfigStore& s)
{
    Settings out;
    out.numbers = {s.get_port(), s.get_email_enable(), s.get_email_server_port_last_set_to(),
                   s.get_email_server_no_ssl_port(), s.get_email_server_ssl_port(), s.get_email_severity(),
                   s.get_email_server_port_flag(), s.get_remote_access(), s.get_language(), s.get_logger(),
                   s.get_refresh(), s.get_oem(), s.get_auto_logout(), s.get_command_log(),
                   s.get_enclosure_monitor(), s.get_encl_monitor_sleep_minutes()};
    out.texts = {s.get_email_sender(), s.get_email_server(), s.get_email_recipient(), s.get_ro_pwd(),
                 s.get_admin_pwd(), s.get_bg_rate(), s.get_msg_path(), s.get_img_path(), s.get_help()};
    // The brand counts only behind a non-zero OEM line, and the writer puts
    // it behind the OEM line: a file that switched OEM off again after the
    // brand loses the brand on the next read.
    if (s.get_oem() != 0)
        out.texts.push_back(s.get_oem_brand());
    out.login = s.get_email_server_login();
    out.passwd = s.get_email_server_passwd();
    return out;
}

bool is_port(int v) { return v >= 1 && v <= 65535; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::string path = fuzz_write_file("pyv2.conf", data, size);

    ConfigStore first(path.c_str());
    FUZZ_CHECK(first.read_file() == 0);
    FUZZ_CHECK(is_port(first.get_port()));
    FUZZ_CHECK(is_port(first.get_email_server_ssl_port()));
    FUZZ_CHECK(is_port(first.get_email_server_no_ssl_port()));
    FUZZ_CHECK(is_port(first.get_email_server_port_last_set_to()));
    FUZZ_CHECK(first.get_email_source_port() >= 0 && first.get_email_source_port() <= 65535);
    FUZZ_CHECK(first.get_encl_monitor_sleep_minutes() >= 2 && first.get_encl_monitor_sleep_minutes() <= 30);
    Settings before = settings_of(first);

    FUZZ_CHECK(first.write_file() == 0);
    ConfigStore second(path.c_str());
    FUZZ_CHECK(second.read_file() == 0);
    Settings after = settings_of(second);

    FUZZ_CHECK(before.numbers == after.numbers);
    FUZZ_CHECK(before.texts == after.texts);
    FUZZ_CHECK(before.login == after.login);
    // The mail password is written (encrypted) only beside a login, and a
    // password longer than 128 characters is cut to 127.
    if (!before.login.empty()) {
        std::string expected = before.passwd.size() > 128 ? before.passwd.substr(0, 127) : before.passwd;
        FUZZ_CHECK(expected == after.passwd);
    }
    return 0;
}
