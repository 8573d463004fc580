#include "daemon/termination.h"

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <csignal>

namespace {

int wake_pipe[2] = {-1, -1};
std::atomic<int> arrived{0};

void note_terminate_signal(int signal_number)
{
    int expected = 0;
    arrived.compare_exchange_strong(expected, signal_number);
    if (wake_pipe[1] != -1) {
        char byte = 1;
        ssize_t ignored = write(wake_pipe[1], &byte, 1);
        (void)ignored;
    }
}

}  // namespace

int install_termination_handler()
{
    if (wake_pipe[0] == -1 && pipe2(wake_pipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        wake_pipe[0] = wake_pipe[1] = -1;
        return 1;
    }
    struct sigaction action = {};
    action.sa_handler = note_terminate_signal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGQUIT, &action, nullptr);
    return 0;
}

int termination_descriptor()
{
    return wake_pipe[0];
}

int termination_signal()
{
    return arrived.load();
}

void ignore_signal(int) {}
