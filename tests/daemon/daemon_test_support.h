// Small helpers shared by the daemon's tests: a private temporary directory,
// running a shell command, whole-file reads and writes.
#pragma once

#include <dirent.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
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

// The permission bits of a file, or -1 when it does not exist.
inline int mode_of(const std::string& path)
{
    struct stat st;
    return stat(path.c_str(), &st) == 0 ? static_cast<int>(st.st_mode & 07777) : -1;
}

// The number of entries in a directory, or -1 when it cannot be read.
inline int entries_in(const std::string& dir)
{
    int n = 0;
    DIR* d = opendir(dir.c_str());
    if (d == nullptr)
        return -1;
    while (dirent* e = readdir(d))
        if (std::strcmp(e->d_name, ".") != 0 && std::strcmp(e->d_name, "..") != 0)
            n++;
    closedir(d);
    return n;
}

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
