// The Pyv2 Settings page ("/page4.html"): the daemon's own settings, read
// from the configuration as they stand: e-mail notification, the passwords,
// the page refresh, the listening port, remote access and command logging.
// Each control runs one of the page's scripts, which loads "/page4.html"
// with the action's keys (the password form posts its fields).
#pragma once

class PageBuilder;

// Writes the whole page; c and u go into init() and the password form's
// target. The stored mail server password is written into the page for an
// administrator only. Returns 0.
int write_page4(PageBuilder& page, int c, int u);

// The page's scripts, one JavaScript function each, in the page's order.
// change_email_info and change_port send the typed values URL-encoded.
int write_change_email_enable(PageBuilder& page);       // change_email_enable(enable)
int write_change_email_securedport(PageBuilder& page);  // change_email_securedport(enable, radio)
int write_change_email_info(PageBuilder& page);         // change_email_info()
int write_send_test_email(PageBuilder& page);           // send_test_email()
int write_change_email_severity(PageBuilder& page);     // change_email_severity()
int write_change_refresh(PageBuilder& page);            // change_refresh()
int write_change_remote_access(PageBuilder& page);      // change_remote_access(enable, radio)
int write_change_command_logging(PageBuilder& page);    // change_command_logging(enable, radio)
int write_change_language(PageBuilder& page);           // change_language()
int write_change_port(PageBuilder& page);               // change_port()
int write_submit_changepwd(PageBuilder& page);          // submit_changepwd()
