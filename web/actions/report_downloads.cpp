#include "web/actions/report_downloads.h"

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <memory>

#include "api/command_logger.h"
#include "api/ctl.h"
#include "daemon/byte_buffer.h"
#include "daemon/config_store.h"
#include "daemon/enclosure_lock.h"
#include "daemon/enclosure_model.h"
#include "web/actions/handler_frame.h"
#include "web/pages/status_texts.h"

namespace {

constexpr int kErrorLogBlock = 32768;  // bytes of each firmware log block
constexpr int kEnclosureValueColumn = 26;
constexpr int kErrorValueColumn = 21;
constexpr int kEnclosureUrlBuffer = 16;
constexpr int kErrorUrlBuffer = 24;
constexpr uint32_t kSlotHoldsDevice = 0x1;

// Where a report request without its numbers is sent back to.
const char* const kReportRedirect = "/page1_1.html";
const char* const kEnclosureSummary = "/page3_2.html";
const char* const kNoControllerNumber = "The report request names no controller";
const char* const kNoEnclosureNumber = "The report request names no enclosure";

// The header of a report: "### name:" and blanks up to the value column,
// the value, CR LF.
class Report {
  public:
    explicit Report(int column) : column_(column) {}

    void line(const char* name, const char* value) {
        char text[64];
        int n = std::snprintf(text, sizeof text, "### %s:", name);
        if (n < 0 || n >= static_cast<int>(sizeof text)) n = 0;
        while (n < column_ - 1 && n < static_cast<int>(sizeof text) - 1) text[n++] = ' ';
        text[n] = '\0';
        text_.append(text).append(value).append("\r\n");
    }
    void line(const char* name, long long number) {
        char value[24];
        std::snprintf(value, sizeof value, "%lld", number);
        line(name, value);
    }
    // The empty line that ends the header.
    void end_header() { text_.append("\r\n"); }
    void begin(const char* name) {
        text_.append("### BEGIN ").append(name);
        flush();
    }
    void block(const void* bytes, int count) {
        if (count > 0) bytes_.append(static_cast<const unsigned char*>(bytes), count);
    }
    void end(const char* name) {
        text_.append("\r\n### END ").append(name);
        flush();
    }
    void crlf() { text_.append("\r\n"); }
    const ByteBuffer& bytes() const { return bytes_; }

  private:
    void flush() {
        bytes_.append(reinterpret_cast<const unsigned char*>(text_.c_str()), text_.length());
        text_.clear();
    }

    int column_;
    StringBuilder text_;
    ByteBuffer bytes_;
};

// A position written in a URL, as atoi reads it but without its overflow:
// a number past the int range counts as the largest (or smallest) int.
int position_of(const char* digits) {
    const long long v = std::strtoll(digits, nullptr, 10);
    return v > INT_MAX ? INT_MAX : v < INT_MIN ? INT_MIN : static_cast<int>(v);
}

// The local time as the reports show it.
void time_stamp(char (&out)[64]) {
    const time_t now = std::time(nullptr);
    struct tm tm;
    if (localtime_r(&now, &tm) == nullptr ||
        std::strftime(out, sizeof out, "%H:%M.%S %d-%b-%Y", &tm) == 0)
        out[0] = '\0';
}

// A record's text field of `size` bytes, read no further than the field
// into out (at least size + 1 bytes).
const char* field_text(const char* field, size_t size, char* out) {
    const size_t n = strnlen(field, size);
    std::memcpy(out, field, n);
    out[n] = '\0';
    return out;
}

// A report request that names no controller or enclosure.
int refuse(DaemonContext* context, PageBuilder* page, const char* text) {
    ActionMessage message(context);
    return message.text(text).redirect(page, kReportRedirect, kRedirectFailed);
}

// Nothing to report: the page that shows there is nothing (the drive page
// without controllers, the enclosure summary without enclosures).
int show_nothing(PageBuilder* page, const char* target) {
    return page->write_redirect(target, nullptr, kRedirectDone);
}

// The slots of the model that hold a device.
int drives_in(const EnclosureModel& model) {
    int drives = 0;
    for (int i = 0; i < model.slot_count(); ++i)
        if (model.slot_objects[i] != nullptr &&
            (model.slot_objects[i]->status & kSlotHoldsDevice) != 0)
            ++drives;
    return drives;
}

// The enclosure's diagnostic log, appended as it comes; nothing when it
// cannot be read.
void append_diagnostic_log(ObjectId enclosure, Report& report) {
    int32_t length = 0;
    ctl_get_enclosure_diagnostic_log(enclosure, nullptr, &length);
    if (length <= 0) return;
    std::unique_ptr<char[]> log(new (std::nothrow) char[static_cast<size_t>(length) + 2]);
    if (log == nullptr) return;
    std::memset(log.get(), 0, static_cast<size_t>(length) + 1);
    int32_t size = length + 1;
    if (ctl_get_enclosure_diagnostic_log(enclosure, log.get(), &size) == 0)
        report.block(log.get(), size < length + 1 ? size : length + 1);
}

}  // namespace

bool parse_encl_diaglog_url(const char* url, int* controller, int* enclosure,
                            bool* missing_enclosure) {
    *missing_enclosure = false;
    const char* at = std::strstr(url, "encl_diaglog_");
    if (at == nullptr) return false;
    const char* p = at + std::strlen("encl_diaglog_");
    if (*p != '\0') ++p;  // the "c"
    char digits[kEnclosureUrlBuffer];
    int n = 0;
    bool controller_given = false;
    for (; *p != '\0' && *p != '.'; ++p) {
        if (*p == 'e') {
            digits[n] = '\0';
            *controller = position_of(digits);
            controller_given = true;
            n = 0;
        } else if (n < kEnclosureUrlBuffer - 1) {
            digits[n++] = *p;
        }
    }
    digits[n] = '\0';
    if (!controller_given) return false;
    if (n == 0) {
        *missing_enclosure = true;
        return false;
    }
    *enclosure = position_of(digits);
    return true;
}

int handle_errorlog(DaemonContext* context, PageBuilder* page, const PageRequest& request) {
    ControllerSelection controllers;
    if (controllers.none()) return show_nothing(page, "/page1_2.html");
    const char* at = std::strstr(request.url, "errorlog_");
    char digits[kErrorUrlBuffer];
    int n = 0;
    for (const char* p = at + std::strlen("errorlog_"); *p != '\0' && *p != '.'; ++p)
        if (n < kErrorUrlBuffer - 1) digits[n++] = *p;
    digits[n] = '\0';
    if (n == 0) return refuse(context, page, kNoControllerNumber);

    const int position = controllers.select(position_of(digits));
    auto record = std::make_unique<ControllerRecord>();
    context->fill_controller(position, controllers.id(), record.get());
    char stamp[64];
    time_stamp(stamp);

    Report report(kErrorValueColumn);
    char text[sizeof record->driver_version + 1];
    auto field = [&text](const auto& f) { return field_text(f, sizeof f, text); };
    report.line("Pyv2 Version", PageBuilder::kVersion);
    report.line("Time Stamp", stamp);
    report.line("Host Name", context->get_host_name());
    report.line("OS Version", context->get_os_text());
    report.line("Driver Version", field(record->driver_version));
    report.line("Controller ID", record->controller_index);
    report.line("Model", field(record->model));
    report.line("Firmware", field(record->firmware_version));
    report.line("BIOS", field(record->bios_version));
    report.line("Serial #", field(record->serial_number));
    char memory[kStatusTextSize] = {};
    format_memory_size(static_cast<uint32_t>(record->memory_size), memory);
    report.line("Memory", memory);
    if (record->family > 4) {
        char protocol[kStatusTextSize] = {}, width[kStatusTextSize] = {},
             speed[kStatusTextSize] = {};
        format_bus_info(static_cast<uint32_t>(record->bus_info), protocol, width, speed);
        report.line("Bus Protocol", protocol);
        report.line("Bus Width", width);
        report.line("Bus Speed", speed);
    }
    report.end_header();

    // Cleared before each read, so a read that fails shows nothing stale.
    std::unique_ptr<uint8_t[]> log(new (std::nothrow) uint8_t[kErrorLogBlock]);
    if (log == nullptr) return kHandlerNotFound;
    CommandLogger* logger = context->command_logger();
    report.begin("Firmware Print Log");
    std::memset(log.get(), 0, kErrorLogBlock);
    logger->get_error_log(controllers.id(), log.get());
    report.block(log.get(), kErrorLogBlock);
    report.end("Firmware Print Log");
    if (record->family > 3) {
        report.crlf();
        report.begin("Firmware Print Buffer");
        std::memset(log.get(), 0, kErrorLogBlock);
        logger->get_error_log_buffer(controllers.id(), log.get());
        report.block(log.get(), kErrorLogBlock);
        report.end("Firmware Print Buffer");
    }
    return page->send_errorlog(report.bytes().data(), report.bytes().length());
}

int handle_encl_diaglog(DaemonContext* context, PageBuilder* page, const PageRequest& request) {
    int c = 0, e = 0;
    bool missing_enclosure = false;
    if (!parse_encl_diaglog_url(request.url, &c, &e, &missing_enclosure))
        return refuse(context, page, missing_enclosure ? kNoEnclosureNumber : kNoControllerNumber);
    ControllerSelection controllers;
    if (controllers.none()) return show_nothing(page, kEnclosureSummary);
    controllers.select(c);
    char stamp[64];
    std::unique_ptr<EnclosureModel> model;
    {
        // The monitor thread's enclosure checks talk to the enclosures too:
        // the list and the model are read under the enclosure lock.
        EnclosureLockGuard lock(context->config(), kEnclosureLockPageMode);
        EnclosureIdList enclosures;
        clear_id_list(enclosures);
        if (!lock.held() || ctl_get_enclosure_list(controllers.id(), &enclosures) != 0 ||
            enclosures.count < 1 || enclosures.count > uint32_t(kEnclosureElementRoom))
            return show_nothing(page, kEnclosureSummary);
        if (!index_in(e, static_cast<int>(enclosures.count))) e = 0;
        time_stamp(stamp);
        model =
            std::make_unique<EnclosureModel>(enclosures.ids[e], e, controllers.position(),
                                             controllers.controller_index(), kEnclosureKindSlots);
    }

    Report report(kEnclosureValueColumn);
    report.line("Pyv2 Version", PageBuilder::kVersion);
    report.line("API Version", ctl_get_api_version());
    report.line("Time Stamp", stamp);
    report.line("Host Name", context->get_host_name());
    report.line("OS Version", context->get_os_text());
    report.line("Enclosure Number", e);
    report.line("Enclosure Vendor", model->vendor);
    report.line("Enclosure Model", model->model);
    report.line("Enclosure Revision", model->revision);
    report.line("Slots", model->slot_count());
    report.line("Drives", drives_in(*model));
    report.line("Fans", model->fan_count());
    report.line("Temperature Sensors", model->temp_sensor_count());
    report.line("Power Supplies", model->power_supply_count());
    report.end_header();
    report.begin("Enclosure Diagnostic Log");
    append_diagnostic_log(model->id, report);
    report.end("Enclosure Diagnostic Log");
    return page->send_encl_diaglog(report.bytes().data(), report.bytes().length());
}
