// The second-series back end's one piece of state: the enclosure cache, one
// record per controller index and enclosure position, every record invalid
// until an enclosure listing fills it. The storage comes zeroed from the
// system and is only touched where records are written.
#include "backend/series_backend.h"

#include <cstdlib>

SeriesBackend::SeriesBackend()
    : enclosure_cache_(static_cast<EnclosureCacheRecord*>(
          std::calloc(kEnclosureCacheRecords, sizeof(EnclosureCacheRecord)))) {}

SeriesBackend::~SeriesBackend() { std::free(enclosure_cache_); }

EnclosureCacheRecord* SeriesBackend::enclosure_record(uint8_t controller, uint8_t position) {
    if (enclosure_cache_ == nullptr || controller >= kEnclosureCacheControllers ||
        position >= kEnclosurePositions)
        return nullptr;
    return &enclosure_cache_[controller * kEnclosurePositions + position];
}
