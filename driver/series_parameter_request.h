// The second-series firmware's GET and SET PARAMETER and the driver's
// compatibility request, performed on a given driver layer. The back end's
// parameter access runs them on the library's driver layer; discovery runs
// them on the layer it is building, to learn the controllers' families.
#pragma once

#include <cstdint>

#include "driver/compat_info.h"
#include "driver/object_id.h"

class DriverLayer;

// One GET (opcode 0x52) or SET (0x53) PARAMETER on the controller of id. GET
// first zeroes the whole buffer and receives the value there; SET sends
// exactly size bytes of it. A parameter larger than the buffer is refused
// with API error 116. 0, or -1 with the failure recorded.
int series_parameter_request(DriverLayer& layer, uint8_t opcode, ObjectId id, uint8_t* buffer,
                             uint32_t buffer_size, uint32_t table, uint32_t parameter,
                             uint32_t size);

// Control code 257 into the 128-byte record. 0 or -1.
int series_compat_request(DriverLayer& layer, ObjectId id, DriverCompatInfo* out);
