// The scripts the pages carry, checked in node: every script must parse
// whatever the values written into it hold, and init(), redirect_page(),
// go_home() and the navigation functions must act on the frame set as the
// pages expect, run against a stand-in for the browser.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <string>
#include <vector>

#include "daemon/http_codes.h"
#include "daemon/snapshot_records.h"
#include "tests/web/page_test_support.h"
#include "web/pages/page_builder.h"
#include "web/pages/script_writer.h"

namespace {

using namespace pagetest;

// Two controller records, the second one not compatible.
struct Controllers {
    Controllers(const char* model) {
        list.count = 2;
        records[0].controller_index = 0;
        records[0].family = 9;
        snprintf(records[0].model, sizeof(records[0].model), "%s", model);
        records[1].controller_index = 4;
        records[1].family = -1;
        snprintf(records[1].model, sizeof(records[1].model), "unused");
    }
    ControllerIdList list{};
    ControllerRecord records[2];
};

// Every script-carrying page the builder writes, with v in every field that
// takes a value.
std::vector<std::string> all_pages(PageEnv& env, const char* v, const char* model) {
    std::vector<std::string> pages;
    Controllers controllers(model);
    {
        PageBuilder page(&env.config(), &env.catalogue());
        page.set_access_level(kAccessAdmin);
        page.begin_page(v, "Controller Details", &controllers.list, controllers.records,
                        page.refresh_timeout(), 1);
        ScriptWriter& s = page.script();
        s.write_validate_name(page.text_body());
        s.write_goto_controller(page.text_body());
        s.write_goto_enclosure(page.text_body());
        s.write_goto_unit(page.text_body());
        s.write_goto_physummary(page.text_body());
        s.write_goto_drivesummary(page.text_body());
        page.end_head();
        page.end_page(1);
        pages.push_back(body_of(page));
    }
    for (int code : {0, 1, 2, 102, 103, 104, 105}) {
        PageBuilder page(&env.config(), &env.catalogue());
        page.write_redirect(v, v, code);
        pages.push_back(body_of(page));
        PageBuilder no_message(&env.config(), &env.catalogue());
        no_message.write_redirect(v, nullptr, code);
        pages.push_back(body_of(no_message));
    }
    for (int level : {kAccessNone, kAccessUser, kAccessAdmin}) {
        PageBuilder login(&env.config(), &env.catalogue());
        login.set_access_level(level);
        login.write_login(-1);
        pages.push_back(body_of(login));
        PageBuilder refused(&env.config(), &env.catalogue());
        refused.set_access_level(level);
        refused.write_no_remote_access(3);
        pages.push_back(body_of(refused));
    }
    PageBuilder home(&env.config(), &env.catalogue());
    home.write_go_home(v);
    pages.push_back(body_of(home));
    return pages;
}

// Every catalogue text the scripts use, made hostile in a German file.
std::string hostile_catalogue() {
    std::string out = section(0x13, {{2, kHostile},
                                     {3, kHostile},
                                     {4, kHostile},
                                     {5, kHostile},
                                     {6, kHostile},
                                     {7, kHostile},
                                     {8, kHostile},
                                     {136, kHostile},
                                     {137, kHostile},
                                     {261, kHostile},
                                     {275, kHostile},
                                     {276, kHostile},
                                     {283, kHostile}});
    out += section(0x0C, {{21, kHostile},
                          {22, kHostile},
                          {25, kHostile},
                          {26, kHostile},
                          {27, kHostile},
                          {28, kHostile}});
    return out;
}

TEST(PageScripts, EveryScriptParsesWithHostileValues) {
    PageEnv env("Language 1\nRefresh 5\n");
    env.write_messages("de", hostile_catalogue());
    std::vector<std::string> pages = all_pages(env, kHostile, kHostileModel);
    ASSERT_EQ(pages.size(), 22u);
    for (size_t i = 0; i < pages.size(); ++i) {
        SCOPED_TRACE("page " + std::to_string(i));
        std::string script = script_of(pages[i]);
        ASSERT_FALSE(script.empty());
        std::string path = env.dir().file("page" + std::to_string(i) + ".js");
        ASSERT_TRUE(pagetest::write_file(path, script));
        std::string output;
        EXPECT_EQ(pagetest::run_node("--check", path, &output), 0) << output << "\n" << script;
    }
}

const char* const kTitle = "Ti\"tle </script> M\xC3\xA4rz";

std::string content_page(PageEnv& env, int access_level, int current, int timeout,
                         const char* page_name, const Controllers* controllers) {
    PageBuilder page(&env.config(), &env.catalogue());
    page.set_access_level(access_level);
    page.begin_page(kTitle, page_name, controllers != nullptr ? &controllers->list : nullptr,
                    controllers != nullptr ? controllers->records : nullptr, timeout, current);
    page.end_head();
    page.end_page(1);
    return body_of(page);
}

TEST(PageScripts, InitShowsTheControllersAndTheTitle) {
    PageEnv env;
    Controllers controllers(kHostileModel);
    Browser browser;
    browser.who = 2;  // the user the page is written for
    std::string first = std::string("Controller ID 0 (") + kHostileModel + ")";
    run_in_browser(env, content_page(env, kAccessUser, 1, 0, "Controller Details", &controllers),
                   browser,
                   R"JS(
browser_checks: {
  init(1);
  const lists = find('updateclist');
  assert.strictEqual(lists.length, 2);
  assert.deepStrictEqual(lists[1], ['updateclist', 2, [)JS" +
                       js_value(first) +
                       R"JS(, 'Controller ID 4 (NOT COMPATIBLE)'], 1]);
  assert.strictEqual(parent.cur_controller, 1);
  assert.deepStrictEqual(find('change_title'), [['change_title', '&nbsp;&nbsp;' + )JS" +
                       js_value(kTitle) +
                       R"JS(]]);
  assert.deepStrictEqual(find('toggle'), [['toggle', 'visible']]);
  assert.strictEqual(parent.document.title, 'Tavix Pyv2 - ' + )JS" +
                       js_value(kTitle) + R"JS();
  assert.strictEqual(document.title, parent.document.title);
  assert.strictEqual(find('update_selctlr').length, 1);
  assert.deepStrictEqual(find('hide_message'), [['hide_message']]);
  assert.strictEqual(timers.length, 0);
  assert.strictEqual(find('alert').length, 0);
}
)JS");
}

// A page title is a catalogue text, which stays valid for only the next
// few lookups; the controller entries look up texts of their own, so a long
// list must not cost the page its title.
TEST(PageScripts, InitKeepsACatalogueTitleAcrossALongControllerList) {
    PageEnv env;
    constexpr int kCount = 12;
    ControllerIdList list{};
    list.count = kCount;
    ControllerRecord records[kCount];
    for (int i = 0; i < kCount; ++i) {
        records[i].controller_index = static_cast<uint8_t>(i);
        records[i].family = i % 2 == 0 ? -1 : 9;
        snprintf(records[i].model, sizeof(records[i].model), "M%d", i);
    }
    PageBuilder page(&env.config(), &env.catalogue());
    page.set_access_level(kAccessUser);
    page.begin_page(page.web_text(138), "Summary", &list, records, 0, 0);
    page.end_head();
    page.end_page(1);
    Browser browser;
    browser.who = 2;
    run_in_browser(env, body_of(page), browser, R"JS(
init(1);
const lists = find('updateclist');
assert.strictEqual(lists.length, 12);
assert.strictEqual(lists[11][2][0], 'Controller ID 0 (NOT COMPATIBLE)');
assert.strictEqual(lists[11][2][11], 'Controller ID 11 (M11)');
assert.deepStrictEqual(find('change_title'), [['change_title', '&nbsp;&nbsp;Summary']]);
assert.strictEqual(document.title, 'Tavix Pyv2 - Summary');
)JS");
}

TEST(PageScripts, InitReconcilesControllerLanguageAndSelector) {
    const struct {
        const char* name;
        int current;
        int browser_controller;
        const char* page_name;
        const char* checks;
    } cases[] = {
        {"a negative index selects controller 0", -1, 3, "Summary",
         "init(1); assert.strictEqual(parent.cur_controller, 0);"
         "assert.deepStrictEqual(find('toggle'), [['toggle', 'hidden']]);"},
        {"the page's controller wins", 2, 0, "Maintenance",
         "init(1); assert.strictEqual(parent.cur_controller, 2);"
         "assert.deepStrictEqual(find('toggle'), [['toggle', 'visible']]);"},
        {"settings hide the selector", 0, 0, "Pyv2 Settings",
         "init(1); assert.deepStrictEqual(find('toggle'), [['toggle', 'hidden']]);"},
        {"help hides the selector", 0, 0, "Help",
         "init(1); assert.deepStrictEqual(find('toggle'), [['toggle', 'hidden']]);"},
        {"no controller data writes no list", 0, 0, "Login",
         "init(1); assert.strictEqual(find('updateclist').length, 0);"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        PageEnv env;
        Browser browser;
        browser.cur_controller = c.browser_controller;
        run_in_browser(env, content_page(env, kAccessUser, c.current, 0, c.page_name, nullptr),
                       browser, c.checks);
    }

    // A changed language reloads the menu and runs init again later,
    // before touching anything else.
    PageEnv german("Language 1\n");
    Browser browser;
    run_in_browser(german, content_page(german, kAccessUser, 0, 0, "Summary", nullptr), browser,
                   R"JS(
init(0);
assert.strictEqual(parent.lang, 1);
assert.deepStrictEqual(find('menu_reload'), [['menu_reload']]);
assert.deepStrictEqual(timers.map(t => [t.f, t.ms]), [['init(0)', 500]]);
assert.strictEqual(find('change_title').length, 0);
)JS");
}

TEST(PageScripts, InitReconcilesTheLoginState) {
    const struct {
        int access_level;
        int who;
        int who_after;
        const char* message;  // null: no banner, the banner is hidden
    } cases[] = {
        {kAccessNone, 2, 1,
         "(0x0C:0x001A): You have been logged out due to inactivity or Cookies are disabled"},
        {kAccessNone, 3, 1,
         "(0x0C:0x001A): You have been logged out due to inactivity or Cookies are disabled"},
        {kAccessNone, 1, 1, nullptr},
        {kAccessUser, 1, 2,
         "(0x0C:0x001B): USER is still logged in, please make sure Cookies are enabled"},
        {kAccessUser, 3, 2,
         "(0x0C:0x001B): USER is still logged in, please make sure Cookies are enabled"},
        {kAccessUser, 2, 2, nullptr},
        {kAccessAdmin, 2, 3,
         "(0x0C:0x001C): ADMINISTRATOR is still logged in, please make sure Cookies are enabled"},
        {kAccessAdmin, 3, 3, nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE("level " + std::to_string(c.access_level) + " who " + std::to_string(c.who));
        PageEnv env;
        Browser browser;
        browser.who = c.who;
        std::string checks =
            "init(1);\nassert.strictEqual(parent.who, " + std::to_string(c.who_after) + ");\n";
        if (c.message != nullptr) {
            checks += "assert.deepStrictEqual(find('update_login'), [['update_login', " +
                      std::to_string(c.who_after) + "]]);\n";
            checks +=
                "assert.deepStrictEqual(find('show_message'), [['show_message', " +
                js_value(
                    std::string("<font style=\"color: #FF0000;font-size: 10pt; font-weight: bold; "
                                "font-family:Arial,Helvetica;\">&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;"
                                "&nbsp;&nbsp;&nbsp;") +
                    c.message + "</font>") +
                "]]);\nassert.strictEqual(parent.lastmessage, '');\n"
                "assert.strictEqual(find('hide_message').length, 0);\n";
        } else {
            checks +=
                "assert.strictEqual(find('update_login').length, 0);\n"
                "assert.strictEqual(find('show_message').length, 0);\n"
                "assert.strictEqual(find('hide_message').length, 1);\n";
        }
        run_in_browser(env, content_page(env, c.access_level, 0, 0, "Summary", nullptr), browser,
                       checks);
    }
}

TEST(PageScripts, InitOutsideTheFrameSetReturnsToIt) {
    PageEnv env;
    Browser browser;
    browser.in_frame_set = false;
    browser.cookies = false;
    run_in_browser(env, content_page(env, kAccessUser, 0, 300000, "Summary", nullptr), browser,
                   R"JS(
init(1);
assert.deepStrictEqual(find('alert'), [['alert', '(0x0C:0x0015): The page you have reached is part of a frameset.  Please click OK to return to the frameset']]);
assert.deepStrictEqual(find('window_replace'), [['window_replace', '/index.html']]);
assert.strictEqual(timers.length, 0);
)JS");

    // Inside the frame set, without cookies: a warning on every page.
    Browser no_cookies;
    no_cookies.cookies = false;
    run_in_browser(env, content_page(env, kAccessUser, 0, 0, "Summary", nullptr), no_cookies, R"JS(
init(1);
assert.deepStrictEqual(find('alert'), [['alert', '(0x0C:0x0019): Cookies are not enabled!  You must enable cookies for Pyv2 to work properly']]);
)JS");
}


// A content page or a redirect loaded before the menu has been read to its
// end touches nothing of it and tries again shortly; once the menu is
// there, it goes on as usual.
TEST(PageScripts, ContentWaitsForTheMenu) {
    PageEnv env;
    run_in_browser(env, content_page(env, kAccessUser, 0, 0, "Summary", nullptr), Browser(), R"JS(
delete menu.menu_ready;
init(1);
assert.deepStrictEqual(calls, []);
assert.deepStrictEqual(timers.map(t => t.ms), [100]);
let retry = timers.splice(0)[0].f;
eval(retry);
assert.deepStrictEqual(calls, []);
assert.deepStrictEqual(timers.map(t => t.ms), [100]);
menu.menu_ready = true;
retry = timers.splice(0)[0].f;
eval(retry);
assert.strictEqual(find('change_title').length, 1);
assert.deepStrictEqual(find('update_selctlr'), [['update_selctlr']]);
)JS");

    PageBuilder page(&env.config(), &env.catalogue());
    page.write_redirect("/page0.html", "done", kRedirectAdminLoggedIn);
    run_in_browser(env, body_of(page), Browser(), R"JS(
menu.menu_ready = false;
redirect_page();
assert.deepStrictEqual(calls, []);
assert.deepStrictEqual(timers.map(t => t.ms), [100]);
menu.menu_ready = true;
run_timers();
assert.deepStrictEqual(find('update_login'), [['update_login', 3]]);
assert.deepStrictEqual(timers.map(t => t.ms), [250]);
)JS");
}
TEST(PageScripts, RefreshMarksTheReloadAsAutomatic) {
    const struct {
        const char* href;
        const char* reloaded;
    } cases[] = {
        {"/page0.html?c=0", "/page0.html?c=0&auto=1"},
        {"/page0.html?c=0&auto=1", "/page0.html?c=0&auto=1"},
    };
    for (const auto& c : cases) {
        PageEnv env("Refresh 3\n");
        PageBuilder page(&env.config(), &env.catalogue());
        ASSERT_EQ(page.refresh_timeout(), 180000);
        Browser browser;
        browser.href = c.href;
        run_in_browser(
            env, content_page(env, kAccessUser, 0, page.refresh_timeout(), "Summary", nullptr),
            browser,
            std::string("init(1);\nassert.strictEqual(TimeOut, 180000);\n"
                        "assert.deepStrictEqual(timers.map(t => t.ms), [180000]);\n"
                        "run_timers();\nassert.deepStrictEqual(find('replace'), [['replace', ") +
                js_value(c.reloaded) + "]]);\n");
    }
    // Refresh times that the page cannot wait for give a page that never
    // reloads.
    for (const char* refresh : {"Refresh 0\n", "Refresh -2\n", "Refresh 40000\n"}) {
        PageEnv env(refresh);
        PageBuilder page(&env.config(), &env.catalogue());
        EXPECT_EQ(page.refresh_timeout(), 0) << refresh;
    }
    PageEnv env;
    run_in_browser(
        env, content_page(env, kAccessUser, 0, -5, "Summary", nullptr), Browser(),
        "init(1);\nassert.strictEqual(TimeOut, 0);\nassert.strictEqual(timers.length, 0);\n");
}

TEST(PageScripts, RedirectCarriesMessageControllerAndLoginState) {
    const char* message = "Unit \"a</script>\" failed\r\nnext\nline \\ \xC3\xA4";
    const char* one_line = "Unit \"a</script>\" failed  next line \\ \xC3\xA4";
    const struct {
        const char* target;
        const char* message;
        int code;
        const char* url;
        const char* checks;
    } cases[] = {
        {"/page0.html", message, kRedirectDone, "/page0.html?c=2",
         "assert.strictEqual(parent.who, 1); assert.strictEqual(find('update_login').length, 0);"},
        {"/page2_2.html?AvailListSort=3", message, kRedirectFailed,
         "/page2_2.html?AvailListSort=3&c=2", "assert.strictEqual(find('menu_reload').length, 0);"},
        {"/page0.html", message, kRedirectUserLoggedIn, "/page0.html?c=2",
         "assert.deepStrictEqual(find('update_login'), [['update_login', 2]]);"},
        {"/page0.html", message, kRedirectAdminLoggedIn, "/page0.html?c=2",
         "assert.deepStrictEqual(find('update_login'), [['update_login', 3]]);"},
        {"/page0.html", message, kRedirectLoggedOut, "/page0.html?c=2",
         "assert.deepStrictEqual(find('update_login'), [['update_login', 1]]);"},
        {"/page4.html", nullptr, kRedirectLanguageChanged, "/page4.html?c=2",
         "assert.strictEqual(parent.lang, 6); assert.deepStrictEqual(find('menu_reload'), "
         "[['menu_reload']]);"
         "assert.strictEqual(parent.lastmessage, '');"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.code);
        PageEnv env("Language 6\n");
        PageBuilder page(&env.config(), &env.catalogue());
        page.write_redirect(c.target, c.message, c.code);
        Browser browser;
        browser.cur_controller = 2;
        browser.lang = 6;
        std::string checks =
            "redirect_page();\nassert.deepStrictEqual(find('hide_message'), [['hide_message']]);\n";
        if (c.message != nullptr) {
            checks +=
                "assert.strictEqual(parent.lastmessage, " +
                js_value(
                    std::string("<font style=\"color: #FF0000;font-size: 10pt; font-weight: bold; "
                                "font-family:Arial,Helvetica;\">&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;"
                                "&nbsp;&nbsp;&nbsp;") +
                    one_line + "</font>") +
                ");\n";
        }
        checks += c.checks;
        checks +=
            "\nassert.strictEqual(find('replace').length, 0);\nassert.deepStrictEqual(timers.map(t "
            "=> t.ms), [250]);\n"
            "run_timers();\nassert.deepStrictEqual(find('replace'), [['replace', " +
            js_value(c.url) + "]]);\n";
        run_in_browser(env, body_of(page), browser, checks);
    }
}

TEST(PageScripts, PortChangeReplacesTheWholeFrameSet) {
    PageEnv env;
    const char* url = "https://evil\"</script>host:8443/";
    PageBuilder page(&env.config(), &env.catalogue());
    page.write_go_home(url);
    Browser browser;
    run_in_browser(
        env, body_of(page), browser,
        "parent.lastmessage = 'old';\ngo_home();\nassert.strictEqual(parent.lastmessage, '');\n"
        "assert.deepStrictEqual(find('hide_message'), [['hide_message']]);\n"
        "assert.deepStrictEqual(timers.map(t => t.ms), [8000]);\nrun_timers();\n"
        "assert.deepStrictEqual(find('top_replace'), [['top_replace', " +
            js_value(url) + "]]);\nassert.strictEqual(find('replace').length, 0);\n");
}

TEST(PageScripts, NoRemoteAccessLogsTheFrameSetOut) {
    PageEnv env("Refresh 5\n");
    PageBuilder page(&env.config(), &env.catalogue());
    page.set_access_level(kAccessNone);
    page.write_no_remote_access(3);
    Browser browser;
    browser.who = 3;
    run_in_browser(env, body_of(page), browser, R"JS(
// The statement outside any function has already run.
assert.strictEqual(parent.who, 1);
assert.deepStrictEqual(find('update_login'), [['update_login', 1]]);
init(1);
assert.strictEqual(parent.cur_controller, 3);
assert.deepStrictEqual(find('toggle'), [['toggle', 'hidden']]);
assert.strictEqual(timers.length, 0);
)JS");
}

TEST(PageScripts, NavigationFunctionsLoadTheirPages) {
    PageEnv env;
    PageBuilder page(&env.config(), &env.catalogue());
    page.text_body().append("<script>\n");
    ScriptWriter& s = page.script();
    s.write_validate_name(page.text_body());
    s.write_goto_controller(page.text_body());
    s.write_goto_enclosure(page.text_body());
    s.write_goto_unit(page.text_body());
    s.write_goto_physummary(page.text_body());
    s.write_goto_drivesummary(page.text_body());
    page.text_body().append("</script>\n");
    Browser browser;
    browser.cur_controller = 1;
    run_in_browser(env, page.text_body().c_str(), browser, R"JS(
const loads = [
  [() => goto_enclosure(2, 7), '/page3_3.html?e=2&c=1&slot=7'],
  [() => goto_unit(4), '/page1_1.html?c=1&u=4'],
  [() => goto_physummary(5), '/page1_0_1.html?c=1&y=5'],
  [() => goto_drivesummary(6), '/page1_2.html?c=1&d=6'],
  [() => goto_controller(3), '/page1_1.html?c=3&u=-2'],
];
for (const [go, url] of loads) { go(); assert.strictEqual(document.location.href, url); }
assert.strictEqual(parent.cur_controller, 3);
assert.strictEqual(validate_name('Unit_1-data.x'), true);
assert.strictEqual(validate_name(''), true);
for (const bad of '%&,;:"\'{}|\\~`*[]<>()@ \t'.split('')) {
  assert.strictEqual(validate_name('a' + bad + 'b'), false, JSON.stringify(bad));
}
)JS");
}

}  // namespace
