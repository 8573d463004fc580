// Telling the operating system that a unit's SCSI devices appeared or went:
// "/proc/scsi/scsi" where it can be opened, else the SCSI host's sysfs scan
// file and each device's delete file. A unit's devices are (host = the
// controller index, channel 0, target = the unit number, LUN 0 to n - 1).
#include <fcntl.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "driver/driver_layer.h"
#include "driver/record_failure.h"
#include "driver/series_command.h"
#include "driver/series_parameter_request.h"
#include "driver/system_files.h"
#include "platform/platform.h"

namespace {

constexpr char kProcScsi[] = "/proc/scsi/scsi";
constexpr int32_t kNotifyFailed = 21, kRemoveFailed = 69, kAddFailed = 70;
constexpr uint8_t kRemove = 0, kAdd = 1;
constexpr uint32_t kUnitTable = 0x300, kLunCount = 16;

bool write_text(int fd, const char* text) {
    const size_t length = std::strlen(text);
    return platform::write(fd, text, length) == ssize_t(length);
}

// The LUNs of a second-series unit; one when they cannot be read.
int series_lun_count(DriverLayer& layer, const ObjectId& unit) {
    uint8_t count = 0;
    if (series_parameter_request(layer, series_packet::kGetParameter, unit, &count, 1,
                                 kUnitTable + unit.b[4], kLunCount, 1) != 0)
        return 1;
    return count;
}

}  // namespace

int DriverLayer::is_scsi_device_present(uint8_t host, uint8_t target, uint8_t lun, uint8_t* out) {
    *out = 0;
    // The whole list, however many devices the host has: a device listed
    // past a cut would be taken for absent.
    std::string text;
    if (!read_system_file(kProcScsi, &text, std::string::npos))
        return fail_with_api_error(kNotifyFailed);
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        const std::string line = text.substr(start, end - start);
        start = end + 1;
        const size_t at = line.find("Host: scsi");
        if (at == std::string::npos) continue;
        int h = 0, channel = 0, t = 0, l = 0;
        if (std::sscanf(line.c_str() + at, "Host: scsi%d Channel: %d Id: %d Lun: %d", &h, &channel,
                        &t, &l) != 4)
            return fail_with_api_error(kNotifyFailed);
        if (h == host && t == target && l == lun) *out = 1;
    }
    return 0;
}

int DriverLayer::notify_os_unit_change(const ObjectId& controller, const ObjectId& unit,
                                       uint8_t action) {
    if (is_vm_driver(controller) == 1) return 0;
    const int32_t family = get_controller_family(controller);
    int luns = 0;
    if (family == 3) {
        luns = 1;
    } else if (family == 4 || (family >= 6 && family <= 10 && family != 9)) {
        luns = series_lun_count(*this, unit);
    } else {
        return -1;
    }
    const int host = controller.b[1], target = unit.b[4];
    char line[96];
    const int fd = platform::open(kProcScsi, O_WRONLY);
    if (fd >= 0) {
        int result = 0;
        for (int lun = 0; lun < luns && result == 0; ++lun) {
            if (action != kRemove && action != kAdd) {
                result = fail_with_api_error(kNotifyFailed);
                break;
            }
            uint8_t present = 0;
            if (is_scsi_device_present(uint8_t(host), uint8_t(target), uint8_t(lun), &present) !=
                0) {
                result = -1;
                break;
            }
            // The devices go or come in order; the first one already so ends it.
            if ((action == kRemove) == (present == 0)) break;
            std::snprintf(line, sizeof line, "scsi %s-single-device %d 0 %d %d",
                          action == kRemove ? "remove" : "add", host, target, lun);
            if (!write_text(fd, line))
                result = fail_with_api_error(action == kRemove ? kRemoveFailed : kAddFailed);
        }
        platform::close(fd);
        return result;
    }
    char path[96];
    std::snprintf(path, sizeof path, "/sys/class/scsi_host/host%d/scan", host);
    const int scan = platform::open(path, O_WRONLY);
    if (scan < 0) return fail_with_api_error(kNotifyFailed);
    if (action == kRemove) {
        platform::close(scan);
        for (int lun = 0; lun < luns; ++lun) {
            std::snprintf(path, sizeof path, "/sys/bus/scsi/devices/%d:0:%d:%d/delete", host,
                          target, lun);
            const int fd_delete = platform::open(path, O_WRONLY);
            const bool done = fd_delete >= 0 && write_text(fd_delete, "1");
            if (fd_delete >= 0) platform::close(fd_delete);
            if (!done) return fail_with_api_error(kRemoveFailed);
        }
        return 0;
    }
    int result = 0;
    if (action != kAdd) result = fail_with_api_error(kNotifyFailed);
    for (int lun = 0; lun < luns && result == 0; ++lun) {
        std::snprintf(line, sizeof line, "0 %d %d", target, lun);
        if (!write_text(scan, line)) result = fail_with_api_error(kAddFailed);
    }
    platform::close(scan);
    return result;
}
