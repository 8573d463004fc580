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
