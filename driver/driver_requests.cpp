// The driver requests of both controller series: the first-series firmware
// command in one ioctl, the second-series request with its busy retries, and
// the SAS driver's compatibility and event files in sysfs; within a page
// build, reads answered from the answers kept (read_reuse.h).
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>

#include "driver/driver_layer.h"
#include "driver/driver_request_layout.h"
#include "driver/error_record.h"
#include "driver/read_reuse.h"
#include "driver/record_failure.h"
#include "platform/platform.h"

using namespace driver_request;

namespace {

constexpr int kBusyTries = 1000;
constexpr unsigned kBusyPauseMicroseconds = 1000;
constexpr size_t kEventFileSize = kEventRecordSize * kEventFileRecords;  // 28,672
constexpr size_t kDetailRoom = 128;

uint32_t load32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

void store32(uint8_t* p, uint32_t value) {
    for (int i = 0; i < 4; ++i) p[i] = uint8_t(value >> (8 * i));
}

// A request buffer, zero-filled, freed when it goes out of scope.
class RequestBuffer {
  public:
    explicit RequestBuffer(size_t size) : bytes_(new (std::nothrow) uint8_t[size]()) {}
    ~RequestBuffer() { delete[] bytes_; }
    RequestBuffer(const RequestBuffer&) = delete;
    RequestBuffer& operator=(const RequestBuffer&) = delete;
    uint8_t* get() const { return bytes_; }

  private:
    uint8_t* bytes_;
};

// A failed second-series firmware command: the 16-bit code at 22 of the
// command area and, from 26, the detail text and the controller's error
// text. The texts belong to the area's 128-byte header part and are read
// only up to its end.
int fail_with_controller_error(const uint8_t* area) {
    const int32_t code = int32_t(area[kAreaErrorCode] | area[kAreaErrorCode + 1] << 8);
    const char* texts = reinterpret_cast<const char*>(area + kAreaErrorTexts);
    const size_t room = kAreaPacket - kAreaErrorTexts;
    const size_t detail_length = strnlen(texts, room);
    char detail[kDetailRoom];
    std::snprintf(detail, sizeof detail, "%.*s", int(detail_length), texts);
    char text[kAreaPacket] = "";
    if (detail_length + 1 < room) {
        const char* own = texts + detail_length + 1;
        std::snprintf(text, sizeof text, "%.*s", int(strnlen(own, room - detail_length - 1)), own);
    }
    clear_last_error();
    // Without a text of its own the catalogue's text for the code stands in.
    set_last_error(kErrController | kErrSecondSeries, 0, 0, 0, code, detail,
                   text[0] != '\0' ? text : nullptr);
    return -1;
}

// A read that came back short: the OS error of a failed read, or an I/O
// error when the file simply held less.
int fail_with_short_read(ssize_t result, int error, int fd) {
    const int recorded = result < 0 && error != 0 ? error : EIO;
    platform::close(fd);
    return fail_with_os_error(recorded);
}

// The record the request asks for among the event file's records; -1 when
// none fits. Empty slots (sequence 0) never fit.
int pick_event(const uint8_t* records, uint32_t code, uint32_t reference) {
    int picked = -1;
    uint32_t best = 0;
    for (size_t r = 0; r < kEventFileRecords; ++r) {
        const uint32_t sequence = load32(records + r * kEventRecordSize);
        if (sequence == 0) continue;
        bool take = false;
        switch (code) {
            case kOldestEvent:
                take = picked < 0 || sequence < best;
                break;
            case kNewestEvent:
                take = picked < 0 || sequence > best;
                break;
            case kNextEvent:
                take = picked < 0 && sequence == reference + 1;
                break;
            case kPreviousEvent:
                take = picked < 0 && sequence == reference - 1;
                break;
        }
        if (take) {
            picked = int(r);
            best = sequence;
        }
    }
    return picked;
}

// The key of a request for the answers kept: what the caller hands the
// request function, all of it, which is what the driver gets. The
// controller is the store's own.
std::string request_key(uint32_t request, const uint8_t* head, size_t head_size,
                        const uint8_t* area, size_t area_size, const void* data,
                        uint32_t data_length) {
    std::string key;
    key.reserve(64 + (data != nullptr ? data_length : 0));
    ReadReuse::append_field(&key, &request, sizeof request);
    ReadReuse::append_field(&key, head, head_size);
    if (area != nullptr) ReadReuse::append_field(&key, area, area_size);
    key.push_back(data != nullptr ? '\1' : '\0');
    ReadReuse::append_field(&key, &data_length, sizeof data_length);
    if (data != nullptr) key.append(static_cast<const char*>(data), data_length);
    return key;
}

// The caller's side of a request after it: the returned header (second
// series), packet or command area, and data.
std::string request_answer(const uint8_t* head, size_t head_size, const uint8_t* area,
                           size_t area_size, const void* data, uint32_t data_length) {
    std::string answer;
    ReadReuse::append_field(&answer, head, head_size);
    if (area != nullptr) ReadReuse::append_field(&answer, area, area_size);
    if (data != nullptr) ReadReuse::append_field(&answer, data, data_length);
    return answer;
}

// Hands a kept answer to the caller as the request gave it; false when it
// does not fit the caller's buffers (then the request is sent).
bool give_answer(const std::string& answer, uint8_t* head, size_t head_size, uint8_t* area,
                 size_t area_size, void* data, uint32_t data_length) {
    size_t at = 0;
    std::string head_copy(head_size, '\0');
    std::string area_copy(area != nullptr ? area_size : 0, '\0');
    std::string data_copy(data != nullptr ? data_length : 0, '\0');
    if (!ReadReuse::read_field(answer, &at, head_copy.data(), head_size) ||
        (area != nullptr && !ReadReuse::read_field(answer, &at, area_copy.data(), area_size)) ||
        (data != nullptr && !ReadReuse::read_field(answer, &at, data_copy.data(), data_length)) ||
        at != answer.size())
        return false;
    std::memcpy(head, head_copy.data(), head_size);
    if (area != nullptr) std::memcpy(area, area_copy.data(), area_size);
    if (data != nullptr) std::memcpy(data, data_copy.data(), data_length);
    return true;
}

}  // namespace

// A change is sent as it is; every answer its controller gave before is
// dropped, and so is any read while it is under way. A read inside a page
// build is answered from what the same request answered before in it, or
// sent and its answer kept when it succeeded; a live read is always sent.
// A successful read leaves the last-error record as it was, and so does
// its reuse.
int DriverLayer::legacy_ioctl(const int32_t& descriptor, uint8_t* packet, void* data,
                              uint32_t data_length, uint8_t request) {
    const uint8_t controller = controller_of(descriptor);
    const ReadReuse::Kind kind = ReadReuse::legacy_kind(request, packet);
    if (kind == ReadReuse::Kind::kChange) {
        ReadReuse::forget(controller);
        const int result = send_legacy(descriptor, packet, data, data_length, request);
        ReadReuse::forget(controller);
        return result;
    }
    if (kind != ReadReuse::Kind::kRead || controller == kNoController || !ReadReuse::reusing())
        return send_legacy(descriptor, packet, data, data_length, request);

    std::string key =
        request_key(request, packet, kLegacyPacketSize, nullptr, 0, data, data_length);
    std::string answer;
    uint64_t generation = 0;
    if (ReadReuse::recall(controller, key, &answer, &generation) &&
        give_answer(answer, packet, kLegacyPacketSize, nullptr, 0, data, data_length))
        return 0;
    const int result = send_legacy(descriptor, packet, data, data_length, request);
    if (result == 0)
        ReadReuse::keep(controller, generation, std::move(key),
                        request_answer(packet, kLegacyPacketSize, nullptr, 0, data, data_length));
    return result;
}

int DriverLayer::series_ioctl(const int32_t& descriptor, uint8_t* header, uint8_t* area,
                              void* data, uint32_t data_length) {
    const uint32_t code = load32(header + kHeaderCode);
    const uint8_t controller = controller_of(descriptor);
    const ReadReuse::Kind kind = ReadReuse::series_kind(code, area);
    if (kind == ReadReuse::Kind::kChange) {
        ReadReuse::forget(controller);
        const int result = send_series(descriptor, header, area, data, data_length);
        ReadReuse::forget(controller);
        return result;
    }
    if (kind != ReadReuse::Kind::kRead || controller == kNoController || !ReadReuse::reusing())
        return send_series(descriptor, header, area, data, data_length);

    std::string key = request_key(code, header, kHeaderSize, area, kAreaSize, data, data_length);
    std::string answer;
    uint64_t generation = 0;
    if (ReadReuse::recall(controller, key, &answer, &generation) &&
        give_answer(answer, header, kHeaderSize, area, kAreaSize, data, data_length))
        return 0;
    const int result = send_series(descriptor, header, area, data, data_length);
    // A driver status other than 0 is no answer to keep, even with result 0.
    if (result == 0 && load32(header + kHeaderStatus) == 0)
        ReadReuse::keep(controller, generation, std::move(key),
                        request_answer(header, kHeaderSize, area, kAreaSize, data, data_length));
    return result;
}

int DriverLayer::send_legacy(const int32_t& descriptor, uint8_t* packet, void* data,
                             uint32_t data_length, uint8_t request) {
    RequestBuffer buffer(size_t(data_length) + kLegacyData);
    uint8_t* bytes = buffer.get();
    if (bytes == nullptr) return fail_with_api_error(kApiMemoryAllocation);
    store32(bytes, data_length);
    std::memcpy(bytes + kLegacyPacket, packet, kLegacyPacketSize);
    if (data != nullptr) std::memcpy(bytes + kLegacyData, data, data_length);

    errno = 0;
    int result = platform::ioctl(descriptor, request, bytes);
    const int error = errno;
    std::memcpy(packet, bytes + kLegacyPacket, kLegacyPacketSize);

    const uint8_t status = packet[kPacketStatus];
    const int32_t controller_code = packet[kPacketStatus + 1] * 256 + status;
    if (result != 0 && status == 0) fail_with_os_error(error);
    if (status != 0) {
        clear_last_error();
        set_last_error(kErrController | kErrFirstSeries, 0, 0, 0, controller_code, nullptr,
                       nullptr);
        result = -1;
    }
    if (result == 0 && data != nullptr) std::memcpy(data, bytes + kLegacyData, data_length);
    return result;
}

int DriverLayer::send_series(const int32_t& descriptor, uint8_t* header, uint8_t* area, void* data,
                             uint32_t data_length) {
    const uint32_t code = load32(header + kHeaderCode);
    const uint8_t sas_host = sas_controller_of(descriptor);
    if (sas_host != kNotSas && code >= kCompatInfo && code <= kPreviousEvent)
        return series_from_sysfs(sas_host, code, header, data, data_length);

    RequestBuffer buffer(size_t(data_length) + kSeriesData);
    uint8_t* bytes = buffer.get();
    if (bytes == nullptr) return fail_with_api_error(kApiMemoryAllocation);
    std::memcpy(bytes, header, kHeaderSize);
    store32(bytes + kHeaderDataLength, data_length);
    std::memcpy(bytes + kSeriesArea, area, kAreaSize);
    bytes[kSeriesArea + kAreaMark] = kAreaMarkValue;
    if (data != nullptr) std::memcpy(bytes + kSeriesData, data, data_length);

    for (int tries = 1;; ++tries) {
        if (platform::ioctl(descriptor, code, bytes) >= 0) break;
        const int error = errno;
        if ((error != EBUSY && error != ENOMEM) || tries == kBusyTries)
            return fail_with_os_error(error);
        platform::usleep(kBusyPauseMicroseconds);
    }

    std::memcpy(header, bytes, kHeaderSize);
    const uint32_t driver_status = load32(header + kHeaderStatus);
    if (driver_status == kStatusNoMoreEvents || driver_status == kStatusAenClobber) return 0;
    if (driver_status != 0) {
        clear_last_error();
        set_last_error(kErrDriver | kErrSecondSeries, 0, 0, int32_t(driver_status), 0, nullptr,
                       nullptr);
        return -1;
    }
    std::memcpy(area, bytes + kSeriesArea, kAreaSize);
    if (area[kAreaPacket + kPacketStatus] != 0) return fail_with_controller_error(area);
    if (data != nullptr) std::memcpy(data, bytes + kSeriesData, data_length);
    return 0;
}

// The SAS driver serves the compatibility record and the event queue as
// sysfs attributes of the controller's SCSI host.
int DriverLayer::series_from_sysfs(uint8_t host, uint32_t code, uint8_t* header, void* data,
                                   uint32_t data_length) {
    char path[96];
    if (code == kCompatInfo) {
        std::snprintf(path, sizeof path, "%s%d%s", "/sys/class/scsi_host/host", host,
                      "/tavix_compat_info");
        const int fd = platform::open(path, O_RDONLY);
        if (fd < 0) return fail_with_os_error(errno);
        const size_t wanted = data == nullptr                        ? 0
                              : data_length < kCompatInfoSysfsLength ? data_length
                                                                     : kCompatInfoSysfsLength;
        if (wanted > 0) {
            const ssize_t n = platform::read(fd, data, wanted);
            if (n < ssize_t(wanted)) return fail_with_short_read(n, errno, fd);
        }
        platform::close(fd);
        return 0;
    }

    // An event record goes to the caller's data whole.
    if (data == nullptr || data_length < kEventRecordSize)
        return fail_with_api_error(kApiBufferTooSmall);
    std::snprintf(path, sizeof path, "%s%d%s", "/sys/class/scsi_host/host", host,
                  "/tavix_aen_read");
    const int fd = platform::open(path, O_RDONLY);
    if (fd < 0) return fail_with_os_error(errno);
    RequestBuffer records(kEventFileSize);
    uint8_t* bytes = records.get();
    if (bytes == nullptr) {
        platform::close(fd);
        return fail_with_api_error(kApiMemoryAllocation);
    }
    for (size_t chunk = 0; chunk * kEventFileChunk < kEventFileSize; ++chunk) {
        const ssize_t n = platform::read(fd, bytes + chunk * kEventFileChunk, kEventFileChunk);
        if (n != ssize_t(kEventFileChunk)) return fail_with_short_read(n, errno, fd);
        if (platform::lseek(fd, off_t((chunk + 1) * kEventFileChunk), SEEK_SET) < 0) {
            const int error = errno;
            platform::close(fd);
            return fail_with_os_error(error);
        }
    }
    platform::close(fd);

    uint8_t* out = static_cast<uint8_t*>(data);
    const int picked = pick_event(bytes, code, load32(out));
    if (picked < 0) {
        store32(header + kHeaderStatus, kStatusNoMoreEvents);
    } else {
        std::memcpy(out, bytes + size_t(picked) * kEventRecordSize, kEventRecordSize);
        store32(header + kHeaderStatus, 0);
    }
    return 0;
}
