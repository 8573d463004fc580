// The back end's parameter access and compatibility record: the driver
// layer's requests, on the library's driver layer.
#include "backend/series_backend.h"
#include "driver/driver_layer.h"
#include "driver/kernel_check.h"
#include "driver/series_command.h"
#include "driver/series_parameter_request.h"

int SeriesBackend::get_parameter(ObjectId id, void* out, uint32_t out_size, uint32_t table,
                                 uint32_t parameter, uint32_t size) {
    return series_parameter_request(library_driver_layer(), series_packet::kGetParameter, id,
                                    static_cast<uint8_t*>(out), out_size, table, parameter, size);
}

int SeriesBackend::set_parameter(ObjectId id, const void* value, uint32_t value_size,
                                 uint32_t table, uint32_t parameter, uint32_t size) {
    // SET only reads the buffer.
    uint8_t* bytes = static_cast<uint8_t*>(const_cast<void*>(value));
    return series_parameter_request(library_driver_layer(), series_packet::kSetParameter, id, bytes,
                                    value_size, table, parameter, size);
}

int SeriesBackend::get_arch_class() { return series_arch_class(); }

int SeriesBackend::get_compat_info(ObjectId id, DriverCompatInfo* out) {
    return series_compat_request(library_driver_layer(), id, out);
}
