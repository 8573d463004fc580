// The object every request is handed to: the host identity, the
// configuration, the command log and the daemon's message catalogue, with
// the dispatcher, the login level, the query-parameter readers and the
// methods that fill the snapshot records from the library.
#pragma once

#include "daemon/host_identity.h"
#include "daemon/query_params.h"
#include "daemon/snapshot_records.h"

class ByteBuffer;
class CommandLogger;
class ConfigStore;
class MessageCatalogue;
class PageBuilder;

// Reads the library's controller list into list, its count set to 0 first so
// that a failed read leaves an empty list. Returns the library's result.
int list_controllers(ControllerIdList* list);

class DaemonContext : public HostIdentity, public QueryParams {
public:
    // Keeps both pointers and creates the command log "kq_mgmt.log" in the
    // command-log directory, enabled as CommandLog says now.
    DaemonContext(ConfigStore* config, MessageCatalogue* catalogue);
    ~DaemonContext();
    DaemonContext(const DaemonContext&) = delete;
    DaemonContext& operator=(const DaemonContext&) = delete;

    ConfigStore* config() const { return config_; }
    CommandLogger* command_logger() const { return command_logger_; }
    MessageCatalogue* catalogue() const { return catalogue_; }

    // A catalogue text in the configured language and message directory.
    const char* message(int category, int code);
    // Writes text to the command log when CommandLog is on.
    void log_command(const char* text);

    // Answers one request into page; returns the HandlerResult.
    int dispatch(PageBuilder* page, const char* url, const char* host, const char* peer, const char* cookie_line,
                 const char* body, const ByteBuffer* upload);

    // The AccessLevel the login cookie in cookie_line gives.
    int get_access_level(const char* cookie_line);

    // Snapshot filling. fill_controller returns 0, or 1 when the controller's
    // family could not be read (error_text then holds the library's text).
    int fill_controllers(const ControllerIdList& list, ControllerRecord* records);
    int fill_controller(int position, ObjectId id, ControllerRecord* record);
    int count_drives_in_units(ControllerRecord* record);
    int count_active_units(ControllerRecord* record);

private:
    ConfigStore* config_;
    CommandLogger* command_logger_;
    MessageCatalogue* catalogue_;
};
