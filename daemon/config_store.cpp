#include "daemon/config_store.h"

#include "daemon/mail_password.h"
#include "daemon/temp_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

const ConfigStore::Key ConfigStore::kKeys[] = {
    {"Port", &ConfigStore::port_, nullptr},
    {"EmailEnable", &ConfigStore::email_enable_, nullptr},
    {"EmailSender", nullptr, &ConfigStore::email_sender_},
    {"EmailServer", nullptr, &ConfigStore::email_server_},
    {"EmailServerLogin", nullptr, &ConfigStore::email_server_login_},
    {"EmailServerPasswd", nullptr, &ConfigStore::email_server_passwd_},
    {"EmailRecipient", nullptr, &ConfigStore::email_recipient_},
    {"EmailServerPortLastSetTo", &ConfigStore::email_server_port_last_set_to_, nullptr},
    {"EmailServerNoSSLPort", &ConfigStore::email_server_no_ssl_port_, nullptr},
    {"EmailServerSSLPort", &ConfigStore::email_server_ssl_port_, nullptr},
    {"EmailSeverity", &ConfigStore::email_severity_, nullptr},
    {"EmailServerPortFlag", &ConfigStore::email_server_port_flag_, nullptr},
    {"ROpwd", nullptr, &ConfigStore::ro_pwd_},
    {"ADMINpwd", nullptr, &ConfigStore::admin_pwd_},
    {"RemoteAccess", &ConfigStore::remote_access_, nullptr},
    {"Language", &ConfigStore::language_, nullptr},
    {"Logger", &ConfigStore::logger_, nullptr},
    {"Refresh", &ConfigStore::refresh_, nullptr},
    {"BGRate", nullptr, &ConfigStore::bg_rate_},
    {"MsgPath", nullptr, &ConfigStore::msg_path_},
    {"imgPath", nullptr, &ConfigStore::img_path_},
    {"Help", nullptr, &ConfigStore::help_},
    {"OEM", &ConfigStore::oem_, nullptr},
    {"OEMBrand", nullptr, &ConfigStore::oem_brand_},
    {"AutoLogout", &ConfigStore::auto_logout_, nullptr},
    {"CommandLog", &ConfigStore::command_log_, nullptr},
    {"EnclosureMonitor", &ConfigStore::enclosure_monitor_, nullptr},
    {"EnclMonitorSleepMinutes", &ConfigStore::encl_monitor_sleep_minutes_, nullptr},
    {"EmailSourcePort", &ConfigStore::email_source_port_, nullptr},
};
const int ConfigStore::kKeyCount = sizeof kKeys / sizeof kKeys[0];
const int ConfigStore::kWrittenKeys = 28;

namespace {

const int kReadPiece = 1023;  // fgets size: pieces of at most 1022 characters
const int kMinPort = 1;
const int kMaxPort = 65535;
const int kMinSleepMinutes = 2;
const int kMaxSleepMinutes = 30;
const int kDefaultSleepMinutes = 2;
const int kPageTries = 8000000;
const int kMonitorTries = 200;
const useconds_t kTryPauseUs = 150000;

// The default hash of both passwords: crypt("pyv2", "gZ"), the password "pyv2".
const char kDefaultPasswordHash[] = "gZvut5gu9qKCM";

bool is_space(char c)
{
    return std::isspace(static_cast<unsigned char>(c)) != 0;
}

bool has_control_character(const char* s)
{
    for (; *s != '\0'; s++) {
        unsigned char c = static_cast<unsigned char>(*s);
        if (c < 0x20 || c == 0x7F)
            return true;
    }
    return false;
}

// "%d" without its undefined overflow: blanks, an optional sign, digits; the
// rest of the text is ignored. False when no number can be read or it does
// not fit an int.
bool parse_int(const char* s, int* out)
{
    while (is_space(*s))
        s++;
    bool negative = false;
    if (*s == '+' || *s == '-')
        negative = *s++ == '-';
    if (!std::isdigit(static_cast<unsigned char>(*s)))
        return false;
    long long v = 0;
    for (; std::isdigit(static_cast<unsigned char>(*s)); s++) {
        v = v * 10 + (*s - '0');
        if (v > static_cast<long long>(INT_MAX) + 1)
            return false;
    }
    if (negative)
        v = -v;
    if (v < INT_MIN || v > INT_MAX)
        return false;
    *out = static_cast<int>(v);
    return true;
}

void set_builder(StringBuilder& b, const char* v)
{
    b.clear();
    b.append(v);
}

}  // namespace

ConfigStore::ConfigStore(const char* file_path)
    : port_(888),
      email_enable_(0),
      email_server_port_last_set_to_(25),
      email_server_ssl_port_(465),
      email_server_no_ssl_port_(25),
      email_severity_(3),
      email_server_port_flag_(0),
      email_source_port_(0),
      remote_access_(0),
      language_(0),
      logger_(0),
      refresh_(5),
      oem_(0),
      auto_logout_(0),
      command_log_(1),
      enclosure_monitor_(1),
      encl_monitor_sleep_minutes_(kDefaultSleepMinutes),
      catalogue_(nullptr)
{
    file_path_.append(file_path);
    email_sender_.append("[none]");
    email_server_.append("[none]");
    email_recipient_.append("[none]");
    ro_pwd_.append(kDefaultPasswordHash);
    admin_pwd_.append(kDefaultPasswordHash);
    aen_log_dir_.append("/var/log");
    bg_rate_.append("3333333333333333");
    msg_path_.append("/etc/pyv2/msg");
    img_path_.append("/etc/pyv2");
    help_.append("/usr/local/doc/pyv2");
    command_log_dir_.append("/var/log");
    logo_dir_.append("/etc/pyv2");
    oem_brand_.append("Tavix");
    sem_init(&enclosure_lock_, 0, 1);
}

ConfigStore::~ConfigStore()
{
    sem_destroy(&enclosure_lock_);
}

// One line (or one piece of a long line) of the file: the key is the first
// run of non-blanks, the value the rest without the blanks around it.
void ConfigStore::apply_line(const char* line)
{
    const char* p = line;
    while (is_space(*p))
        p++;
    const char* key = p;
    while (*p != '\0' && !is_space(*p))
        p++;
    size_t key_len = static_cast<size_t>(p - key);
    if (key_len == 0)
        return;
    while (is_space(*p))
        p++;
    const char* value = p;
    size_t value_len = std::strlen(value);
    while (value_len > 0 && is_space(value[value_len - 1]))
        value_len--;
    char value_text[kReadPiece];
    std::memcpy(value_text, value, value_len);
    value_text[value_len] = '\0';

    for (int i = 0; i < kKeyCount; i++) {
        const Key& k = kKeys[i];
        if (std::strlen(k.name) != key_len || std::memcmp(k.name, key, key_len) != 0)
            continue;
        if (k.text != nullptr) {
            // The brand is the OEM's to set only.
            if (k.text == &ConfigStore::oem_brand_ && oem_ == 0)
                return;
            set_builder(this->*k.text, value_text);
            return;
        }
        int v;
        if (!parse_int(value_text, &v))
            return;
        // A port outside the TCP range would be cut to another port (the
        // mail source port may be 0: any port).
        const bool server_port = k.number == &ConfigStore::port_ ||
                                 k.number == &ConfigStore::email_server_ssl_port_ ||
                                 k.number == &ConfigStore::email_server_no_ssl_port_ ||
                                 k.number == &ConfigStore::email_server_port_last_set_to_;
        if (server_port && (v < kMinPort || v > kMaxPort))
            return;
        if (k.number == &ConfigStore::email_source_port_ && (v < 0 || v > kMaxPort))
            return;
        if (k.number == &ConfigStore::encl_monitor_sleep_minutes_ &&
            (v < kMinSleepMinutes || v > kMaxSleepMinutes))
            v = kDefaultSleepMinutes;
        this->*k.number = v;
        return;
    }
}

int ConfigStore::read_file()
{
    std::lock_guard<std::mutex> lock(mutex_);
    FILE* f = std::fopen(file_path_.c_str(), "r");
    if (f == nullptr)
        return 1;
    char piece[kReadPiece];
    while (std::fgets(piece, sizeof piece, f) != nullptr)
        apply_line(piece);
    std::fclose(f);

    if (email_server_login_.length() > 0 && email_server_passwd_.length() > 0)
        decrypt_mail_password(email_server_login_.c_str(), email_server_passwd_);
    email_server_port_last_set_to_ =
        email_server_port_flag_ != 0 ? email_server_ssl_port_ : email_server_no_ssl_port_;
    return 0;
}

int ConfigStore::write_file()
{
    std::lock_guard<std::mutex> lock(mutex_);
    return write_file_locked() == kReplaced ? 0 : 1;
}

int ConfigStore::write_file_locked()
{
    StringBuilder stored_passwd;
    if (email_server_login_.length() > 0 && email_server_passwd_.length() > 0) {
        stored_passwd.append(email_server_passwd_.c_str());
        encrypt_mail_password(email_server_login_.c_str(), stored_passwd);
    }
    StringBuilder text;
    for (int i = 0; i < kWrittenKeys; i++) {
        const Key& k = kKeys[i];
        text.append(k.name).append(" ");
        if (k.number != nullptr)
            text.append_int(this->*k.number);
        else if (k.text == &ConfigStore::email_server_passwd_)
            text.append(stored_passwd.c_str());
        else
            text.append((this->*k.text).c_str());
        text.append("\n");
    }

    // A new file beside the old one, renamed over it: a crash leaves either
    // the old or the new file, never a part of one; synced with its
    // directory, so that a change answered as made outlives a power failure.
    return replace_file_contents(file_path_.c_str(), text.c_str(), text.length(), true);
}

void ConfigStore::undo_failed_write(int written)
{
    if (written != kReplaceDirUnsynced)
        return;
    // The new file is in place and may stay there: the old values go back
    // into it. Its result changes nothing: the change is reported as not
    // made whatever it is.
    (void)write_file_locked();
}

int ConfigStore::get_number(int ConfigStore::*member) const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return this->*member;
}

int ConfigStore::set_number(int ConfigStore::*member, int v)
{
    std::lock_guard<std::mutex> lock(mutex_);
    const int old = this->*member;
    this->*member = v;
    const int written = write_file_locked();
    if (written == kReplaced)
        return 0;
    this->*member = old;
    undo_failed_write(written);
    return 1;
}

const char* ConfigStore::get_text(StringBuilder ConfigStore::*member) const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return (this->*member).c_str();
}

int ConfigStore::set_text(StringBuilder ConfigStore::*member, const char* v)
{
    if (v == nullptr)
        v = "";
    if (has_control_character(v))
        return 2;
    std::lock_guard<std::mutex> lock(mutex_);
    StringBuilder old;
    old.append((this->*member).c_str());
    set_builder(this->*member, v);
    const int written = write_file_locked();
    if (written == kReplaced)
        return 0;
    set_builder(this->*member, old.c_str());
    undo_failed_write(written);
    return 1;
}

int ConfigStore::get_port() const { return get_number(&ConfigStore::port_); }
int ConfigStore::set_port(int v) { return set_number(&ConfigStore::port_, v); }
int ConfigStore::get_email_enable() const { return get_number(&ConfigStore::email_enable_); }
int ConfigStore::set_email_enable(int v) { return set_number(&ConfigStore::email_enable_, v); }
const char* ConfigStore::get_email_sender() const { return get_text(&ConfigStore::email_sender_); }
int ConfigStore::set_email_sender(const char* v) { return set_text(&ConfigStore::email_sender_, v); }
const char* ConfigStore::get_email_server() const { return get_text(&ConfigStore::email_server_); }
int ConfigStore::set_email_server(const char* v) { return set_text(&ConfigStore::email_server_, v); }
const char* ConfigStore::get_email_server_login() const
{
    return get_text(&ConfigStore::email_server_login_);
}
int ConfigStore::set_email_server_login(const char* v)
{
    return set_text(&ConfigStore::email_server_login_, v);
}
const char* ConfigStore::get_email_server_passwd() const
{
    return get_text(&ConfigStore::email_server_passwd_);
}
int ConfigStore::set_email_server_passwd(const char* v)
{
    return set_text(&ConfigStore::email_server_passwd_, v);
}
int ConfigStore::get_email_server_port_last_set_to() const
{
    return get_number(&ConfigStore::email_server_port_last_set_to_);
}
int ConfigStore::set_email_server_port_last_set_to(int v)
{
    return set_number(&ConfigStore::email_server_port_last_set_to_, v);
}
int ConfigStore::use_email_server_ssl_port()
{
    return set_number(&ConfigStore::email_server_port_last_set_to_, get_email_server_ssl_port());
}
int ConfigStore::use_email_server_no_ssl_port()
{
    return set_number(&ConfigStore::email_server_port_last_set_to_,
                      get_email_server_no_ssl_port());
}
int ConfigStore::get_email_server_no_ssl_port() const
{
    return get_number(&ConfigStore::email_server_no_ssl_port_);
}
int ConfigStore::get_email_server_ssl_port() const
{
    return get_number(&ConfigStore::email_server_ssl_port_);
}
const char* ConfigStore::get_email_recipient() const
{
    return get_text(&ConfigStore::email_recipient_);
}
int ConfigStore::set_email_recipient(const char* v)
{
    return set_text(&ConfigStore::email_recipient_, v);
}
int ConfigStore::get_email_severity() const { return get_number(&ConfigStore::email_severity_); }
int ConfigStore::set_email_severity(int v) { return set_number(&ConfigStore::email_severity_, v); }
int ConfigStore::get_email_server_port_flag() const
{
    return get_number(&ConfigStore::email_server_port_flag_);
}
int ConfigStore::set_email_server_port_flag(int v)
{
    return set_number(&ConfigStore::email_server_port_flag_, v);
}
int ConfigStore::get_email_source_port() const { return get_number(&ConfigStore::email_source_port_); }
const char* ConfigStore::get_ro_pwd() const { return get_text(&ConfigStore::ro_pwd_); }
int ConfigStore::set_ro_pwd(const char* v) { return set_text(&ConfigStore::ro_pwd_, v); }
const char* ConfigStore::get_admin_pwd() const { return get_text(&ConfigStore::admin_pwd_); }
int ConfigStore::set_admin_pwd(const char* v) { return set_text(&ConfigStore::admin_pwd_, v); }
int ConfigStore::get_remote_access() const { return get_number(&ConfigStore::remote_access_); }
int ConfigStore::set_remote_access(int v) { return set_number(&ConfigStore::remote_access_, v); }
int ConfigStore::get_language() const { return get_number(&ConfigStore::language_); }
int ConfigStore::set_language(int v) { return set_number(&ConfigStore::language_, v); }
int ConfigStore::get_logger() const { return get_number(&ConfigStore::logger_); }
int ConfigStore::get_refresh() const { return get_number(&ConfigStore::refresh_); }
int ConfigStore::set_refresh(int v) { return set_number(&ConfigStore::refresh_, v); }
const char* ConfigStore::get_bg_rate() const { return get_text(&ConfigStore::bg_rate_); }
int ConfigStore::set_bg_rate(const char* v) { return set_text(&ConfigStore::bg_rate_, v); }
const char* ConfigStore::get_msg_path() const { return get_text(&ConfigStore::msg_path_); }
const char* ConfigStore::get_img_path() const { return get_text(&ConfigStore::img_path_); }
const char* ConfigStore::get_help() const { return get_text(&ConfigStore::help_); }
int ConfigStore::get_oem() const { return get_number(&ConfigStore::oem_); }
const char* ConfigStore::get_oem_brand() const { return get_text(&ConfigStore::oem_brand_); }
int ConfigStore::get_auto_logout() const { return get_number(&ConfigStore::auto_logout_); }
int ConfigStore::get_command_log() const { return get_number(&ConfigStore::command_log_); }
int ConfigStore::set_command_log(int v) { return set_number(&ConfigStore::command_log_, v); }
int ConfigStore::get_enclosure_monitor() const
{
    return get_number(&ConfigStore::enclosure_monitor_);
}
int ConfigStore::get_encl_monitor_sleep_minutes() const
{
    return get_number(&ConfigStore::encl_monitor_sleep_minutes_);
}

void ConfigStore::copy_mail_settings(MailSettings& out) const
{
    std::lock_guard<std::mutex> lock(mutex_);
    set_builder(out.sender, email_sender_.c_str());
    set_builder(out.server, email_server_.c_str());
    set_builder(out.login, email_server_login_.c_str());
    set_builder(out.passwd, email_server_passwd_.c_str());
    set_builder(out.recipient, email_recipient_.c_str());
    out.port_last_set_to = email_server_port_last_set_to_;
    out.ssl_port = email_server_ssl_port_;
    out.no_ssl_port = email_server_no_ssl_port_;
    out.port_flag = email_server_port_flag_;
    out.source_port = email_source_port_;
}

int ConfigStore::take_enclosure_lock(int mode)
{
    int tries = mode == 1 ? kPageTries : kMonitorTries;
    for (int i = 0; i < tries; i++) {
        if (sem_trywait(&enclosure_lock_) == 0)
            return 1;
        if (i + 1 < tries)
            usleep(kTryPauseUs);
    }
    return 0;
}

void ConfigStore::release_enclosure_lock()
{
    sem_post(&enclosure_lock_);
}
