#include "daemon/daemon_context.h"

#include "api/command_logger.h"
#include "daemon/config_store.h"
#include "daemon/language.h"
#include "daemon/string_builder.h"
#include "driver/message_catalogue.h"

DaemonContext::DaemonContext(ConfigStore* config, MessageCatalogue* catalogue)
    : config_(config), command_logger_(nullptr), catalogue_(catalogue)
{
    StringBuilder path;
    path.append(config->get_command_log_dir()).append("/").append("kq_mgmt.log");
    command_logger_ = new CommandLogger("Pyv2", path.c_str(), static_cast<uint8_t>(config->get_command_log() & 0xFF));
}

DaemonContext::~DaemonContext()
{
    delete command_logger_;
}

const char* DaemonContext::message(int category, int code)
{
    return catalogue_->lookup(category, code, config_->get_msg_path(), checked_language(config_->get_language()));
}

void DaemonContext::log_command(const char* text)
{
    if (config_->get_command_log() != 0)
        command_logger_->append_line(text);
}

int DaemonContext::count_drives_in_units(ControllerRecord* record)
{
    int sum = 0;
    int units = static_cast<int>(record->units.count);
    if (record->unit_records != nullptr && record->unit_drive_lists != nullptr && units > 0 && units <= 128) {
        for (int i = 0; i < units; i++) {
            uint32_t drives = record->unit_drive_lists[i].count;
            if (record->unit_records[i].type != 13 && drives <= 128)
                sum += static_cast<int>(drives);
        }
    }
    record->configured_drives = sum;
    return 0;
}

int DaemonContext::count_active_units(ControllerRecord* record)
{
    int active = 0;
    int units = static_cast<int>(record->units.count);
    if (record->unit_records != nullptr && units > 0 && units <= 128) {
        for (int i = 0; i < units; i++)
            if (record->unit_records[i].type != 13)
                active++;
    }
    record->active_units = active;
    return 0;
}
