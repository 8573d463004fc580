// The second-series back end with the operations of families 6, 7, 8 and 10. It has no state of its
// own.
#pragma once

#include "backend/series_backend.h"

class Family6Backend : public SeriesBackend {};
