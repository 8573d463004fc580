// The drive model of the second-series firmware, in one place. A drive sits
// on a port of its controller (Controller::drives, by port) and is what its
// scenario attributes say:
//   capacity        sectors of 512 bytes (default 488397168)
//   model, serial, firmware   identity texts
//   status          the port-status byte (default 255: present and usable;
//                   bit 7 present, bit 0 usable; the codes below 128 are
//                   states of a port without a usable drive)
//   flags           drive parameter 12 (bit 0: part of an exported unit)
//   interface       sata (default) or sas
//   temperature, rpm, reallocated, power-on-hours, port-count, connections
//   enclosure, slot  the enclosure position and slot the drive sits in
//                   (default 255: none)
// Everything the firmware reports of a drive is answered from these: the
// port-status array (table 2 parameter 3), the drive count, the drive
// parameters (table 0x200 + port; parameter 11, the holding unit, comes
// from the unit store), and the ATA pass-through's IDENTIFY DEVICE and
// SMART answers. A port without a drive reads zeros. Internal to the
// simulator.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "sim/machine.h"

namespace sim {

constexpr int kPortSlots = 128;  // entries of the port-status array

// The drive on the port, or null.
const SimObject* drive_at(const Controller& c, int port);
// The port's status byte: 0 without a drive.
uint8_t port_status(const Controller& c, int port);
bool drive_present(const Controller& c, int port);
int present_drive_count(const Controller& c);
uint64_t drive_capacity(const SimObject& drive);
bool drive_is_sas(const SimObject& drive);

// A drive parameter (table 0x200 + port) from the model; false for
// parameters the model does not hold.
bool drive_parameter(const Controller& c, int port, uint16_t id, uint8_t* out, size_t size);

// The 512-byte answers of IDENTIFY DEVICE and SMART READ DATA.
void identify_data(const SimObject& drive, uint8_t* out);
void smart_data(const SimObject& drive, uint8_t* out);

// The ATA pass-through command (opcodes 0x11 without data and 0xB1 with
// data) in the firmware packet, answered in place: registers back in the
// packet, data in data. 0, or the firmware's error code with detail.
uint16_t ata_command(const Machine& m, const Controller& c, uint8_t* packet, uint8_t* data,
                     uint32_t length, std::string* detail);

// drive_firmware.cpp: DOWNLOAD MICROCODE to a SATA drive (false when the
// packet is another command, else code is 0 or the firmware's error), and
// WRITE BUFFER to a SAS drive (0, or the additional sense code of its CHECK
// CONDITION).
bool drive_microcode_command(Machine& m, Controller& c, const uint8_t* packet, const uint8_t* data,
                             uint32_t length, uint16_t* code);
uint8_t drive_write_buffer(Controller& c, int port, const uint8_t* cdb, uint8_t direction,
                           const uint8_t* data, uint32_t length);

}  // namespace sim
