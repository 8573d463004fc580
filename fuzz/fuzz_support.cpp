#include "fuzz/fuzz_support.h"

#include <dirent.h>
#include <unistd.h>

namespace {

std::string g_dir;

void remove_temp_dir()
{
    DIR* d = opendir(g_dir.c_str());
    if (d != nullptr) {
        while (dirent* e = readdir(d)) {
            std::string name = e->d_name;
            if (name != "." && name != "..")
                unlink((g_dir + "/" + name).c_str());
        }
        closedir(d);
    }
    rmdir(g_dir.c_str());
}

}  // namespace

const std::string& fuzz_temp_dir()
{
    if (g_dir.empty()) {
        const char* base = std::getenv("TMPDIR");
        std::string pattern = std::string(base != nullptr && *base != '\0' ? base : "/tmp") + "/pyv2-fuzz-XXXXXX";
        char* made = mkdtemp(pattern.data());
        FUZZ_CHECK(made != nullptr);
        g_dir = made;
        std::atexit(remove_temp_dir);
    }
    return g_dir;
}

std::string fuzz_write_file(const char* name, const uint8_t* data, size_t size)
{
    std::string path = fuzz_temp_dir() + "/" + name;
    std::FILE* f = std::fopen(path.c_str(), "wb");
    FUZZ_CHECK(f != nullptr);
    FUZZ_CHECK(size == 0 || std::fwrite(data, 1, size, f) == size);
    FUZZ_CHECK(std::fclose(f) == 0);
    return path;
}
