// The second-series back end with the operations of families 8 and 10:
// phys, SCSI commands to drives and the newest controller settings. It has
// no state of its own.
#pragma once

#include "backend/series_backend.h"

class Family8Backend : public SeriesBackend {
  public:
    static constexpr int32_t kLargestCdb = 256;
    static constexpr int32_t kSenseBytes = 18;  // copied at most
    // Direction bytes of a drive SCSI command.
    static constexpr uint8_t kNoData = 0x80;
    static constexpr uint8_t kLastDirection = 0x83;

#define SETTING_ROW SETTING_DECLARATION
#include "backend/family8_settings.def"
#undef SETTING_ROW

    // --- Phys, numbered 0 to the number of phys minus 1 (below 128).
    // 1 when the phy index is valid, else 0 (also when the count cannot be
    // read).
    int is_phy_index_valid(ObjectId id, uint8_t index) const;
    // The phy identifier of every valid index; always 0.
    int get_phy_list(ObjectId id, IdList* out) const;
    // The phy a drive is attached to directly: API error 11 for a port the
    // controller lacks, 145 when the port is empty or the drive is not
    // attached directly.
    int get_drive_phy(ObjectId drive, ObjectId* phy) const;
    // The drive attached directly to a phy: API error 120 for a phy the
    // controller lacks, 101 when no drive is; out is all 0xFF then.
    int get_phy_drive(ObjectId phy, ObjectId* drive) const;

    // --- Selector 1 names setting 47 (49), others 48 (50); the getter of
    // 47 and 48 knows only selectors 1 and 2 and fails silently on others.
    int get_controller_setting_47_48(ObjectId id, uint8_t selector, uint32_t* out) const;
    int set_controller_setting_47_48(ObjectId id, uint8_t selector, uint32_t value) const;
    int get_controller_setting_49_50(ObjectId id, uint8_t selector, uint32_t* out) const;
    int set_controller_setting_49_50(ObjectId id, uint8_t selector, uint32_t value) const;
    // Writes 1 to setting 63.
    int set_controller_setting_63(ObjectId id) const;

    // --- Commands. One SCSI command to the drive: cdb_length 1 to
    // kLargestCdb, direction kNoData or, with a buffer of data_length above
    // 0, 0x81 to kLastDirection; else API error 122 and nothing is sent. The
    // SCSI status goes to status, and when it is not 0 up to kSenseBytes of
    // sense data (no more than sense_length) to sense. The result is the
    // driver request's: a SCSI error fails it too.
    int send_drive_scsi_command(ObjectId drive, uint8_t unused, uint8_t direction,
                                const uint8_t* cdb, int32_t cdb_length, uint8_t* status,
                                uint8_t* sense, int32_t sense_length, void* data,
                                int32_t data_length, int32_t timeout_seconds) const;
    // Control code 512, without data.
    int send_driver_command_512(ObjectId id) const;
};
