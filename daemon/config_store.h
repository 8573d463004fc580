#pragma once

#include "daemon/string_builder.h"

#include <semaphore.h>

#include <mutex>

class MessageCatalogue;

// The mail settings of one moment, copied out for the mail sender, which runs
// on the monitor thread while a page request may replace the texts.
struct MailSettings {
    StringBuilder sender;
    StringBuilder server;
    StringBuilder login;
    StringBuilder passwd;  // plain
    StringBuilder recipient;
    int port_last_set_to = 0;
    int ssl_port = 0;
    int no_ssl_port = 0;
    int port_flag = 0;
    int source_port = 0;
};

// Every setting of the daemon with its default, the configuration file's
// reader and writer, three fixed directories, the daemon's message catalogue
// and the enclosure lock shared by the monitor thread and the enclosure pages.
//
// Every setter stores the value and rewrites the whole file; it returns 0,
// 1 when the file could not be written (the value is then not taken: the
// old one stays, in memory and in the file), or 2 (nothing stored) for a
// text holding a control character, which would break the file's
// one-line-per-key form or reach a mail header. A setter's result says
// whether the change was made: callers must look at it. Text getters return
// the member's text, valid until that member is next set; threads other than
// the one that sets them copy what they need (copy_mail_settings).
class ConfigStore {
public:
    static constexpr const char* kDefaultPath = "/etc/pyv2/pyv2.conf";

    explicit ConfigStore(const char* file_path = kDefaultPath);
    ~ConfigStore();
    ConfigStore(const ConfigStore&) = delete;
    ConfigStore& operator=(const ConfigStore&) = delete;

    // 0 when the file was read, 1 when it could not be opened (values kept).
    int read_file();
    // 0 when written, 1 when the file could not be written. The file is
    // replaced whole, with mode 0600, and is on the disk (its directory
    // too) when this returns 0.
    [[nodiscard]] int write_file();

    int get_port() const;
    [[nodiscard]] int set_port(int v);
    int get_email_enable() const;
    [[nodiscard]] int set_email_enable(int v);
    const char* get_email_sender() const;
    [[nodiscard]] int set_email_sender(const char* v);
    const char* get_email_server() const;
    [[nodiscard]] int set_email_server(const char* v);
    const char* get_email_server_login() const;
    [[nodiscard]] int set_email_server_login(const char* v);
    const char* get_email_server_passwd() const;
    [[nodiscard]] int set_email_server_passwd(const char* v);
    int get_email_server_port_last_set_to() const;
    [[nodiscard]] int set_email_server_port_last_set_to(int v);
    [[nodiscard]] int use_email_server_ssl_port();
    [[nodiscard]] int use_email_server_no_ssl_port();
    int get_email_server_no_ssl_port() const;
    int get_email_server_ssl_port() const;
    const char* get_email_recipient() const;
    [[nodiscard]] int set_email_recipient(const char* v);
    int get_email_severity() const;
    [[nodiscard]] int set_email_severity(int v);
    int get_email_server_port_flag() const;
    [[nodiscard]] int set_email_server_port_flag(int v);
    int get_email_source_port() const;
    const char* get_ro_pwd() const;
    [[nodiscard]] int set_ro_pwd(const char* v);
    const char* get_admin_pwd() const;
    [[nodiscard]] int set_admin_pwd(const char* v);
    int get_remote_access() const;
    [[nodiscard]] int set_remote_access(int v);
    int get_language() const;
    [[nodiscard]] int set_language(int v);
    int get_logger() const;
    int get_refresh() const;
    [[nodiscard]] int set_refresh(int v);
    const char* get_bg_rate() const;
    [[nodiscard]] int set_bg_rate(const char* v);
    const char* get_msg_path() const;
    const char* get_img_path() const;
    const char* get_help() const;
    int get_oem() const;
    const char* get_oem_brand() const;
    int get_auto_logout() const;
    int get_command_log() const;
    [[nodiscard]] int set_command_log(int v);
    int get_enclosure_monitor() const;
    int get_encl_monitor_sleep_minutes() const;

    const char* get_aen_log_dir() const { return aen_log_dir_.c_str(); }
    const char* get_command_log_dir() const { return command_log_dir_.c_str(); }
    const char* get_logo_dir() const { return logo_dir_.c_str(); }
    const char* get_file_path() const { return file_path_.c_str(); }

    // A consistent copy of the mail settings.
    void copy_mail_settings(MailSettings& out) const;

    // 1 when taken, 0 when not: mode 1 tries 8,000,000 times, any other mode
    // 200 times, 150 ms apart. Not re-entrant.
    int take_enclosure_lock(int mode);
    void release_enclosure_lock();

    void set_catalogue(MessageCatalogue* catalogue) { catalogue_ = catalogue; }

private:
    // One key of the file: an integer or a text member.
    struct Key {
        const char* name;
        int ConfigStore::*number;
        StringBuilder ConfigStore::*text;
    };
    // The keys in the writer's order, then the one key that is read only.
    static const Key kKeys[];
    static const int kKeyCount;
    static const int kWrittenKeys;

    int get_number(int ConfigStore::*member) const;
    [[nodiscard]] int set_number(int ConfigStore::*member, int v);
    const char* get_text(StringBuilder ConfigStore::*member) const;
    [[nodiscard]] int set_text(StringBuilder ConfigStore::*member, const char* v);
    void apply_line(const char* line);
    // The file from the members: a replace_file_contents code.
    int write_file_locked();
    // After a setter's failed write: the member holds its old value again;
    // a file that was put in place without its directory synced is
    // rewritten from the members, so that file and memory agree.
    void undo_failed_write(int written);

    mutable std::mutex mutex_;  // the members and the file
    StringBuilder file_path_;

    int port_;
    int email_enable_;
    StringBuilder email_sender_;
    StringBuilder email_server_;
    StringBuilder email_server_login_;
    StringBuilder email_server_passwd_;
    int email_server_port_last_set_to_;
    int email_server_ssl_port_;
    int email_server_no_ssl_port_;
    StringBuilder email_recipient_;
    int email_severity_;
    int email_server_port_flag_;
    int email_source_port_;
    StringBuilder ro_pwd_;
    StringBuilder admin_pwd_;
    int remote_access_;
    int language_;
    int logger_;
    int refresh_;
    StringBuilder aen_log_dir_;
    StringBuilder bg_rate_;
    StringBuilder msg_path_;
    StringBuilder img_path_;
    StringBuilder help_;
    StringBuilder command_log_dir_;
    StringBuilder logo_dir_;
    int oem_;
    int auto_logout_;
    int command_log_;
    int enclosure_monitor_;
    int encl_monitor_sleep_minutes_;
    StringBuilder oem_brand_;

    sem_t enclosure_lock_;
    MessageCatalogue* catalogue_;
};
