#include "driver/series_parameter_request.h"

#include <cstring>
#include <new>

#include "driver/driver_layer.h"
#include "driver/kernel_check.h"
#include "driver/record_failure.h"
#include "driver/series_command.h"

namespace {

// The parameter block, freed when it goes out of scope.
class Block {
  public:
    explicit Block(size_t size) : bytes_(new (std::nothrow) uint8_t[size]()) {}
    ~Block() { delete[] bytes_; }
    Block(const Block&) = delete;
    Block& operator=(const Block&) = delete;
    uint8_t* get() const { return bytes_; }

  private:
    uint8_t* bytes_;
};

}  // namespace

int series_parameter_request(DriverLayer& layer, uint8_t opcode, ObjectId id, uint8_t* buffer,
                             uint32_t buffer_size, uint32_t table, uint32_t parameter,
                             uint32_t size) {
    const bool get = opcode == series_packet::kGetParameter;
    // Zeroed before anything can fail, so a failed read always leaves zeros.
    if (get) std::memset(buffer, 0, buffer_size);
    if (size > buffer_size) return fail_with_api_error(kApiBufferTooSmall);
    Block block(size_t(size) + parameter_block::kValue);
    uint8_t* bytes = block.get();
    if (bytes == nullptr) return fail_with_api_error(kApiMemoryAllocation);
    int32_t descriptor = -1;
    if (layer.open_controller(id, &descriptor) != 0) return -1;

    le::store(bytes + parameter_block::kTable, (table | parameter_block::kTableMark) & 0xFFFF, 2);
    le::store(bytes + parameter_block::kParameter, parameter, 2);
    le::store(bytes + parameter_block::kSize, size, 2);
    if (!get) std::memcpy(bytes + parameter_block::kValue, buffer, size);

    SeriesDriverRequest request(driver_request::kFirmwareCommand);
    uint8_t* packet = request.packet();
    packet[series_packet::kOpcode] = opcode;
    packet[series_packet::kSizeWords] = uint8_t(2 + series_arch_class());
    le::store(packet + series_packet::kCount, 1, 2);

    const int result = layer.series_ioctl(descriptor, request.header, request.area, bytes,
                                          size + uint32_t(parameter_block::kValue));
    if (result == 0 && get) std::memcpy(buffer, bytes + parameter_block::kValue, size);
    layer.close_controller(descriptor);
    return result == 0 ? 0 : -1;
}

int series_compat_request(DriverLayer& layer, ObjectId id, DriverCompatInfo* out) {
    int32_t descriptor = -1;
    if (layer.open_controller(id, &descriptor) != 0) return -1;
    SeriesDriverRequest request(driver_request::kCompatInfo);
    const int result =
        layer.series_ioctl(descriptor, request.header, request.area, out->bytes, sizeof out->bytes);
    layer.close_controller(descriptor);
    return result == 0 ? 0 : -1;
}
