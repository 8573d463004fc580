// The second-series back end with the operations of families 8 and 10. It has no state of its own.
#pragma once

#include "backend/series_backend.h"

class Family8Backend : public SeriesBackend {};
