// The controller library's public interface: one function per operation.
//
// Calling frame, common to every function:
// - The first argument is the ObjectId of the object acted on, by value
//   (functions that act on no single object are the exceptions).
// - Byte and 16-bit inputs are taken as int and must fit their width (0 to
//   255, 0 to 65535): any other value fails with API error 122 "Invalid
//   argument or value" and nothing is sent.
// - Outputs are caller-owned buffers or scalars given by pointer; the library
//   never hands out memory for the caller to free.
// - The result is 0 for success and -1 for failure. The reason of a failure
//   is in this thread's last-error record (ctl_get_last_error). A successful
//   call leaves the record as the last failure left it, and a call that the
//   controller's family does not route returns -1 without touching it.
//
// The functions of the operation tables are declared from
// api/operation_tables.def, which says for each one what it takes and how it
// is routed.
#pragma once

#include <cstdint>

#include "api/ctl_types.h"

extern "C" {

// --- Library identity ------------------------------------------------------
// Constant texts: "tavix", "2.08.00.027" and the notice.
const char* ctl_get_vendor_name(void);
const char* ctl_get_api_version(void);
const char* ctl_get_notice_text(void);

// --- Controllers ----------------------------------------------------------
// Every controller found at start, in ascending index order; unused entries
// are all 0xFF. Fails with API error 106 when the library does not fit the
// running machine.
int ctl_list_controllers(ControllerIdList* list);

// --- Last error -----------------------------------------------------------
// Copies this thread's record, its text as composed. Returns 0.
int ctl_get_last_error(ErrorRecord* record);
// Re-renders the record's text in the language (0 English, 1 German, 2
// Japanese, 3 traditional Chinese, 4 simplified Chinese, 5 French, 6
// Spanish, 7 Italian) from the message files in message_dir, keeps the new
// text in the record, and copies the record. Language 0 leaves the text as
// composed. Returns 0; a language index outside 0 to 255 fails with API
// error 122 and copies nothing.
int ctl_get_last_error_localized(ErrorRecord* record, int language, const char* message_dir);
// The record's leading part (controller, driver, operating system, library,
// in that order) as the message category << 32 | code; 0 when the record
// holds no failure. Returns 0.
int ctl_decode_last_error(uint64_t* value, ErrorRecord record);
int ctl_split_error_code(uint64_t value, int32_t* category, int32_t* code);
// The English text of an encoded error, "(0xCC:0xNNNN): text", cut to fit
// the size of text (at least 1); an empty text when there is none.
int ctl_get_error_code_text(uint64_t value, char* text, int32_t size);

// --- Identifiers ----------------------------------------------------------
// Enclosure number: controller index * 16 + enclosure position, 0xFF for no
// enclosure. A wrong kind records the kind's API error and writes nothing.
int ctl_decode_enclosure_number(ObjectId id, uint8_t* number);
int ctl_decode_enclosure_id(ObjectId id, uint8_t* controller, uint8_t* enclosure);
int ctl_parse_enclosure_id(ObjectId id, uint8_t* controller, uint8_t* enclosure);
// Enclosure number and element index.
int ctl_decode_fan_id(ObjectId id, uint8_t* enclosure_number, uint8_t* fan);
int ctl_decode_door_lock_id(ObjectId id, uint8_t* enclosure_number, uint8_t* lock);
int ctl_decode_alarm_id(ObjectId id, uint8_t* enclosure_number, uint8_t* alarm);
int ctl_decode_slot_id(ObjectId id, uint8_t* enclosure_number, uint8_t* slot);
int ctl_decode_temp_sensor_id(ObjectId id, uint8_t* enclosure_number, uint8_t* sensor);
int ctl_decode_power_supply_id(ObjectId id, uint8_t* enclosure_number, uint8_t* supply);
// Controller index, enclosure position and element index.
int ctl_parse_fan_id(ObjectId id, uint8_t* controller, uint8_t* enclosure, uint8_t* fan);
int ctl_parse_door_lock_id(ObjectId id, uint8_t* controller, uint8_t* enclosure, uint8_t* lock);
int ctl_parse_alarm_id(ObjectId id, uint8_t* controller, uint8_t* enclosure, uint8_t* alarm);
int ctl_parse_slot_id(ObjectId id, uint8_t* controller, uint8_t* enclosure, uint8_t* slot);
int ctl_parse_temp_sensor_id(ObjectId id, uint8_t* controller, uint8_t* enclosure,
                             uint8_t* sensor);
int ctl_parse_power_supply_id(ObjectId id, uint8_t* controller, uint8_t* enclosure,
                              uint8_t* supply);
// The 8 bytes as an enclosure identifier (byte 0 set to 4).
int ctl_make_enclosure_id_raw(const uint8_t* bytes, ObjectId* id);
int ctl_get_unit_number(ObjectId id, uint8_t* number);
// The drive's port identifier: kind 3, controller, port, then 0xFF.
int ctl_get_port_id(ObjectId id, ObjectId* port);
// Not available on this platform: API error 2.
int ctl_find_unit_by_os_device(const char* device, ObjectId* unit);

// --- Reserved ---------------------------------------------------------------
// Always API error 2 "Feature not supported".
int ctl_reserved_controller_query(ObjectId id);
int ctl_reserved_controller_setting(ObjectId id);
int ctl_reserved_door_lock_op_a(ObjectId id);
int ctl_reserved_door_lock_op_b(ObjectId id);
int ctl_reserved_door_lock_op_c(ObjectId id);
int ctl_reserved_door_lock_op_d(ObjectId id);
// Does nothing; returns 0.
int ctl_init_bbu(ObjectId id);

// --- Operations -------------------------------------------------------------
#define IN8 int
#define IN16 int
#define OP(method, params, ...) int ctl_##method params;
#define OP_ONLY(...)
#define METHOD(...)
#define PUB(name, method, params, args) int name params;
#define PUB_OWN(name, params) int name params;
#include "api/operation_tables.def"
#undef IN8
#undef IN16
#undef OP
#undef OP_ONLY
#undef METHOD
#undef PUB
#undef PUB_OWN

}  // extern "C"
