// Shared pieces of the fuzz harnesses: a check that stops the run with a
// message (so libFuzzer keeps the input), and a private temporary directory
// for harnesses whose code under test reads files.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#define FUZZ_CHECK(cond)                                                                   \
    do {                                                                                   \
        if (!(cond)) {                                                                     \
            std::fprintf(stderr, "fuzz check failed: %s (%s:%d)\n", #cond, __FILE__, __LINE__); \
            std::abort();                                                                  \
        }                                                                                  \
    } while (0)

// A directory made once per process under $TMPDIR (or /tmp) and removed
// with its files at exit.
const std::string& fuzz_temp_dir();

// Writes [data, data + size) to name inside fuzz_temp_dir() and returns the
// file's path.
std::string fuzz_write_file(const char* name, const uint8_t* data, size_t size);
