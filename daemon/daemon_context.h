// The object every request is handed to: the host identity, the
// configuration, the command log and the daemon's message catalogue, with
// the dispatcher, the login level, the query-parameter readers and the
// methods that fill the snapshot records from the library.
#pragma once

#include "daemon/host_identity.h"
#include "daemon/query_params.h"
#include "daemon/snapshot_records.h"

class ByteBuffer;
class CommandLogger;
class ConfigStore;
class MessageCatalogue;
class PageBuilder;

// Reads the library's controller list into list, its count set to 0 first so
// that a failed read leaves an empty list. Returns the library's result.
int list_controllers(ControllerIdList* list);

class DaemonContext : public HostIdentity, public QueryParams {
  public:
    // Keeps both pointers and creates the command log "kq_mgmt.log" in the
    // command-log directory, enabled as CommandLog says now.
    DaemonContext(ConfigStore* config, MessageCatalogue* catalogue);
    ~DaemonContext();
    DaemonContext(const DaemonContext&) = delete;
    DaemonContext& operator=(const DaemonContext&) = delete;

    ConfigStore* config() const { return config_; }
    CommandLogger* command_logger() const { return command_logger_; }
    MessageCatalogue* catalogue() const { return catalogue_; }

    // A catalogue text in the configured language and message directory.
    const char* message(int category, int code);
    // Writes text to the command log when CommandLog is on.
    void log_command(const char* text);

    // Answers one request into page; returns the HandlerResult.
    int dispatch(PageBuilder* page, const char* url, const char* host, const char* peer,
                 const char* cookie_line, const char* body, const ByteBuffer* upload);

    // The AccessLevel the login cookie in cookie_line gives.
    int get_access_level(const char* cookie_line);

    // Snapshot filling, for one request. A getter that fails leaves its field
    // as it was (the preset, or the preset a clearing fill put back); lists
    // longer than their room are cut to it before anything is sized or
    // looped over, and a list fill given no array (null) fills nothing.

    // Every listed controller into records (one per entry, in order). 0.
    int fill_controllers(const ControllerIdList& list, ControllerRecord* records);
    // One controller's identity, limits, lists, settings and schedule. 0, or 1
    // when its family (or, above family 6, its extended-information flag)
    // cannot be read: error_text then holds the library's text of that read,
    // or the catalogue's "Controller could not be read" when the read
    // recorded no reason (never an earlier read's failure).
    int fill_controller(int position, ObjectId id, ControllerRecord* record);
    // The controller's battery backup unit; stops at a disabled or absent
    // unit or battery, leaving the rest preset. 0.
    int fill_battery(ObjectId controller, BatteryRecord* record);
    // Every listed unit into records (one per entry), each by fill_unit. 0.
    int fill_units(const IdList& units, UnitRecord* records, const ControllerRecord* controller,
                   int recursion);
    // One unit: settings, status flags (RAID 6 from its task records), drive
    // port, and its sub-units when recursion is 1 or it is migrating. 0.
    int fill_unit(ObjectId unit, UnitRecord* record, int recursion,
                  const ControllerRecord* controller);
    // configured_drives := the drives of the units that are not spares. 0.
    int count_drives_in_units(ControllerRecord* record);
    // active_units := the units that are not spares. 0.
    int count_active_units(ControllerRecord* record);
    // Each listed unit's drive list into the entry of lists at its position;
    // a list that cannot be read stays empty. 0.
    int fill_unit_drive_lists(const IdList& units, IdList* lists);
    // Each listed unit's read cache mode and write cache; unreadable ones
    // stay 255 (unknown). 0.
    int fill_unit_cache_settings(const IdList& units, UnitCacheRecord* records);
    // Every listed port into records (one per entry), each by fill_drive. 0.
    int fill_drives(const IdList& ports, DriveRecord* records, const ControllerRecord* controller,
                    int detail);
    // One port and its drive; with detail 1 also its slot and identify light.
    // 0.
    int fill_drive(ObjectId port, DriveRecord* record, const ControllerRecord* controller,
                   int detail);
    // Every listed phy when index is negative, else only the one at that
    // position (an index past the list fills nothing). 0.
    int fill_phys(const IdList& phys, PhyRecord* records, int index);
    // One phy: address, speeds, limit, device type and attached drive. 0.
    int fill_phy(ObjectId phy, PhyRecord* record);

  private:
    ConfigStore* config_;
    CommandLogger* command_logger_;
    MessageCatalogue* catalogue_;
};
