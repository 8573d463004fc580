// The frame every page handler is built on. A handler answers one page URL
// (its route in daemon/dispatcher.cpp) and has this shape:
//
//   int handle_pageX(DaemonContext* context, PageBuilder* page, const PageRequest& request) {
//       ControllerSelection controllers;                // reads the controller list
//       if (controllers.none())                         // the page's "NO CONTROLLERS" form
//           return write_pageX(*page, kNoneFound, kNoneFound, controllers.list(), nullptr);
//       controllers.select(context->get_param_c(request.url));  // outside the list: 0
//       ControllerRecord* records = controllers.fill(context);  // freed with `controllers`
//       ControllerRecord& r = controllers.selected();
//
//       if (has_key(request.url, "DoThing=")) {         // the first key present decides
//           ActionMessage message(context);
//           if (request.level != kAccessAdmin)          // 12:17, separator, action text
//               return message.refusal(kRefusalColon).web(NN)
//                   .redirect(page, "/pageX.html", kRedirectNotPermitted);
//           ObjectId unit;                              // preset 0xFF; -1: not made
//           int result = make_unit_id(controllers.controller_index(),
//                                     get_number(request.url, "DoThing=", 0), &unit);
//           if (result == 0) result = context->command_logger()->do_thing(unit);
//           if (result != 0) message.failure(MM);       // library text " : " 19:MM
//           else message.web(KK);
//           return message.redirect(page, "/pageX.html", kRedirectDone);
//       }
//       if (attach_unit_records(r) != nullptr)          // 1 to 64 units, else marked kNoneFound
//           context->fill_units(r.units, r.unit_records, &r, 0);
//       return write_pageX(*page, controllers.position(), ..., controllers.list(), records);
//   }
//
// Every record a handler attaches belongs to its ControllerRecord, and the
// records to the ControllerSelection, so every return frees them. Values
// that are not catalogue texts go into a message through
// ActionMessage::value (escaped); list values through parse_number_list.
#pragma once

#include "daemon/daemon_context.h"
#include "daemon/dispatcher.h"
#include "daemon/http_codes.h"
#include "web/actions/action_message.h"
#include "web/actions/controller_selection.h"
#include "web/actions/number_list.h"
#include "web/actions/request_values.h"
#include "web/pages/page_builder.h"
#include "web/pages/script_writer.h"
