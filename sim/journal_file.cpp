// The journal written out as it grows, for processes whose journal a test
// cannot read in memory (the daemon of the end-to-end tests): one line per
// driver request or kernel SCSI file write.
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>

#include "sim/machine.h"

namespace sim {

namespace {

std::string hex_of(const std::vector<uint8_t>& bytes) {
    return hex_digits(bytes.data(), bytes.size());
}

}  // namespace

void append_journal_file(const Machine& m, const JournalEntry& e) {
    if (m.journal_file.empty()) return;
    char head[160];
    if (e.request != 0)
        std::snprintf(head, sizeof head,
                      "ioctl index=%d request=0x%lX result=%d sent=", e.controller, e.request,
                      e.result);
    else
        std::snprintf(head, sizeof head, "write path=%s result=%d sent=", e.path.c_str(), e.result);
    const std::string line = head + hex_of(e.sent) + "\n";
    const int fd = ::open(m.journal_file.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
    if (fd < 0) return;
    const ssize_t written = ::write(fd, line.data(), line.size());
    (void)written;
    ::close(fd);
}

}  // namespace sim
