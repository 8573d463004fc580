// File and process helpers shared by the tests: a private temporary
// directory, whole-file reads and writes, permission bits and directory
// entries, running a shell command.
#pragma once

#include <dirent.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <system_error>

namespace test_support {

// A directory of its own under /tmp, removed with everything in it.
class TempDir {
public:
    TempDir()
    {
        char pattern[] = "/tmp/pyv2-test-XXXXXX";
        const char* made = mkdtemp(pattern);
        path_ = made != nullptr ? made : "";
    }
    ~TempDir()
    {
        std::error_code ec;
        if (!path_.empty())
            std::filesystem::remove_all(path_, ec);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& path() const { return path_; }
    std::string file(const std::string& name) const { return path_ + "/" + name; }

    // Runs a shell command; its exit status, or -1.
    static int run(const std::string& command)
    {
        int status = system(command.c_str());
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

private:
    std::string path_;
};

inline std::string read_file(const std::string& path)
{
    std::string out;
    FILE* f = fopen(path.c_str(), "rb");
    if (f == nullptr)
        return out;
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, f)) > 0)
        out.append(buf, n);
    fclose(f);
    return out;
}

inline bool write_file(const std::string& path, const std::string& content)
{
    FILE* f = fopen(path.c_str(), "wb");
    if (f == nullptr)
        return false;
    bool ok = fwrite(content.data(), 1, content.size(), f) == content.size();
    return fclose(f) == 0 && ok;
}

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

// Lower-case hexadecimal digits of every byte.
inline std::string hex(const std::string& s)
{
    static const char digits[] = "0123456789abcdef";
    std::string out;
    for (unsigned char c : s) {
        out += digits[c >> 4];
        out += digits[c & 15];
    }
    return out;
}

}  // namespace test_support
