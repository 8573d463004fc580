#include "daemon/byte_buffer.h"

#include <climits>
#include <cstring>
#include <functional>
#include <new>

ByteBuffer::ByteBuffer() : data_(nullptr), length_(0), capacity_(0) {}

ByteBuffer::~ByteBuffer()
{
    delete[] data_;
}

int ByteBuffer::append(const unsigned char* p, int n)
{
    if (n <= 0 || p == nullptr)
        return 1;
    long long needed = static_cast<long long>(length_) + n;
    if (needed > INT_MAX)
        return 2;
    // The bytes may be part of this buffer's own storage, which growing
    // frees: remember where they stand in it.
    const bool own = data_ != nullptr && !std::less<const unsigned char*>()(p, data_) &&
                     std::less<const unsigned char*>()(p, data_ + capacity_);
    const size_t offset = own ? static_cast<size_t>(p - data_) : 0;
    if (needed > capacity_) {
        // Doubling keeps a long run of small appends (an upload read in 8 KiB
        // pieces) linear in time.
        long long cap = capacity_ < 64 ? 64 : capacity_;
        while (cap < needed)
            cap *= 2;
        if (cap > INT_MAX)
            cap = INT_MAX;
        unsigned char* bigger = new (std::nothrow) unsigned char[cap];
        if (bigger == nullptr)
            return 2;
        if (length_ > 0)
            std::memcpy(bigger, data_, static_cast<size_t>(length_));
        delete[] data_;
        data_ = bigger;
        capacity_ = static_cast<int>(cap);
    }
    std::memmove(data_ + length_, own ? data_ + offset : p, static_cast<size_t>(n));
    length_ = static_cast<int>(needed);
    return 0;
}

int ByteBuffer::clear()
{
    delete[] data_;
    data_ = nullptr;
    length_ = 0;
    capacity_ = 0;
    return 0;
}
