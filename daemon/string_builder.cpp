#include "daemon/string_builder.h"

#include <climits>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <new>

namespace {

// Smallest allocation that holds `needed` bytes, doubling so that a long run
// of small appends copies each byte only a constant number of times.
int next_capacity(int current, long long needed)
{
    long long cap = current < 16 ? 16 : current;
    while (cap < needed)
        cap *= 2;
    if (cap > INT_MAX)
        cap = INT_MAX;
    return static_cast<int>(cap);
}

}  // namespace

StringBuilder::StringBuilder() : text_(new char[1]), length_(0), capacity_(1)
{
    text_[0] = '\0';
}

StringBuilder::~StringBuilder()
{
    delete[] text_;
}

void StringBuilder::clear()
{
    delete[] text_;
    text_ = new char[1];
    text_[0] = '\0';
    length_ = 0;
    capacity_ = 1;
}

void StringBuilder::grow(unsigned n)
{
    long long needed = static_cast<long long>(length_) + n + 1;
    if (needed > INT_MAX)
        std::abort();  // a text of 2 GiB is a fault of the caller
    if (needed > capacity_) {
        int cap = next_capacity(capacity_, needed);
        char* bigger = new char[cap];
        std::memcpy(bigger, text_, static_cast<size_t>(length_) + 1);
        delete[] text_;
        text_ = bigger;
        capacity_ = cap;
    }
    length_ += static_cast<int>(n);
    text_[length_] = '\0';
}

StringBuilder& StringBuilder::append(const char* s)
{
    if (s == nullptr || s[0] == '\0')
        return *this;
    size_t n = std::strlen(s);
    if (n > static_cast<size_t>(INT_MAX))
        std::abort();
    int old = length_;
    // The text may be part of this builder's own storage, which growing
    // frees: remember where it stands in it.
    const bool own = text_ != nullptr && !std::less<const char*>()(s, text_) &&
                     std::less<const char*>()(s, text_ + capacity_);
    const size_t offset = own ? static_cast<size_t>(s - text_) : 0;
    grow(static_cast<unsigned>(n));
    std::memmove(text_ + old, own ? text_ + offset : s, n);
    return *this;
}

StringBuilder& StringBuilder::append_int(int v)
{
    // The digits from the right, of the magnitude as unsigned so that the
    // most negative number has one too; pages write many numbers, so no
    // formatted print.
    char scratch[16];
    char* const end = scratch + sizeof scratch;
    char* p = end;
    unsigned magnitude = v < 0 ? 0u - static_cast<unsigned>(v) : static_cast<unsigned>(v);
    do {
        *--p = static_cast<char>('0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude != 0);
    if (v < 0)
        *--p = '-';
    const int old = length_;
    const unsigned n = static_cast<unsigned>(end - p);
    grow(n);
    std::memcpy(text_ + old, p, n);
    return *this;
}
