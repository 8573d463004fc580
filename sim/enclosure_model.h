// The enclosures' management processors behind a simulated controller: an
// SES processor (diagnostic pages, one sub-enclosure per LUN) or a SAF-TE
// processor (READ and WRITE BUFFER), reached through the firmware's SCSI
// pass-through (opcode 0x10). Each enclosure's state is built from its
// scenario line the first time it is addressed and then changes with the
// controls it receives and with "element" lines.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace sim {

struct Controller;
struct Machine;
struct SimObject;

// One SES sub-enclosure: its type descriptor headers (type, count) in page
// order and the 4 status bytes of every element, each type's overall
// element first.
struct SesSubEnclosure {
    std::vector<std::pair<uint8_t, uint8_t>> types;
    std::vector<std::array<uint8_t, 4>> elements;
};

struct SafteState {
    uint8_t config[7] = {};  // fans, supplies, slots, door lock, sensors, alarm, units
    std::vector<uint8_t> status;  // the enclosure status buffer
    std::vector<uint32_t> slot_words;
    std::vector<uint8_t> slot_identify;
    std::vector<uint8_t> fan_speeds;
    std::vector<uint8_t> flags;  // the global flags buffer (3 flag bytes, then the rest)
};

// What one module (LUN) of an SES enclosure received of firmware: the
// bytes of each buffer at their offsets, the download status it reports,
// and its expander register written last.
struct ModuleFirmware {
    std::map<int, std::vector<uint8_t>> buffers;
    uint8_t download_status = 0;
    std::array<uint8_t, 4> revision_register = {};
};

struct EnclosureModel {
    bool ses = true;
    std::vector<SesSubEnclosure> luns;  // SES
    SafteState safte;                   // SAF-TE
    std::map<int, ModuleFirmware> firmware;  // SES, by LUN
};

// Attributes of a scenario object: a number (or the fallback when absent
// or not a number) and a text.
long object_number(const SimObject& o, const char* key, long fallback);
std::string object_text(const SimObject& o, const char* key, const std::string& fallback);

// The SCSI answer of a processor: status 0, or a CHECK CONDITION with sense
// data; no_device when nothing answers at the target and LUN.
struct ScsiAnswer {
    uint8_t status = 0;
    std::vector<uint8_t> sense;
    bool no_device = false;
};

// Standard sense data of a CHECK CONDITION.
ScsiAnswer check_condition(uint8_t key, uint8_t code);

// The enclosure's state, built on first use from its scenario attributes.
EnclosureModel& enclosure_model(Controller& c, const SimObject& enclosure);

// One command to an enclosure's processor. data holds length bytes, both
// ways.
ScsiAnswer ses_command(Controller& c, const SimObject& enclosure, int lun, const uint8_t* cdb,
                       uint8_t* data, uint32_t length);
ScsiAnswer safte_command(Controller& c, const SimObject& enclosure, const uint8_t* cdb,
                         uint8_t* data, uint32_t length);
EnclosureModel build_ses(const Controller& c, const SimObject& enclosure);
EnclosureModel build_safte(const SimObject& enclosure);

// The answer of standard INQUIRY data: vendor, product, revision (padded),
// peripheral type, copied up to the allocation and the data length.
void inquiry_reply(uint8_t peripheral, const SimObject& enclosure, const char* default_vendor,
                   uint8_t* data, uint32_t length, uint32_t allocation);
// Copies size bytes of an answer to data, cut to the allocation length and
// the data length.
void copy_reply(const std::vector<uint8_t>& reply, uint8_t* data, uint32_t length,
                uint32_t allocation);

// enclosure_firmware.cpp: what an SES module does with firmware: its VPD
// pages 0x02 (version) and 0x83 (NAA designator), READ and WRITE BUFFER
// (its image headers, the expander's registers, the buffers that receive
// images) and the download microcode page 0x0E, sent and received. The
// VPD answer is false for a page the module does not have.
bool module_vpd_page(const SimObject& enclosure, const uint8_t* cdb, uint8_t* data, uint32_t length,
                     ScsiAnswer* answer);
ScsiAnswer module_buffer_command(EnclosureModel& model, const SimObject& enclosure, int lun,
                                 const uint8_t* cdb, uint8_t* data, uint32_t length);
ScsiAnswer send_download_page(EnclosureModel& model, const SimObject& enclosure, int lun,
                              const uint8_t* page, uint32_t length);
ScsiAnswer download_status_page(EnclosureModel& model, const SimObject& enclosure, int lun,
                                uint8_t* data, uint32_t length, uint32_t allocation);

// "element" lines: change one element's state. false with why on a bad line.
bool ses_element_line(EnclosureModel& model, std::map<std::string, std::string>& args,
                      std::string* why);
bool safte_element_line(EnclosureModel& model, std::map<std::string, std::string>& args,
                        std::string* why);

// Controller table 8: the enclosure type (parameter 2) and the position
// kinds (parameter 4) the controller's enclosures give; false for the
// parameters they do not give.
bool enclosure_parameter(const Controller& c, uint16_t id, uint8_t* out, size_t size);

}  // namespace sim
