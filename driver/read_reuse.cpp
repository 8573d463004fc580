#include "driver/read_reuse.h"

#include <algorithm>
#include <atomic>
#include <mutex>
#include <unordered_map>

#include "driver/driver_request_layout.h"

namespace {

enum class Series : uint8_t { kFirst, kSecond };

constexpr int kAny = -1;

// A kind of request that only reads: it changes nothing on the controller,
// its drives or its enclosures.
struct ReadRequest {
    Series series;
    uint32_t request;  // first series: request number; second: control code
    int opcode;        // firmware opcode (packet byte 0), or kAny
    int scsi_command;  // SCSI pass-through: operation code of the command block, or kAny
    ReadReuse::Kind kind;
};

constexpr ReadReuse::Kind kRead = ReadReuse::Kind::kRead;
constexpr ReadReuse::Kind kLiveRead = ReadReuse::Kind::kLiveRead;

// The reads. Whatever is not listed is taken as a change: among them the
// first series' SET PARAMETER (0x53) and its event read (request 0x1C,
// which takes the event from the queue), the controller lock (262, 263),
// request 512, the second series' SET PARAMETER (0x53), every unit, drive,
// battery, download and event-posting command, the ATA pass-through, the
// drives' own SCSI commands, and SCSI pass-through commands other than the
// three below (SEND DIAGNOSTIC, WRITE BUFFER, ...).
constexpr ReadRequest kReads[] = {
    // GET PARAMETER; the opcode tells it from SET PARAMETER (0x53).
    {Series::kFirst, driver_request::kLegacyFirmwareCommand, 0x52, kAny, kRead},
    // The driver's compatibility record, from the driver or from sysfs.
    {Series::kSecond, driver_request::kCompatInfo, kAny, kAny, kRead},
    // The event queue: newest, oldest, next and previous event. They take
    // nothing from it, but events arrive without any request of ours.
    {Series::kSecond, driver_request::kNewestEvent, kAny, kAny, kLiveRead},
    {Series::kSecond, driver_request::kOldestEvent, kAny, kAny, kLiveRead},
    {Series::kSecond, driver_request::kNextEvent, kAny, kAny, kLiveRead},
    {Series::kSecond, driver_request::kPreviousEvent, kAny, kAny, kLiveRead},
    // GET PARAMETER; the opcode tells it from SET PARAMETER (0x53).
    {Series::kSecond, driver_request::kFirmwareCommand, 0x52, kAny, kRead},
    // The firmware's SCSI pass-through (0x10) to an enclosure processor or
    // a unit, by its command block's operation code: INQUIRY, RECEIVE
    // DIAGNOSTIC RESULTS (SES status pages), READ BUFFER (SAF-TE status
    // buffers, expander buffers and registers).
    {Series::kSecond, driver_request::kFirmwareCommand, 0x10, 0x12, kRead},
    {Series::kSecond, driver_request::kFirmwareCommand, 0x10, 0x1C, kRead},
    {Series::kSecond, driver_request::kFirmwareCommand, 0x10, 0x3C, kRead},
};

// The SCSI command block in the pass-through packet.
constexpr size_t kPassThroughCdb = 8;

ReadReuse::Kind kind_of(Series series, uint32_t request, const uint8_t* packet) {
    for (const ReadRequest& r : kReads) {
        if (r.series != series || r.request != request) continue;
        if (r.opcode == kAny) return r.kind;
        if (packet == nullptr || packet[0] != r.opcode) continue;
        if (r.scsi_command == kAny || packet[kPassThroughCdb] == r.scsi_command) return r.kind;
    }
    return ReadReuse::Kind::kChange;
}

constexpr int kControllers = 256;  // indices 0 to 254, and 0xFF for unknown
constexpr uint8_t kUnknown = 0xFF;

struct Store {
    std::mutex lock;
    std::atomic<bool> enabled{true};
    int open_builds = 0;  // outermost scopes open, on every thread
    uint64_t generations[kControllers] = {};
    std::unordered_map<std::string, std::string> answers[kControllers];
    size_t count = 0;

    void drop(uint8_t controller) {
        ++generations[controller];
        count -= answers[controller].size();
        answers[controller].clear();
    }
};

// Never destroyed: the monitor thread may still send a request while the
// process exits.
Store& store() {
    static Store* s = new Store;
    return *s;
}

thread_local int t_depth = 0;  // scopes open on this thread

void put32(std::string* out, uint32_t value) {
    for (int i = 0; i < 4; ++i) out->push_back(char(value >> (8 * i)));
}

bool get32(const std::string& in, size_t* at, uint32_t* value) {
    if (in.size() - *at < 4) return false;
    *value = 0;
    for (int i = 0; i < 4; ++i) *value |= uint32_t(uint8_t(in[*at + size_t(i)])) << (8 * i);
    *at += 4;
    return true;
}

}  // namespace

ReadReuse::Scope::Scope() {
    if (t_depth++ > 0) return;
    Store& s = store();
    std::lock_guard<std::mutex> hold(s.lock);
    ++s.open_builds;
}

ReadReuse::Scope::~Scope() {
    if (--t_depth > 0) return;
    Store& s = store();
    std::lock_guard<std::mutex> hold(s.lock);
    if (--s.open_builds > 0) return;
    for (int c = 0; c < kControllers; ++c) s.answers[c].clear();
    s.count = 0;
}

void ReadReuse::set_enabled(bool on) { store().enabled.store(on); }

bool ReadReuse::enabled() { return store().enabled.load(); }

ReadReuse::Kind ReadReuse::legacy_kind(uint8_t request, const uint8_t* packet) {
    return kind_of(Series::kFirst, request, packet);
}

ReadReuse::Kind ReadReuse::series_kind(uint32_t code, const uint8_t* area) {
    return kind_of(Series::kSecond, code,
                   area != nullptr ? area + driver_request::kAreaPacket : nullptr);
}

bool ReadReuse::reusing() { return t_depth > 0 && enabled(); }

bool ReadReuse::recall(uint8_t controller, const std::string& key, std::string* answer,
                       uint64_t* generation) {
    Store& s = store();
    std::lock_guard<std::mutex> hold(s.lock);
    *generation = s.generations[controller];
    const auto found = s.answers[controller].find(key);
    if (found == s.answers[controller].end()) return false;
    *answer = found->second;
    return true;
}

void ReadReuse::keep(uint8_t controller, uint64_t generation, std::string key,
                     std::string answer) {
    if (controller == kUnknown) return;
    Store& s = store();
    std::lock_guard<std::mutex> hold(s.lock);
    if (s.open_builds == 0 || s.generations[controller] != generation) return;
    if (s.answers[controller].emplace(std::move(key), std::move(answer)).second) ++s.count;
}

void ReadReuse::forget(uint8_t controller) {
    Store& s = store();
    std::lock_guard<std::mutex> hold(s.lock);
    if (controller != kUnknown) {
        s.drop(controller);
        return;
    }
    for (int c = 0; c < kControllers; ++c) s.drop(uint8_t(c));
}

size_t ReadReuse::kept() {
    Store& s = store();
    std::lock_guard<std::mutex> hold(s.lock);
    return s.count;
}

void ReadReuse::append_field(std::string* out, const void* bytes, size_t size) {
    const uint8_t* p = static_cast<const uint8_t*>(bytes);
    size_t first = 0, end = size;
    while (first < end && p[first] == 0) ++first;
    while (end > first && p[end - 1] == 0) --end;
    put32(out, uint32_t(first));
    put32(out, uint32_t(end - first));
    out->append(reinterpret_cast<const char*>(p + first), end - first);
}

bool ReadReuse::read_field(const std::string& in, size_t* at, void* bytes, size_t size) {
    uint32_t first = 0, length = 0;
    if (!get32(in, at, &first) || !get32(in, at, &length) || first > size ||
        length > size - first || in.size() - *at < length)
        return false;
    uint8_t* p = static_cast<uint8_t*>(bytes);
    std::fill(p, p + size, uint8_t(0));
    std::copy(in.begin() + long(*at), in.begin() + long(*at + length), p + first);
    *at += length;
    return true;
}
