// Starts a program that forks itself into the background and follows the
// background process: writes its pid to <pid-file> as soon as it is known
// and, when it ends, "exit N" or "signal N" to <status-file>.
//
//   e2e_reaper <pid-file> <status-file> <program> [args...]
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

void write_file(const char* path, const std::string& text)
{
    std::string tmp = std::string(path) + ".tmp";
    FILE* f = std::fopen(tmp.c_str(), "w");
    if (f == nullptr)
        return;
    std::fputs(text.c_str(), f);
    std::fclose(f);
    std::rename(tmp.c_str(), path);
}

// The first child of this process that is still running, or -1.
pid_t find_child()
{
    char path[64];
    std::snprintf(path, sizeof path, "/proc/self/task/%d/children", static_cast<int>(getpid()));
    FILE* f = std::fopen(path, "r");
    if (f == nullptr)
        return -1;
    int pid = -1;
    if (std::fscanf(f, "%d", &pid) != 1)
        pid = -1;
    std::fclose(f);
    return pid;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 4) {
        std::fprintf(stderr, "usage: %s pid-file status-file program [args...]\n", argv[0]);
        return 2;
    }
    prctl(PR_SET_CHILD_SUBREAPER, 1, 0, 0, 0);
    pid_t starter = fork();
    if (starter == 0) {
        execv(argv[3], argv + 3);
        std::perror("exec");
        _exit(127);
    }
    int status = 0;
    waitpid(starter, &status, 0);
    // The background process is now this process's child.
    pid_t daemon = find_child();
    if (daemon <= 0) {
        write_file(argv[2], "none " + std::to_string(WIFEXITED(status) ? WEXITSTATUS(status) : -1) + "\n");
        return 1;
    }
    write_file(argv[1], std::to_string(daemon) + "\n");
    while (waitpid(daemon, &status, 0) == -1) {
    }
    if (WIFEXITED(status))
        write_file(argv[2], "exit " + std::to_string(WEXITSTATUS(status)) + "\n");
    else
        write_file(argv[2], "signal " + std::to_string(WTERMSIG(status)) + "\n");
    return 0;
}
