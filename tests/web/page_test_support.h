// Shared by the page and date tests: a temporary directory, a configuration
// store and message catalogue set up in it, and running page scripts
// through node.
#pragma once

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>

#include "api/ctl.h"
#include "daemon/config_store.h"
#include "daemon/http_codes.h"
#include "daemon/snapshot_records.h"
#include "driver/message_catalogue.h"
#include "tests/support/files.h"
#include "web/pages/page_builder.h"

namespace pagetest {

using test_support::read_file;
using test_support::TempDir;
using test_support::write_file;

// A message file section: "#0x13:<n>" and n entries.
struct Entry {
    int code;
    const char* text;
};

inline std::string section(int category, std::initializer_list<Entry> entries) {
    char line[64];
    snprintf(line, sizeof(line), "#0x%02X:%d\n", category, static_cast<int>(entries.size()));
    std::string out = line;
    for (const Entry& e : entries) {
        snprintf(line, sizeof(line), "0x%04X:\"", e.code);
        out += line;
        out += e.text;
        out += "\"\n";
    }
    return out;
}

// A configuration store reading its file from a temporary directory, with
// the message directory pointing into it, and the daemon's catalogue.
class PageEnv {
  public:
    // config_lines: extra configuration file lines ("Refresh 3\n" ...).
    explicit PageEnv(const std::string& config_lines = "")
        : config_path_(dir_.file("pyv2.conf")), config_(config_path_.c_str()) {
        write_file(config_path_, "MsgPath " + dir_.path() + "\n" + config_lines);
        config_.read_file();
        config_.set_catalogue(&catalogue_);
    }
    // Writes the daemon's message file of a language ("de", "fr", ...).
    void write_messages(const char* language_code, const std::string& content) {
        write_file(dir_.file(std::string("wox_msg_") + language_code), content);
    }
    TempDir& dir() { return dir_; }
    ConfigStore& config() { return config_; }
    MessageCatalogue& catalogue() { return catalogue_; }

  private:
    TempDir dir_;
    std::string config_path_;
    ConfigStore config_;
    MessageCatalogue catalogue_;
};

// True when text has the shape given: 'A' an upper-case letter, 'a' a
// lower-case letter, '9' a digit, any other character itself.
inline bool has_shape(const std::string& text, const std::string& shape) {
    if (text.size() != shape.size()) return false;
    for (size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        bool ok = shape[i] == 'A'   ? (c >= 'A' && c <= 'Z')
                  : shape[i] == 'a' ? (c >= 'a' && c <= 'z')
                  : shape[i] == '9' ? (c >= '0' && c <= '9')
                                    : c == shape[i];
        if (!ok) return false;
    }
    return true;
}

// Runs node with the given arguments and script file; the exit status, and
// the combined output in *output.
inline int run_node(const std::string& args, const std::string& script_path, std::string* output) {
    std::string out_path = script_path + ".out";
    std::string command = "node " + args + " '" + script_path + "' >'" + out_path + "' 2>&1";
    int status = system(command.c_str());
    *output = read_file(out_path);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// --- Page scripts: hostile values, the script of a page, and a stand-in
// for the browser the scripts run in.

using test_support::hex;

// A text that tries every way out of a literal, a script element or a line.
const char* const kHostile =
    "Evil \"quoted\" 'single' </script><script>alert(1)</script> <!-- back\\slash \\n \\u12 \\x "
    "M\xC3\xA4rz \xE6\x97\xA5\xE6\x9C\xAC \xE2\x80\xA8 end\\";
// Fits a controller model field.
const char* const kHostileModel = "9X\"</script>\\'\xE2\x80\xA8<!--\xC3\xA4";

inline std::string lower(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return std::tolower(c); });
    return s;
}

inline size_t count_of(const std::string& text, const std::string& part) {
    size_t n = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
    return n;
}

// The one script element of a page, which stands at the end of its head;
// fails the test when a value has closed it early. (Catalogue texts in the
// page's body are trusted HTML and may hold anything.)
inline std::string script_of(const std::string& html) {
    std::string low = lower(html);
    size_t head_end = low.find("</head>");
    std::string head = head_end == std::string::npos ? low : low.substr(0, head_end);
    EXPECT_EQ(count_of(head, "<script"), 1u) << html;
    EXPECT_EQ(count_of(head, "</script"), 1u) << html;
    size_t start = head.find("<script>");
    size_t end = head.find("</script>");
    if (start == std::string::npos || end == std::string::npos || end < start) return "";
    EXPECT_EQ(head.substr(end), "</script>\n") << html;
    return html.substr(start + 8, end - start - 8);
}

inline std::string body_of(const PageBuilder& page) {
    return std::string(page.get_body(), page.get_body_length());
}

inline bool has(const std::string& body, const std::string& part) {
    return body.find(part) != std::string::npos;
}

#define EXPECT_HAS(body, part) \
    EXPECT_TRUE(pagetest::has(body, part)) << "missing: " << (part) << "\n" << (body)
#define EXPECT_LACKS(body, part) \
    EXPECT_FALSE(pagetest::has(body, part)) << "found: " << (part) << "\n" << (body)

// The HTML page a writer appends for a requester of the access level; the
// writer must return 0.
template <typename Write>
std::string html_of(PageEnv& env, Write write, int level) {
    PageBuilder page(&env.config(), &env.catalogue());
    page.set_access_level(static_cast<uint32_t>(level));
    EXPECT_EQ(write(page), 0);
    EXPECT_EQ(page.get_content_type(), static_cast<unsigned>(kContentHtml));
    return body_of(page);
}

// Copies a text into a record's field, cut to its size.
template <size_t N>
void set(char (&field)[N], const char* text) {
    snprintf(field, N, "%s", text);
}

// Controllers of the given families as a handler fills them: positions
// from 0, controller indexes from 1, each with the model name.
inline void make_controllers(ControllerIdList& list, ControllerRecord* records,
                             std::initializer_list<int> families, const char* model) {
    list.count = static_cast<uint32_t>(families.size());
    int i = 0;
    for (int family : families) {
        ControllerRecord& r = records[i];
        ctl_make_controller_id(static_cast<uint8_t>(i + 1), &list.ids[i]);
        r.position = i;
        r.controller_index = static_cast<uint8_t>(i + 1);
        r.family = family;
        set(r.model, model);
        ++i;
    }
}

// A JavaScript expression for s that does not depend on the escaping under
// test.
inline std::string js_value(const std::string& s) { return "hex(\"" + hex(s) + "\")"; }

// The browser as the page scripts see it: the frame set (parent) with its
// menu frame, the content frame's document, timers and dialogs, all
// recorded in calls.
struct Browser {
    int cur_controller = 0;
    int who = 1;
    int lang = 0;
    bool in_frame_set = true;
    bool cookies = true;
    std::string href = "/page0.html?c=0";
};

inline std::string browser_prelude(const Browser& b) {
    std::string out = R"JS(
const assert = require('assert');
const calls = [];
const timers = [];
function setTimeout(f, ms) { timers.push({f: f, ms: ms}); return timers.length; }
function alert(m) { calls.push(['alert', m]); }
function hex(h) { return Buffer.from(h, 'hex').toString('utf8'); }
function find(name) { return calls.filter(c => c[0] === name); }
function run_timers() { const due = timers.splice(0); for (const t of due) { if (typeof t.f === 'function') t.f(); } }
const menu = {
  menu_ready: true,
  updateclist(n, list, sel) { calls.push(['updateclist', n, list.slice(), sel]); },
  change_title(t) { calls.push(['change_title', t]); },
  toggle_select_controller(v) { calls.push(['toggle', v]); },
  update_selctlr() { calls.push(['update_selctlr']); },
  update_login() { calls.push(['update_login', parent.who]); },
  show_message() { calls.push(['show_message', parent.lastmessage]); },
  hide_message() { calls.push(['hide_message']); },
  location: { reload() { calls.push(['menu_reload']); } },
};
var document = { title: '', location: { replace(u) { calls.push(['replace', u]); } } };
var window = { location: { replace(u) { calls.push(['window_replace', u]); } } };
var top = { location: { replace(u) { calls.push(['top_replace', u]); } } };
)JS";
    out += "var parent = { menu: " + std::string(b.in_frame_set ? "menu" : "null") +
           ", cur_controller: " + std::to_string(b.cur_controller) +
           ", lastmessage: '', who: " + std::to_string(b.who) +
           ", lang: " + std::to_string(b.lang) + ", document: { title: '' } };\n";
    out +=
        "var navigator = { cookieEnabled: " + std::string(b.cookies ? "true" : "false") + " };\n";
    out += "document.location.href = " + js_value(b.href) + ";\n";
    return out;
}

// Runs a page's script in the stand-in browser, then checks (JavaScript
// using assert); the test fails with node's message when a check fails.
inline void run_in_browser(PageEnv& env, const std::string& html, const Browser& browser,
                           const std::string& checks) {
    std::string script = browser_prelude(browser) + script_of(html) + "\n" + checks + "\n";
    std::string path = env.dir().file("run.js");
    ASSERT_TRUE(pagetest::write_file(path, script));
    std::string output;
    EXPECT_EQ(pagetest::run_node("", path, &output), 0) << output << "\n" << script;
}

}  // namespace pagetest
