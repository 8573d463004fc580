// The stand-alone driver of a fuzz harness: runs the harness once over each
// file named on the command line, the files of a named directory in name
// order, so that a normal build replays the seed corpus without libFuzzer.
// A failed check or a sanitizer report ends the run; else it prints how many
// inputs ran and exits 0 (1 when a name could not be read or none was run).
#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace {

bool read_file(const std::string& path, std::vector<uint8_t>* out)
{
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (f == nullptr)
        return false;
    out->clear();
    uint8_t piece[65536];
    size_t n;
    while ((n = std::fread(piece, 1, sizeof piece, f)) > 0)
        out->insert(out->end(), piece, piece + n);
    bool ok = std::ferror(f) == 0;
    std::fclose(f);
    return ok;
}

// The files a name stands for: itself, or the regular files of a directory.
bool collect(const std::string& name, std::vector<std::string>* files)
{
    struct stat st;
    if (stat(name.c_str(), &st) != 0)
        return false;
    if (!S_ISDIR(st.st_mode)) {
        files->push_back(name);
        return true;
    }
    DIR* d = opendir(name.c_str());
    if (d == nullptr)
        return false;
    std::vector<std::string> found;
    while (dirent* e = readdir(d)) {
        std::string path = name + "/" + e->d_name;
        if (stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode))
            found.push_back(path);
    }
    closedir(d);
    std::sort(found.begin(), found.end());
    files->insert(files->end(), found.begin(), found.end());
    return true;
}

}  // namespace

int main(int argc, char** argv)
{
    std::vector<std::string> files;
    for (int i = 1; i < argc; i++) {
        if (!collect(argv[i], &files)) {
            std::fprintf(stderr, "cannot read %s\n", argv[i]);
            return 1;
        }
    }
    std::vector<uint8_t> data;
    for (const std::string& file : files) {
        if (!read_file(file, &data)) {
            std::fprintf(stderr, "cannot read %s\n", file.c_str());
            return 1;
        }
        std::fprintf(stderr, "running %s (%zu bytes)\n", file.c_str(), data.size());
        // An empty vector's data() may be null; the harnesses get a valid pointer.
        static const uint8_t kNone = 0;
        LLVMFuzzerTestOneInput(data.empty() ? &kNone : data.data(), data.size());
    }
    std::printf("%zu inputs run\n", files.size());
    return files.empty() ? 1 : 0;
}
