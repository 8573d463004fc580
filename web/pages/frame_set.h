// The frame set ("/" and "/index.html") and the menu frame ("/menu.html").
// Neither needs a login. Both write into a fresh page builder, whose answer
// is text/html.
#pragma once

#include "driver/object_id.h"

class PageBuilder;
struct ControllerRecord;

// The frame set with its shared variables (cur_controller, cur_unit,
// lastmessage, who, lang) and its two frames. Returns 0.
int write_index(PageBuilder& page, const char* host_name, int access_level);

// The menu: logos, host, login state and logout button, the menus, the page
// title, the controller selector (one option per record, or "NO
// CONTROLLERS" when the list's count, read as a signed number, is not 1 to
// 255) and the message banner. Returns 0.
int write_menu(PageBuilder& page, const char* host_name, const char* os_text, const ControllerIdList* list,
               const ControllerRecord* records, int access_level);
