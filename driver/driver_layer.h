// The driver layer: finds the controllers and their kernel drivers, keeps
// each controller's device node and family, opens and closes the nodes and
// performs the driver requests of both controller series.
#pragma once

#include <cstdint>
#include <mutex>
#include <vector>

#include "driver/object_id.h"

namespace platform {
struct Directory;
}

class DriverLayer {
  public:
    static constexpr int kMaxControllers = 255;
    static constexpr int kNodePathSize = 32;
    static constexpr uint8_t kNotSas = 0xFF;
    static constexpr uint8_t kNoController = 0xFF;

    // Runs the discovery on the running system (or the simulated one) for
    // the library's build architecture; failures stay in the last-error
    // record.
    DriverLayer();
    // The same for another build architecture ("x86_64", "i686", ...).
    explicit DriverLayer(const char* build_arch);
    DriverLayer(const DriverLayer&) = delete;
    DriverLayer& operator=(const DriverLayer&) = delete;

    // The controllers found, in ascending index order. 0, or -1 with API
    // error 106 when the kernel check failed.
    int list_controllers(ControllerIdList* out);
    // Opens the node of the identifier's controller (byte 1) read-write.
    // 0, or -1 with the OS error recorded.
    int open_controller(ObjectId id, int32_t* descriptor);
    int close_controller(int32_t descriptor);

    // Within a page build, a read that was answered before is answered
    // again as it was then, without a request (read_reuse.h).
    //
    // First-series request: the 512-byte command packet and its data in one
    // ioctl. 0; -1 on a firmware error; the ioctl's own result when the
    // driver failed it.
    int legacy_ioctl(const int32_t& descriptor, uint8_t* packet, void* data, uint32_t data_length,
                     uint8_t request);
    // Second-series request: the 24-byte header, the 1024-byte command area
    // and the data, retried while the driver is busy; SAS-driver nodes answer
    // compatibility and event requests from sysfs. 0 or -1.
    int series_ioctl(const int32_t& descriptor, uint8_t* header, uint8_t* area, void* data,
                     uint32_t data_length);

    // Runs the discovery again from scratch, for a machine whose controllers
    // changed since (the simulated machines of the tests).
    void rediscover();

    // Controller families: 3 first series; 4 and 6 to 10 the generations of
    // the second series; -1 unknown; 0 where no controller has the index
    // (255, "no controller", included).
    // The family of the identifier's controller (byte 1); detects the
    // families first when they are not known yet, -1 when that fails.
    int32_t get_controller_family(ObjectId id);
    // Detects the family of every controller found; the last step of the
    // discovery when it found a controller. -1 with API error 1 when there
    // is none.
    int detect_families();
    // The family of one controller, from its node letter and, for the second
    // series, its architecture id. Always 0; the family carries the outcome.
    int detect_family(ObjectId id, int32_t* family);

    // The first 56 bytes of the controller's driver compatibility record;
    // zeros for drivers that have none (first series). Always 0.
    int get_compat_info(ObjectId id, uint8_t* out);
    // 1 when the controller sits behind a virtual-machine driver, else 0.
    int is_vm_driver(ObjectId id);

    // Adds (action 1) or removes (0) the SCSI devices of a unit in the
    // operating system. 0, or -1 with API error 21, 69 or 70; -1 with
    // nothing recorded for a family without unit devices.
    int notify_os_unit_change(const ObjectId& controller, const ObjectId& unit, uint8_t action);
    // 1 in out when "/proc/scsi/scsi" lists the device, else 0.
    int is_scsi_device_present(uint8_t host, uint8_t target, uint8_t lun, uint8_t* out);

    // Time conversions for controllers on a virtual-machine driver, with the
    // local time zone's offset east of UTC. A time in seconds, with the offset
    // in force at that time; minutes of the week (0 to 10,079), with the
    // offset in force now, wrapped into the week.
    static uint32_t to_local_time(uint32_t seconds);
    static uint32_t to_local_week_minutes(uint32_t minutes);
    static uint32_t to_controller_week_minutes(uint32_t minutes);

    bool families_known() const { return families_known_ != 0; }
    bool old_kernel() const { return old_kernel_ != 0; }
    // The node path of a controller index; "" when there is none (index 255
    // included).
    const char* node_path(uint8_t index) const;
    // The controller index of a descriptor opened on a SAS-driver node, else
    // kNotSas.
    uint8_t sas_controller_of(int32_t descriptor);
    // The controller index of a descriptor open_controller() gave out and
    // close_controller() did not close yet; kNoController for any other.
    uint8_t controller_of(int32_t descriptor);

  private:
    void discover(const char* build_arch);
    void reset();
    void discover_base(const char* prefix, const char* driver);
    void discover_vm(const char* prefix, const char* driver);
    bool repair_node(const char* path, int major, int minor);
    void pair_by_proc(platform::Directory* dir, const char* prefix);
    void pair_by_sysfs(platform::Directory* dir, const char* prefix, const char* driver);
    bool claim_node(const char* prefix, int* cursor, int step, int host);
    void set_node(int index, const char* path);
    int send_legacy(const int32_t& descriptor, uint8_t* packet, void* data, uint32_t data_length,
                    uint8_t request);
    int send_series(const int32_t& descriptor, uint8_t* header, uint8_t* area, void* data,
                    uint32_t data_length);
    int series_from_sysfs(uint8_t host, uint32_t code, uint8_t* header, void* data,
                          uint32_t data_length);
    void remember_descriptor(int32_t descriptor, uint8_t controller, uint8_t sas_controller);

    uint8_t unsupported_arch_ = 0;
    uint8_t families_known_ = 0;
    int32_t count_ = 0;
    char nodes_[kMaxControllers][kNodePathSize] = {};
    int32_t families_[kMaxControllers] = {};
    uint8_t old_kernel_ = 0;
    // Descriptor -> SAS controller index; grows to cover any descriptor.
    std::vector<uint8_t> descriptor_map_;
    // Descriptor -> controller index, of every node opened.
    std::vector<uint8_t> descriptor_controllers_;
    std::mutex descriptor_lock_;
    const char* build_arch_ = nullptr;
};

// The library's driver layer, built before main (library_startup.cpp).
DriverLayer& library_driver_layer();
