#pragma once

// Arbitrary bytes (NUL included), owned: a raw request, an uploaded file, a
// binary response body. A user that needs a C string appends a NUL itself.
class ByteBuffer {
public:
    ByteBuffer();
    ~ByteBuffer();
    ByteBuffer(const ByteBuffer&) = delete;
    ByteBuffer& operator=(const ByteBuffer&) = delete;

    // Appends n bytes from p. Returns 0, 1 when n <= 0 or p is null (nothing changes) or
    // 2 when the memory cannot be had (nothing changes).
    int append(const unsigned char* p, int n);
    // Releases the bytes; returns 0.
    int clear();

    // The bytes; null while the buffer is empty.
    unsigned char* data() { return data_; }
    const unsigned char* data() const { return data_; }
    int length() const { return length_; }

private:
    unsigned char* data_;
    int length_;
    int capacity_;
};
