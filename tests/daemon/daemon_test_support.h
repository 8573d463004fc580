// Small helpers shared by the daemon's tests: a private temporary directory,
// running a shell command, whole-file reads and writes.
#pragma once

#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

namespace test_support {

class TempDir {
public:
    TempDir()
    {
        char tmpl[] = "/tmp/pyv2-daemon-test-XXXXXX";
        char* made = mkdtemp(tmpl);
        path_ = made == nullptr ? std::string() : std::string(made);
    }
    ~TempDir()
    {
        if (!path_.empty())
            run("rm -rf '" + path_ + "'");
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& path() const { return path_; }
    std::string file(const std::string& name) const { return path_ + "/" + name; }

    static int run(const std::string& command)
    {
        int status = system(command.c_str());
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

private:
    std::string path_;
};

// Runs command with sh, stdout captured; returns the exit status.
inline int run_capture(const std::string& command, std::string* out)
{
    FILE* p = popen(command.c_str(), "r");
    if (p == nullptr)
        return -1;
    std::string text;
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0)
        text.append(buf, n);
    int status = pclose(p);
    if (out != nullptr)
        *out = text;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

inline std::string read_file(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

inline void write_file(const std::string& path, const std::string& text)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
}

}  // namespace test_support
