// The drive details and S.M.A.R.T. data pop-up ("/smart.html"), a window of
// its own outside the frame set: a Close button, the drive's further details
// on second-series controllers and its 512 bytes of SMART data as a
// hexadecimal dump, or the reason they could not be read.
#pragma once

#include <cstdint>

class PageBuilder;
struct ControllerRecord;

// The size of the SMART data block.
constexpr int kSmartDataSize = 512;

// host: the host name of the window title; p: the drive's position in the
// controller's port list (a position that names no drive record shows no
// details); data: the 512 bytes, or null when they could not be read, in
// which case error_text (the library's text) is shown. Returns 0.
int write_smart(PageBuilder& page, const char* host, int p, const ControllerRecord& controller,
                const uint8_t* data, const char* error_text);
