// The response of one request: what the dispatcher, the handlers and the page
// generators write (content type, text or binary body, cookie) and the
// per-request objects the page generators share. The connection creates one
// per request, reads the answer from it after the dispatch and deletes it.
#pragma once

#include <cstdint>

#include "daemon/byte_buffer.h"
#include "daemon/string_builder.h"
#include "web/pages/script_writer.h"

class ConfigStore;
class DateFormatter;
class MessageCatalogue;

class PageBuilder {
  public:
    // The program's own version text, shown in every page footer.
    static constexpr const char* kVersion = "2.11.00.021";

    PageBuilder(ConfigStore* config, MessageCatalogue* catalogue);
    ~PageBuilder();
    PageBuilder(const PageBuilder&) = delete;
    PageBuilder& operator=(const PageBuilder&) = delete;

    // --- What the connection and the dispatcher use.
    unsigned get_content_type() const { return content_type_; }
    // The body the content type answers from (text kinds 0, 1, 5, 6, 7;
    // binary kinds 2, 3, 4, 8, 9, 10), or null for any other kind.
    const char* get_body() const;
    int get_body_length() const;
    // The Set-Cookie value; empty: no Set-Cookie header.
    const char* get_cookie() const { return cookie_; }
    // Keeps at most 255 characters of cookie; returns 0.
    int set_cookie(const char* cookie);
    int set_access_level(uint32_t level);
    uint32_t get_access_level() const { return access_level_; }
    // Accepted and ignored: the pages read the language from the configuration.
    int set_language(int language);
    // The display name of an interface language (UTF-8), or "" out of range.
    const char* get_language_name(int index) const;

    // --- Answers without a page (0 answered, else "404 Not-Found").
    // "/logo.gif" or "/plogo.gif": with OEM 1 the file of the logo directory
    // when it is not empty, else the built-in image; 1 for any other URL, 2
    // when the image could not be added.
    int send_logo(const char* url);
    // As send_logo, with the logo files looked for in logo_dir.
    int send_logo_from(const char* url, const char* logo_dir);
    // favicon.ico of the logo directory; 1 when it cannot be opened.
    int send_favicon();
    // 1 null path, 2 empty path, 3 the file cannot be opened.
    int send_binary_file(const char* path, unsigned content_type);
    int send_text_file(const char* path, unsigned content_type);
    // The three downloads (application/binary): the bytes as they are.
    int send_smart_dat(const unsigned char* bytes, int count);
    int send_encl_diaglog(const unsigned char* bytes, int count);
    int send_errorlog(const unsigned char* bytes, int count);

    // --- Page frame pieces and small pages.
    int write_style();
    int write_footer(int show_refresh);
    int write_blank();
    // The outcome of an action: message (HTML; may be null) in the menu
    // banner and target loaded 250 ms later. Returns 0.
    int write_redirect(const char* target, const char* message, int code);
    // The page shown after a change of the listening port; returns 100.
    int write_go_home(const char* url);
    int write_no_remote_access(int current_controller);
    int write_login(int current_controller);

    // --- The content page skeleton shared by every page generator:
    // begin_page writes the head up to and including init(); the page then
    // writes its own script functions; end_head closes the head and opens
    // the body; end_page writes the footer and closes the page. A head
    // without the content-language meta line: with_language false.
    void begin_page(const char* title, const char* page_name, const ControllerIdList* list,
                    const ControllerRecord* records, int timeout_ms, int current_controller,
                    bool with_language = true);
    void end_head();
    void end_page(int show_refresh);

    // The refresh time-out of self-refreshing pages: the configured Refresh
    // minutes in milliseconds, or 0 when that is not a positive time that
    // fits the page script.
    int refresh_timeout() const;
    // The configured language, taken as English when out of range.
    int language() const;
    // Catalogue texts in the configured language: web interface texts (bare)
    // and daemon texts (with their code prefix).
    const char* web_text(int code);
    const char* daemon_text(int code);

    StringBuilder& text_body() { return text_body_; }
    ScriptWriter& script() { return *script_writer_; }
    DateFormatter& dates() { return *date_formatter_; }
    ConfigStore* config() const { return config_; }
    MessageCatalogue* catalogue() const { return catalogue_; }

    // "<html>", "<head>" and the meta lines (with charset and
    // content-language when with_language).
    void write_head_start(bool with_language);
    void write_head_start(bool with_charset, bool with_language);

  private:
    static constexpr int kCookieSize = 256;
    static constexpr int kLanguageNames = 8;

    char cookie_[kCookieSize];
    unsigned content_type_;
    StringBuilder text_body_;
    ByteBuffer binary_body_;
    uint32_t access_level_;
    DateFormatter* date_formatter_;
    ScriptWriter* script_writer_;
    ConfigStore* config_;
    MessageCatalogue* catalogue_;
    StringBuilder language_name_text_[kLanguageNames];
    const char* language_names_[kLanguageNames];
};
