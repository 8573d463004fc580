// The library's back-end objects, one of each class, built together in a
// fixed order (the second-series back end first, then the later generations)
// after the driver layer, and kept for the life of the process.
#pragma once

#include "backend/family6_backend.h"
#include "backend/family8_backend.h"
#include "backend/family9_backend.h"
#include "backend/legacy_backend.h"
#include "backend/series_backend.h"

struct LibraryBackends {
    // Members are built in the order they are declared.
    SeriesBackend series;
    Family6Backend family6;
    Family8Backend family8;
    Family9Backend family9;
    LegacyBackend legacy;
};

// Built on first use; the library's start-up builds them before main, right
// after the driver layer.
LibraryBackends& library_backends();

inline SeriesBackend& series_backend() { return library_backends().series; }
inline Family6Backend& family6_backend() { return library_backends().family6; }
inline Family8Backend& family8_backend() { return library_backends().family8; }
inline Family9Backend& family9_backend() { return library_backends().family9; }
inline LegacyBackend& legacy_backend() { return library_backends().legacy; }
