// The SES diagnostic pages an enclosure processor answers with, read as
// pure functions over a page buffer of kPageBufferSize bytes: the
// configuration page's enclosure descriptor and type descriptor headers,
// and the status page turned into the control page sent back. Nothing here
// reads past the length the page declares (bounded by the buffer).
#pragma once

#include <cstddef>
#include <cstdint>

#include "backend/enclosure_cache.h"
#include "backend/enclosure_protocol.h"

namespace enclosure {

// Where the type descriptor headers of a configuration page lie: the offset
// of the first and their number. False when the page is too short for the
// first four bytes of the enclosure descriptor or for the headers it
// announces.
bool find_type_headers(const uint8_t* page, size_t* first, int32_t* count);

// The configuration page into a sub-enclosure record: its identity, the
// number of type headers and, for each kept type, the number of its
// elements and the status-page position of its overall element (power
// supplies: the last header's count; other types add up; a device header
// without elements is passed over). False when the page is too short for
// the descriptor's 40 bytes or for its headers; the record then keeps what
// was read before (the identity, and in the second case the header count).
bool parse_configuration_page(const uint8_t* page, SubEnclosureRecord* out);

// Turns the status page into a control page that selects only the element
// at target: every other element's SELECT bit is cleared and byte 0 set to
// the status page's code. Returns the length to send, or 0, with nothing
// changed, when the page declares more than the buffer holds.
size_t make_control_page(uint8_t* page, size_t target);

}  // namespace enclosure
