// The enclosure members of SeriesBackend, included inside its class body.
// Enclosures are reached through the firmware's SCSI pass-through: SES
// processors through diagnostic pages, SAF-TE processors through READ and
// WRITE BUFFER. Byte 7 of an enclosure or element identifier says which (1
// SES, 0 SAF-TE); the cache records of the SES configuration are filled by
// the enclosure listing. Device-supplied lengths, counts and positions are
// checked against the buffer they arrived in before use.
//
// Element identifiers: byte 2 is the element's index in its enclosure;
// bytes 3 and 5 its index within, and the number of, its SES sub-enclosure.

// --- The SCSI pass-through and the enclosure commands built on it.
static constexpr int32_t kEnclosurePageSize = 2048;  // pages and SAF-TE buffers

// The plain pass-through: the 16-byte command block goes out with the LUN
// bits of an enclosure target merged into byte 1 and comes back as the
// firmware returned it. data (length bytes, 0 to none) goes both ways.
static int send_scsi_command(ObjectId id, uint8_t* cdb, void* data, int32_t length, uint8_t lun);
// The enclosure pass-through offered to callers: block of 1 to 16 bytes,
// the SCSI status and up to sense_size bytes of sense data back. The
// time-out is accepted and not carried by the request.
static int send_enclosure_scsi_command(ObjectId id, const uint8_t* cdb, int32_t cdb_length,
                                       uint8_t* status, uint8_t* sense, int32_t sense_size,
                                       void* data, int32_t length, int32_t timeout_seconds,
                                       uint8_t lun);
// Standard INQUIRY into the zeroed buffer.
static int send_inquiry(ObjectId id, uint8_t* buffer, int32_t length, uint8_t lun);
// SAF-TE buffers: buffer holds kEnclosurePageSize bytes and is zeroed whole
// before a read.
static int read_buffer(ObjectId id, uint8_t buffer_id, uint8_t* buffer, int32_t length);
static int write_buffer(ObjectId id, uint8_t* buffer, int32_t length);
// SES pages, to the LUN of identifier byte 5: buffer holds kEnclosurePageSize
// bytes and is zeroed whole before a read; a page that comes back with
// another page code is API error 126.
static int receive_diagnostic_page(ObjectId id, uint8_t page, uint8_t* buffer, int32_t length);
static int send_diagnostic_page(ObjectId id, uint8_t* buffer, int32_t length);

// --- Discovery and the cache.
// The controller's enclosure type (1 SES, 0 SAF-TE), table 8 parameter 2.
static int get_enclosure_type(ObjectId id, uint8_t* type);
int set_enclosure_type(ObjectId id, uint8_t type) const;
int get_enclosure_parameter_block(ObjectId id, uint8_t* block) const;        // 1024 bytes
int set_enclosure_parameter_block(ObjectId id, const uint8_t* block) const;  // 1024 bytes
int get_enclosure_position_kinds(ObjectId id, uint8_t* kinds) const;        // 32 bytes
// The enclosures of the controller, positions 0 to 15 probed in order; each
// listed enclosure's cache record is rewritten.
int get_enclosure_list(ObjectId controller, EnclosureIdList* out);
int get_enclosure_count(ObjectId controller, uint32_t* count);
// 1 when an enclosure answers at the position (with the number of SES
// sub-enclosures found for position kind 1), else 0.
int probe_enclosure(ObjectId controller, uint8_t position, uint8_t type, uint8_t kind,
                    int32_t* lun_count);
// Rewrites the record of the enclosure; 1 and the identifier's byte 5 set
// to the sub-enclosure of enclosure-level commands when the record is valid.
int fill_enclosure_cache(ObjectId* enclosure, int32_t lun_count);
// Page 1 of the identifier's LUN into the sub-enclosure record.
int read_ses_configuration(ObjectId id, SubEnclosureRecord* out);
// The type descriptor headers of page 1: count x 4 bytes into out, which
// holds 1020 bytes (255 headers).
int read_type_descriptor_headers(ObjectId id, uint8_t* out, int32_t* count);

// --- Locating SES elements.
int find_element_type(ObjectId id, uint8_t ses_type, int32_t* first, int32_t* count);
// The element of the identifier (type 14: the sub-enclosure's enclosure
// element), 4 bytes.
int read_element_status(ObjectId id, uint8_t ses_type, uint8_t* element);
int count_elements(ObjectId id, uint8_t ses_type, int32_t* count);
// Fills bytes 3 and 5 of an SES element identifier from the cache.
int resolve_element_id(ObjectId* id);
int set_ses_identify(ObjectId id, uint8_t ses_type, uint8_t on);
int get_ses_identify(ObjectId id, uint8_t ses_type, uint8_t* on);

// --- The enclosure as a whole.
int get_enclosure_logical_id(ObjectId id, uint8_t* out);     // 8 bytes
int get_enclosure_serial_number(ObjectId id, uint8_t* out);  // up to 128 bytes
// Texts of 8, 16 and 4 characters and a NUL; SAF-TE leaves them untouched.
int get_enclosure_vendor(ObjectId id, char* out);
int get_enclosure_model(ObjectId id, char* out);
int get_enclosure_revision(ObjectId id, char* out);
// The help text, not terminated. A size below its length is API error 116
// with the length needed stored in size.
int get_enclosure_diagnostic_log(ObjectId id, char* buffer, int32_t* size);
int identify_enclosure(ObjectId id, uint8_t on);
int get_enclosure_identify(ObjectId id, uint8_t* on);
int get_enclosure_status(ObjectId id, uint32_t* status);
int supports_identify(ObjectId id, uint32_t* supported);
// The drive slot that holds a port's drive (SAF-TE: slot index 0xFF when
// none does), and the port of a slot's drive.
int get_port_slot(ObjectId port, ObjectId* slot);
int get_slot_port(ObjectId slot, ObjectId* port);

// --- Element index checks: 0xFF or above the kind's limit is refused with
// the kind's "does not exist" error.
static int check_fan_index(ObjectId id);
static int check_door_lock_index(ObjectId id);
static int check_alarm_index(ObjectId id);
static int check_slot_index(ObjectId id);
static int check_temp_sensor_index(ObjectId id);
static int check_power_supply_index(ObjectId id);

// --- Fans. Speed codes 0 (stopped) to 7 (highest).
int get_fan_count(ObjectId enclosure, uint32_t* count);
int get_fan_list(ObjectId enclosure, ElementIdList* out);
int get_fan_list_status(uint8_t* status, uint32_t size, ElementIdList list);
int get_fan_list_speed(uint8_t* codes, uint32_t codes_size, uint32_t* rpm, uint32_t rpm_size,
                       ElementIdList list);
int get_fan_list_identify(uint8_t* identify, uint32_t size, ElementIdList list);
int get_fan_status(ObjectId fan, uint8_t* status);
int get_fan_speed_level(ObjectId fan, uint8_t* code);
int get_fan_rpm(ObjectId fan, uint32_t* rpm);
int get_fan_identify(ObjectId fan, uint8_t* on);
int identify_fan(ObjectId fan, uint8_t on);
int set_fan_speed(ObjectId fan, uint8_t code);
int set_fan_state(ObjectId fan, uint8_t on);
int write_fan_control(ObjectId fan, uint8_t mask, const uint8_t* control);

// --- Door locks and audible alarms.
int get_door_lock_count(ObjectId enclosure, uint32_t* count);
int get_door_lock_list(ObjectId enclosure, ElementIdList* out);
int get_door_lock_status(ObjectId lock, uint32_t* status);
int identify_door_lock(ObjectId lock, uint8_t on);
int set_door_lock(ObjectId lock, int32_t lock_it);
int get_alarm_count(ObjectId enclosure, uint32_t* count);
int get_alarm_list(ObjectId enclosure, ElementIdList* out);
int get_alarm_status(ObjectId alarm, uint32_t* status);
int identify_alarm(ObjectId alarm, uint8_t on);
int get_alarm_identify(ObjectId alarm, uint8_t* on);
// 1 audible, 0 muted; the reading is 1 for muted.
int set_alarm_audibility(ObjectId alarm, uint8_t audible);
int get_alarm_audibility(ObjectId alarm, uint8_t* muted);
int get_alarm_state(ObjectId alarm, uint8_t* sounding);
// Tone bits (8 information, 4 non-critical, 2 critical, 1 unrecoverable)
// added to those sounding; 0 silences every tone.
int set_alarm_state(ObjectId alarm, uint8_t tones);
int write_alarm_control(ObjectId alarm, uint8_t mask, const uint8_t* control);

// --- Drive slots. Flags: 1 device present, 8 device OK, 2 ready to
// insert, 4 ready to remove.
int get_slot_count(ObjectId enclosure, uint32_t* count);
int get_slot_list(ObjectId enclosure, SlotIdList* out);
int get_slot_list_status(uint32_t* flags, uint32_t size, SlotIdList list);
int get_slot_list_identify(uint8_t* identify, uint32_t size, SlotIdList list);
int get_slot_status(ObjectId slot, uint32_t* flags);
int read_slot_element(ObjectId slot, uint8_t* element);
int get_slot_identify(ObjectId slot, uint8_t* on);
int identify_slot(ObjectId slot, uint8_t on);
int write_slot_control(ObjectId slot, uint8_t mask, const uint8_t* control);

// --- Temperature sensors (degrees Celsius) and power supplies.
int get_temp_sensor_count(ObjectId enclosure, uint32_t* count);
int get_temp_sensor_list(ObjectId enclosure, TempSensorIdList* out);
int get_temp_sensor_list_status(uint8_t* status, uint32_t status_size, uint8_t* thresholds,
                                uint32_t thresholds_size, TempSensorIdList list);
int get_temp_sensor_list_temperature(int32_t* degrees, uint32_t size, TempSensorIdList list);
int get_temp_sensor_list_identify(uint8_t* identify, uint32_t size, TempSensorIdList list);
int get_temp_sensor_status(ObjectId sensor, uint8_t* status);
int get_temp_sensor_warnings(ObjectId sensor, uint8_t* thresholds);
int get_temp_sensor_temperature(ObjectId sensor, int32_t* degrees);
int identify_temp_sensor(ObjectId sensor, uint8_t on);
int get_temp_sensor_identify(ObjectId sensor, uint8_t* on);
int get_power_supply_count(ObjectId enclosure, uint32_t* count);
int get_power_supply_list(ObjectId enclosure, ElementIdList* out);
int get_power_supply_list_status(uint8_t* status, uint32_t status_size, uint8_t* dc,
                                 uint32_t dc_size, ElementIdList list);
int get_power_supply_list_identify(uint8_t* identify, uint32_t size, ElementIdList list);
int get_power_supply_status(ObjectId supply, uint8_t* status);
int get_power_supply_voltage(ObjectId supply, uint8_t* dc);
int identify_power_supply(ObjectId supply, uint8_t on);
int get_power_supply_identify(ObjectId supply, uint8_t* on);
int set_power_supply_state(ObjectId supply, uint8_t on);
int write_power_supply_control(ObjectId supply, uint8_t mask, const uint8_t* control);
