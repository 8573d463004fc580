// The request values of the maintenance actions, read strictly: a unit or
// port number is 0 to 255 written in decimal digits, a list is such numbers
// joined by "," (as the page's scripts join them; a trailing "," adds
// nothing), and a value longer than its 127-character buffer holds is not
// cut short. Anything else is a bad request, which the action refuses
// before it changes anything.
#pragma once

#include "web/actions/maintenance_actions.h"
#include "web/actions/number_list.h"
#include "web/actions/request_values.h"

// The value of key as received; false when absent or too long.
bool read_value(const char* url, const char* key, char (&value)[kValueSize]);
// A number of 0 to 255; false when absent or not such a number.
bool read_number(const char* url, const char* key, char (&value)[kValueSize], int* number);
// A list; an absent key gives an empty list. False for a bad list.
bool read_number_list(const char* url, const char* key, NumberList* list);

// Answers the refusal of a bad request (12:31 "Operation aborted",
// RedirectCode 2).
int refuse_bad_request(const MaintenanceRequest& m);
// Answers the administrator refusal: 12:17, the separator and 19:code
// (RedirectCode 1).
int refuse_level(const MaintenanceRequest& m, const char* separator, int code);
// True when the request may act (the administrator level).
bool may_act(const MaintenanceRequest& m);
