// Changes a controller's rebuild rate through the command log, as the
// daemon makes its changes, and prints the rate before and after and the
// line the change wrote to the log.
// Usage: change_rebuild_rate <controller index> <rate 1 to 5> <log file>
#include <cstdio>
#include <cstdlib>

#include "api/command_logger.h"
#include "api/ctl.h"

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: %s <controller index> <rate 1 to 5> <log file>\n", argv[0]);
        return 2;
    }
    ObjectId id;
    if (ctl_make_controller_id(uint8_t(std::atoi(argv[1])), &id) != 0) return 2;

    int32_t before = 0;
    if (ctl_get_rebuild_rate(id, &before) != 0) {
        ErrorRecord record;
        ctl_get_last_error(&record);
        std::printf("cannot read the rebuild rate: %s\n", record.text);
        return 1;
    }
    CommandLogger log("Pyv2", argv[3], 1);
    int32_t rate = std::atoi(argv[2]);
    const int result = log.set_rebuild_rate(id, &rate);
    std::printf("rebuild rate of controller %s: %d, now %d (result %d)\n", argv[1], before, rate,
                result);

    // The log's last line.
    FILE* f = std::fopen(argv[3], "r");
    if (f == nullptr) return 1;
    char line[1024], last[1024] = "";
    while (std::fgets(line, sizeof line, f) != nullptr) std::snprintf(last, sizeof last, "%s", line);
    std::fclose(f);
    std::printf("%s", last);
    return result == 0 ? 0 : 1;
}
