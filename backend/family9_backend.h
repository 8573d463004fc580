// The second-series back end with the operations of family 9. It has no
// state of its own.
#pragma once

#include "backend/series_backend.h"

class Family9Backend : public SeriesBackend {
  public:
    // Firmware command 0x1F with sub-code 47, carrying a 16-bit value.
    int send_opcode_1f_47(ObjectId id, uint16_t value) const;
};
