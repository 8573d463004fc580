// Reading firmware image files: the whole file into memory, or its first
// bytes. Only regular files are read, never more than the stated room, and
// the file is closed on every path.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

struct ImageBuffer {
    std::unique_ptr<uint8_t[]> bytes;
    size_t size = 0;
};

// The API errors a reader records: for a file that cannot be looked up,
// for one of a size that cannot be an image (empty, too large, too short,
// or not a regular file), and for one that cannot be opened or read whole.
// 0 records the operating system's error instead.
struct ImageFileErrors {
    int32_t missing;
    int32_t bad_size;
    int32_t unreadable;
};

// The whole file, of at most max_size bytes. A failed allocation returns -1
// with nothing recorded.
int read_image_file(const char* path, size_t max_size, ImageFileErrors errors, ImageBuffer* out);

// The first count bytes; a file shorter than count has a bad size.
int read_image_start(const char* path, size_t count, ImageFileErrors errors, uint8_t* out);
