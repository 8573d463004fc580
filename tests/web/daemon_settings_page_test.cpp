// The Pyv2 Settings page as it is written from the configuration: the
// controls of each setting showing what is stored, the mail password for
// the administrator only, stored texts escaped, and the page's scripts
// parsing with hostile catalogue texts and sending what was typed in node.
#include "web/pages/daemon_settings_page.h"

#include <gtest/gtest.h>

#include <string>

#include "daemon/http_codes.h"
#include "tests/web/page_test_support.h"
#include "web/pages/page_builder.h"

namespace {

using pagetest::PageEnv;
using pagetest::run_node;
using pagetest::section;
using pagetest::write_file;

const char* const kHostile = "Evil \"q\" 'single' </script><script>alert(1)</script> \\ \\n end\\";

std::string page4(PageEnv& env, int level, int c = 2, int u = -2) {
    PageBuilder page(&env.config(), &env.catalogue());
    page.set_access_level(static_cast<uint32_t>(level));
    EXPECT_EQ(write_page4(page, c, u), 0);
    EXPECT_EQ(page.get_content_type(), static_cast<unsigned>(kContentHtml));
    return std::string(page.get_body(), static_cast<size_t>(page.get_body_length()));
}

bool has(const std::string& page, const std::string& part) {
    return page.find(part) != std::string::npos;
}

// The page's one script element.
std::string script_of(const std::string& page) {
    const size_t start = page.find("<script>");
    const size_t end = page.find("</script>");
    EXPECT_NE(start, std::string::npos);
    EXPECT_EQ(page.find("<script", start + 1), std::string::npos) << "a value opened a script";
    EXPECT_EQ(page.find("</script>", end + 1), std::string::npos) << "a value closed the script";
    return page.substr(start + 8, end - start - 8);
}

TEST(DaemonSettingsPage, ControlsShowTheStoredSettings) {
    PageEnv env(
        "EmailEnable 1\nEmailSeverity 2\nEmailServerPortFlag 1\nRefresh 5\nPort 8443\n"
        "RemoteAccess 0\nCommandLog 1\n");
    const std::string page = page4(env, kAccessAdmin, 2, 7);
    // A checked radio sends nothing; the other one its setting.
    EXPECT_TRUE(has(page,
                    "<input type=\"radio\" checked>Enabled <input type=\"radio\" "
                    "onClick=\"change_email_enable(0)\">Disabled"));
    EXPECT_TRUE(has(page,
                    "<option value=\"3\">INFO</option>\n<option value=\"2\" selected>WARNING"
                    "</option>\n<option value=\"1\">ERROR</option>"));
    EXPECT_TRUE(has(page,
                    "<input type=\"radio\" name=\"SecurePortYes\" checked "
                    "onClick=\"change_email_securedport(1, this)\">Yes "
                    "<input type=\"radio\" name=\"SecurePortNo\" "
                    "onClick=\"change_email_securedport(0, this)\">No"));
    EXPECT_TRUE(has(page, "<option value=\"5\" selected>5</option>"));
    EXPECT_TRUE(has(page, "name=\"Port\" size=\"5\" maxlength=\"5\" value=\"8443\""));
    EXPECT_TRUE(has(page,
                    "<input type=\"radio\" onClick=\"change_remote_access(1, this)\">Enabled "
                    "<input type=\"radio\" checked>Disabled"));
    EXPECT_TRUE(has(page,
                    "<input type=\"radio\" checked>Enabled <input type=\"radio\" "
                    "onClick=\"change_command_logging(0,this)\">Disabled"));
    EXPECT_TRUE(
        has(page, "<form name=\"chpwd\" method=\"post\" action=\"page4.html?c=2&u=7&cp=1\">"));
    EXPECT_TRUE(has(page,
                    "<input type=\"button\" value=\"Change Password\" "
                    "onClick=\"submit_changepwd();\">"));
    EXPECT_TRUE(has(page, "var TimeOut = 300000;"));
    EXPECT_TRUE(has(page, "toggle_select_controller('hidden')"));
    EXPECT_TRUE(has(page, "This page will automatically refresh every 5 minute(s)"));
    // The functions in the page's order; no control asks for a language.
    size_t at = 0;
    for (const char* f :
         {"change_email_enable(enable)", "change_email_securedport(enable, radio)",
          "change_email_info()", "send_test_email()", "change_email_severity()", "change_refresh()",
          "change_remote_access(enable, radio)", "change_command_logging(enable, radio)",
          "change_language()", "change_port()", "submit_changepwd()"}) {
        const size_t next = page.find(std::string("function ") + f, at);
        EXPECT_NE(next, std::string::npos) << f;
        at = next;
    }
    EXPECT_FALSE(has(page, "<form name=\"ChangeLanguage\""));
}

TEST(DaemonSettingsPage, NeverIsShownWithoutBeingMarked) {
    PageEnv env("Refresh 0\nEmailEnable 0\n");
    const std::string page = page4(env, kAccessAdmin);
    const size_t select = page.find("<select name=\"refresh\"");
    ASSERT_NE(select, std::string::npos);
    const std::string options = page.substr(select, page.find("</select>", select) - select);
    EXPECT_FALSE(has(options, " selected"));
    EXPECT_TRUE(has(options, "<option value=\"0\">Never</option>"));
    EXPECT_TRUE(has(page,
                    "<input type=\"radio\" onClick=\"change_email_enable(1)\">Enabled "
                    "<input type=\"radio\" checked>Disabled"));
    EXPECT_TRUE(has(page, "var TimeOut = 0;"));
    EXPECT_FALSE(has(page, "automatically refresh"));
}

TEST(DaemonSettingsPage, TheMailPasswordIsTheAdministratorsAlone) {
    PageEnv env;
    ASSERT_EQ(env.config().set_email_server_login("bob"), 0);
    ASSERT_EQ(env.config().set_email_server_passwd("s3cr&t\"<"), 0);
    const std::string admin = page4(env, kAccessAdmin);
    EXPECT_TRUE(has(admin,
                    "<input type=\"password\" name=\"ServerPasswd\" size=\"32\" "
                    "value=\"s3cr&amp;t&quot;&lt;\">"));
    const std::string user = page4(env, kAccessUser);
    EXPECT_TRUE(
        has(user, "<input type=\"password\" name=\"ServerPasswd\" size=\"32\" value=\"\">"));
    EXPECT_FALSE(has(user, "s3cr"));
    EXPECT_TRUE(has(user, "<input type=\"button\" value=\"Change Password\" disabled>"));
    EXPECT_FALSE(has(user, "onClick=\"submit_changepwd();\""));
}

TEST(DaemonSettingsPage, StoredTextsAreEscaped) {
    PageEnv env;
    ASSERT_EQ(env.config().set_email_sender("\"><script>alert(1)</script>"), 0);
    ASSERT_EQ(env.config().set_email_recipient("a@b' onmouseover='x"), 0);
    const std::string page = page4(env, kAccessAdmin);
    EXPECT_TRUE(has(page, "value=\"&quot;&gt;&lt;script&gt;alert(1)&lt;/script&gt;\""));
    EXPECT_TRUE(has(page, "value=\"a@b&#39; onmouseover=&#39;x\""));
    script_of(page);
}

// Runs js in node (with args such as "--check"); the test fails with node's
// output when node does.
void expect_node_passes(PageEnv& env, const std::string& js, const char* args = "") {
    const std::string path = env.dir().file("script.js");
    ASSERT_TRUE(write_file(path, js));
    std::string output;
    EXPECT_EQ(run_node(args, path, &output), 0) << output;
}

// A stand-in for the browser: the page's forms with the values typed, the
// dialogs answering as told, and every page load recorded.
const char* const kBrowser = R"JS(
const assert = require('assert');
const loads = [];
const dialogs = [];
let confirmAnswer = true;
let submitted = 0;
function alert(m) { dialogs.push(['alert', m]); }
function confirm(m) { dialogs.push(['confirm', m]); return confirmAnswer; }
function setTimeout() {}
function field(value) { return { value: value, checked: false }; }
function select(value) { return { selectedIndex: 0, options: [{ value: value }] }; }
const forms = {
  ChangeMail: { elements: { Sender: field('a&b c+d%@x'), Recipient: field('r#1@y, s@z'),
                            Server: field('mail.example'), ServerLogin: field('bob'),
                            ServerPasswd: field('p?w=&1'), SecurePortYes: field(''),
                            SecurePortNo: field(''), Severity: select('1') } },
  ChangeRefresh: { elements: { refresh: select('7') } },
  ChangePort: { elements: { Port: field('8443') } },
  ChangeLanguage: { elements: { Language: select('5') } },
  chpwd: { elements: { newpwd: field('new1'), cfmpwd: field('new1') }, submit() { submitted++; } },
};
var document = { all: undefined, forms: forms, location: { replace(u) { loads.push(u); } } };
var parent = { cur_controller: 3, menu: {} };
)JS";

TEST(DaemonSettingsPage, ScriptsSendWhatWasTyped) {
    PageEnv env;
    const std::string script = script_of(page4(env, kAccessAdmin));
    const std::string js = std::string(kBrowser) + script + R"JS(
const mail = forms.ChangeMail.elements;
change_email_securedport(1, mail.SecurePortYes);
assert.deepStrictEqual([mail.SecurePortYes.checked, mail.SecurePortNo.checked], [true, false]);
change_email_info();
change_email_securedport(0, mail.SecurePortNo);
assert.deepStrictEqual([mail.SecurePortYes.checked, mail.SecurePortNo.checked], [false, true]);
change_email_info();
change_email_enable(1);
send_test_email();
change_email_severity();
change_refresh();
change_command_logging(0, field(''));
change_language();
change_port();
assert.deepStrictEqual(loads, [
  '/page4.html?EmailSender=a%26b%20c%2Bd%25%40x&EmailRecipient=r%231%40y%2C%20s%40z' +
    '&EmailServer=mail.example&EmailServerLogin=bob&EmailServerPasswd=p%3Fw%3D%261' +
    '&EmailSecurePort=1&c=3',
  '/page4.html?EmailSender=a%26b%20c%2Bd%25%40x&EmailRecipient=r%231%40y%2C%20s%40z' +
    '&EmailServer=mail.example&EmailServerLogin=bob&EmailServerPasswd=p%3Fw%3D%261' +
    '&EmailSecurePort=0&c=3',
  '/page4.html?ChangeEmailEnable=1&c=3',
  '/page4.html?SendTestEmail=1&c=3',
  '/page4.html?EmailSeverity=1&c=3',
  '/page4.html?Refresh=7&c=3',
  '/page4.html?CommandLog=0&c=3',
  '/page4.html?Language=5&c=3',
  '/page4.html?Port=8443&c=3',
]);
assert.deepStrictEqual(dialogs, []);
)JS";
    expect_node_passes(env, js);
}

TEST(DaemonSettingsPage, RemoteAccessAndPasswordsAskFirst) {
    PageEnv env;
    const std::string script = script_of(page4(env, kAccessAdmin));
    const std::string js = std::string(kBrowser) + script + R"JS(
// Disabling remote access is confirmed; a refusal unchecks the radio.
const radio = field('');
radio.checked = true;
confirmAnswer = false;
assert.strictEqual(change_remote_access(0, radio), false);
assert.strictEqual(radio.checked, false);
assert.deepStrictEqual(loads, []);
assert.match(dialogs[0][1], /^If you are currently connected from a remote machine/);
confirmAnswer = true;
change_remote_access(0, field(''));
change_remote_access(1, field(''));
assert.deepStrictEqual(loads, ['/page4.html?RemoteAccess=0&c=3', '/page4.html?RemoteAccess=1&c=3']);
assert.strictEqual(dialogs.length, 2);

// The password form is posted only with two equal new passwords free of
// '?' and '&'.
const pw = forms.chpwd.elements;
pw.cfmpwd.value = 'other';
assert.strictEqual(submit_changepwd(), false);
pw.cfmpwd.value = pw.newpwd.value = 'a?b';
assert.strictEqual(submit_changepwd(), false);
pw.cfmpwd.value = pw.newpwd.value = 'a&b';
assert.strictEqual(submit_changepwd(), false);
assert.strictEqual(submitted, 0);
assert.deepStrictEqual(dialogs.slice(2), [
  ['alert', '(0x0C:0x0012): The two new passwords do not match : User Password unchanged'],
  ['alert', "Error! New password contains reserved character '?' or '&' : User Password unchanged"],
  ['alert', "Error! New password contains reserved character '?' or '&' : User Password unchanged"],
]);
pw.cfmpwd.value = pw.newpwd.value = 'fine';
submit_changepwd();
assert.strictEqual(submitted, 1);
)JS";
    expect_node_passes(env, js);
}

TEST(DaemonSettingsPage, ScriptParsesWithHostileCatalogueTexts) {
    PageEnv env("Language 5\n");
    env.write_messages(
        "fr", section(0x13, {{151, kHostile}, {128, kHostile}, {303, kHostile}, {419, kHostile}}) +
                  section(0x0C, {{18, kHostile}}));
    const std::string page = page4(env, kAccessAdmin);
    const std::string script = script_of(page);
    // The title three times in init(), the remote-access question once, the
    // password alerts four times.
    size_t texts = 0;
    for (size_t at = script.find("Evil \\\"q\\\""); at != std::string::npos;
         at = script.find("Evil \\\"q\\\"", at + 1))
        ++texts;
    EXPECT_EQ(texts, 8u);
    expect_node_passes(env, script, "--check");
}

}  // namespace
