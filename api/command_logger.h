// The command log: one text line per controller change made from the web
// interface, appended to a plain file that is opened and closed for every
// line. The daemon also writes lines of its own (logins, settings) through
// append_line.
//
// Each logging method carries out its change with the public function of
// the same operation (its arguments are that function's, in the same
// order), then, when logging is on, writes a line naming the operation, the
// controller and object numbers and the arguments, ended by the outcome
// ("Success" or "Failed"). It returns the public function's result
// unchanged and leaves the last-error record as that function left it.
// Numbers of an identifier of the wrong kind are written as 255.
#pragma once

#include <cstddef>
#include <cstdint>

#include "api/ctl_types.h"

class CommandLogger {
public:
    // Copies both texts; opens nothing.
    CommandLogger(const char* source_name, const char* log_path, uint8_t enabled);
    ~CommandLogger();
    CommandLogger(const CommandLogger&) = delete;
    CommandLogger& operator=(const CommandLogger&) = delete;

    uint8_t is_enabled() const { return enabled_; }
    void set_enabled(uint8_t value) { enabled_ = value; }

    // Appends "<ctime without newline> <source name> [<text>]\n", each CR or
    // LF of the text written as '?' so that a text is always one line.
    // Returns 0 when written, 1 when the file could not be opened or written
    // (the reason goes to standard error). Does not look at the enabled
    // flag.
    int append_line(const char* text);

    const char* source_name() const { return source_name_; }
    const char* log_path() const { return log_path_; }

    // Texts of the log lines, cut to fit size (which must be at least 1).
    // The unit type's name ("RAID 5", "SPARE", ... "UNKNOWN"); returns 1
    // without writing when text is null, else 0.
    static int unit_type_text(int32_t type, char* text, size_t size);
    // The stripe size in KiB of a striped unit type (RAID 0, 5, 6, 10, 50),
    // "n/a" for the others or a stripe code below 1.
    static int stripe_text(int32_t type, int32_t stripe, char* text, size_t size);
    // The ports of the listed drives, separated by single blanks; at most the
    // room of the list is read, whatever its count says.
    static int drive_list_text(const IdList* drives, char* text, size_t size);

    // Controller settings and background tasks. Rates are written as they
    // stand after the call; a schedule start above Saturday 23:45 (10065
    // minutes), or below 0, is written as a deleted slot.
    int set_verify_mode(ObjectId controller, int mode);
    int set_rebuild_mode(ObjectId controller, int mode);
    int set_verify_rate(ObjectId controller, int32_t* rate);
    int set_rebuild_rate(ObjectId controller, int32_t* rate);
    int set_selftest_flags(ObjectId controller, uint16_t* flags);
    int set_selftest_task(ObjectId controller, int slot, int start);
    int set_verify_task(ObjectId controller, int slot, int start, int duration);
    int set_rebuild_task(ObjectId controller, int slot, int start, int duration);
    int set_number_spinups_allowed(ObjectId controller, int32_t count);
    int set_stagger_time(ObjectId controller, int32_t time);
    int set_auto_rebuild(ObjectId controller, int policy);
    int disable_multi_lun_policy(ObjectId controller);
    int enable_multi_lun_policy(ObjectId controller);
    // The size is written whole, in sectors.
    int set_lun_size(ObjectId controller, uint64_t size);
    // The verify schedule's line names the schedule the controller keeps:
    // "Advance" (on) and "Basic" (off) where it schedules verifies the newer
    // way (ctl_get_firmware_level answers 1), else "Enable" and "Disable".
    int disable_verify_schedule(ObjectId controller);
    int enable_verify_schedule(ObjectId controller);
    int disable_rebuild_schedule(ObjectId controller);
    int enable_rebuild_schedule(ObjectId controller);

    // The battery backup unit and the controller's logs.
    int disable_bbu(ObjectId controller);
    int enable_bbu(ObjectId controller);
    int start_bbu_battery_test(ObjectId controller);
    int get_error_log_buffer(ObjectId controller, uint8_t* log);
    int get_error_log(ObjectId controller, uint8_t* log);
    // Reads the image file whole and downloads it to the controller.
    int download_firmware(ObjectId controller, const char* file_name);

    // Creating and reshaping units. A created unit's line names the new
    // unit; a failed one names the controller of the first listed drive
    // (255 for an empty list). The new unit's identifier is set to all 0xFF
    // before the call.
    int create_unit(const IdList* drives, int type, int stripe, int make_os_aware, ObjectId* unit);
    int create_unit_with_subunits(const IdList* drives, int type, int stripe, int make_os_aware,
                                  ObjectId* unit, int per_subunit);
    // The drives per sub-unit are written only for a RAID 50 of 12, 15 or
    // 16 drives.
    int start_migrate_unit(ObjectId unit, const IdList* drives, int type, int stripe,
                           int make_os_aware, int per_subunit);
    int delete_unit(ObjectId unit, int make_os_aware);
    int export_unit(ObjectId unit, int make_os_aware);
    int remove_unit(ObjectId unit, int make_os_aware);
    int split_mirror(ObjectId unit, int make_os_aware, IdList* units);
    // Starts a verify of the unit.
    int verify_unit(ObjectId unit);
    int rebuild_unit(ObjectId unit, const IdList* drives, int ignore_ecc);

    // Unit caches and command queuing.
    int disable_read_cache(ObjectId unit);
    int enable_basic_read_cache(ObjectId unit);
    int enable_intelligent_read_cache(ObjectId unit);
    int disable_write_cache(ObjectId unit);
    int enable_write_cache(ObjectId unit);
    int flush_write_cache(ObjectId unit);
    int disable_unit_queuing(ObjectId unit);
    int enable_unit_queuing(ObjectId unit);

    // Unit policies and names.
    int halt_on_ecc_errors_on_rebuild(ObjectId unit);
    int continue_on_ecc_errors_on_rebuild(ObjectId unit);
    int disable_auto_verify(ObjectId unit);
    int enable_auto_verify(ObjectId unit);
    int set_unit_name(ObjectId unit, const char* name);
    int set_protection_mode(ObjectId unit, int mode);
    int set_recovery_policy(ObjectId unit, int policy);

    // Drives, ports and phys. The added drive's line names the drive the
    // controller returned (its identifier is set to all 0xFF before the
    // call).
    int add_drive(ObjectId port, ObjectId* drive);
    int remove_drive(ObjectId drive);
    int get_drive_smart_data(ObjectId drive, uint8_t* sector);
    int identify_port(ObjectId drive, int on);
    int set_phy_link_negotiation_limit(ObjectId phy, int limit);

    // The rescan writes one line, then one line per unit and per drive it
    // found. The lists' counts are set to 0 before the call.
    int rescan_controller(ObjectId controller, int make_os_aware, IdList* units, IdList* drives);
    // One line listing the controller's units and their types, written
    // whether logging is on or not; returns the unit list's result.
    int log_controller_unit_list(ObjectId controller);

private:
    // Formats the operation text and appends it when logging is on.
    void log_operation(const char* format, ...) __attribute__((format(printf, 2, 3)));
    // Formats and appends, whatever the enabled flag says.
    void write_line(const char* format, ...) __attribute__((format(printf, 2, 3)));
    // The line of a schedule slot written (duration null for a self-test).
    void log_task_slot(const char* task, ObjectId controller, int slot, int start,
                       const int* duration, int result);
    // "<operation>(controller=N): <outcome>"; returns result.
    int log_controller_call(int result, const char* operation, ObjectId controller);
    // "<operation>(controller=N, unit=M): <outcome>"; returns result.
    int log_unit_call(int result, const char* operation, ObjectId unit);
    // "<operation>(controller=N, unit=M, make os aware=yes|no): <outcome>";
    // returns result.
    int log_unit_os_call(int result, const char* operation, ObjectId unit, int make_os_aware);
    // The line of a unit created (per_subunit null without sub-units).
    void log_create(const IdList* drives, int type, int stripe, int make_os_aware,
                    const ObjectId* unit, const int* per_subunit, int result);

    char* source_name_;
    char* log_path_;
    uint8_t enabled_;
};
