// The second-series back end with the operations of family 9. It has no state of its own.
#pragma once

#include "backend/series_backend.h"

class Family9Backend : public SeriesBackend {};
