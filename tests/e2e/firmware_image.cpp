// Writes a controller firmware image file for the end-to-end tests, made by
// the tests' image generator:
//
//   e2e_firmware_image <file> [arch=N] [srl=N] [second-srl=N] [branch=N] [build=N]
//                      [size=N] [header-size=N] [magic=N] [version=TEXT]
//                      [bad-checksum=1] [cut=N]
//
// cut=N writes only the first N bytes of the image (a truncated upload).
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "tests/support/firmware_images.h"

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s <file> [key=value...]\n", argv[0]);
        return 2;
    }
    test_images::ControllerImage c;
    long cut = -1;
    for (int i = 2; i < argc; ++i) {
        const char* eq = std::strchr(argv[i], '=');
        if (eq == nullptr) {
            std::fprintf(stderr, "not key=value: %s\n", argv[i]);
            return 2;
        }
        const std::string key(argv[i], size_t(eq - argv[i]));
        const char* value = eq + 1;
        const unsigned long n = std::strtoul(value, nullptr, 0);
        if (key == "arch")
            c.architecture = uint32_t(n);
        else if (key == "srl")
            c.srl = c.second_srl = uint16_t(n);
        else if (key == "second-srl")
            c.second_srl = uint16_t(n);
        else if (key == "branch")
            c.branch = uint16_t(n);
        else if (key == "build")
            c.build = uint16_t(n);
        else if (key == "size")
            c.size = size_t(n);
        else if (key == "header-size")
            c.header_size = long(n);
        else if (key == "magic")
            c.magic = uint32_t(n);
        else if (key == "version")
            c.version = value;
        else if (key == "bad-checksum")
            c.bad_checksum = n != 0;
        else if (key == "cut")
            cut = long(n);
        else {
            std::fprintf(stderr, "unknown key: %s\n", key.c_str());
            return 2;
        }
    }
    std::vector<uint8_t> image = test_images::controller_image(c);
    if (cut >= 0 && size_t(cut) < image.size()) image.resize(size_t(cut));
    return test_images::write_image(argv[1], image) ? 0 : 1;
}
