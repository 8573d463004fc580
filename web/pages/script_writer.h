// Writes the JavaScript functions of the pages, one function per call, into
// a page's body. Catalogue texts are looked up in the configured language;
// every other value is escaped for the string literal it goes into.
#pragma once

#include "driver/object_id.h"

class ConfigStore;
class MessageCatalogue;
class StringBuilder;
struct ControllerRecord;

class ScriptWriter {
public:
    ScriptWriter(ConfigStore* config, MessageCatalogue* catalogue);
    ScriptWriter(const ScriptWriter&) = delete;
    ScriptWriter& operator=(const ScriptWriter&) = delete;

    // The page variables refreshTimer and TimeOut and the function
    // init(messageclear) that every content page runs on load. title is a
    // catalogue text, page_name one of the pages' fixed English names;
    // records holds one record per entry of list, in list order. Pages
    // without controller data pass null for both; a list whose count is
    // below 1 (the "none found" mark -888 included) or above its room shows
    // no controllers. A timeout of 0 or less means the page does not refresh
    // itself.
    int write_init(StringBuilder& body, const char* title, const char* page_name,
                   const ControllerIdList* list, const ControllerRecord* records, int timeout_ms,
                   int current_controller, int access_level);
    // The function redirect_page(): shows message (may be null; line breaks
    // become blanks) in the menu banner, applies the login or language
    // change of code and loads target 250 ms later with the current
    // controller appended.
    int write_redirect_page(StringBuilder& body, const char* target, const char* message, int code);

    int write_validate_name(StringBuilder& body);
    int write_goto_controller(StringBuilder& body);
    int write_goto_enclosure(StringBuilder& body);
    int write_goto_unit(StringBuilder& body);
    int write_goto_physummary(StringBuilder& body);
    int write_goto_drivesummary(StringBuilder& body);

    // Appends `parent.lastmessage = "<banner>";` for a catalogue text.
    void write_banner_catalogue(StringBuilder& body, const char* text);

    // --- The maintenance page's scripts that create and migrate units. Those
    // taking the controller's record write what that controller offers (its
    // series, RAID 6, port label, battery) into the function.
    int write_show_createpopup(StringBuilder& body);
    int write_update_create_drives(StringBuilder& body, const ControllerRecord& controller);
    int write_update_raidtype(StringBuilder& body, const ControllerRecord& controller);
    int write_update_options(StringBuilder& body);
    int write_update_stripe_options(StringBuilder& body, const ControllerRecord& controller);
    int write_set_qm_recovery_create(StringBuilder& body);
    int write_create_unit(StringBuilder& body, const ControllerRecord& controller);
    int write_show_modifypopup(StringBuilder& body);
    int write_update_modify_drives(StringBuilder& body, const ControllerRecord& controller);
    int write_update_modraidtype(StringBuilder& body, const ControllerRecord& controller);
    int write_modify_unit(StringBuilder& body);

private:
    // Catalogue text of (category, code) in the configured language.
    const char* text(int category, int code);

    ConfigStore* config_;
    MessageCatalogue* catalogue_;
};

// RedirectCode: the outcome an action hands to the next page.
enum : int {
    kRedirectDone = 0,
    kRedirectNotPermitted = 1,
    kRedirectFailed = 2,
    kRedirectUserLoggedIn = 102,
    kRedirectAdminLoggedIn = 103,
    kRedirectLoggedOut = 104,
    kRedirectLanguageChanged = 105,
};
