// The harnesses' reader of their input bytes: numbers are taken from the
// end of the input, texts and the rest from its start, so that a seed file
// is a text followed by the few bytes that choose among the cases. It reads
// bytes as libFuzzer's own data provider does, so seeds mean the same to a
// harness built with libFuzzer and to the stand-alone replay.
#pragma once

#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <string>
#include <type_traits>

class FuzzInput {
public:
    FuzzInput(const uint8_t* data, size_t size) : data_(data), left_(size) {}

    // A number in [min, max] from as many bytes at the end of the input as
    // the range needs (fewer when the input runs out, min when none is left).
    template <typename T>
    T integral_in_range(T min, T max)
    {
        static_assert(std::is_integral_v<T> && sizeof(T) <= sizeof(uint64_t));
        if (min > max)
            std::abort();
        const uint64_t range = static_cast<uint64_t>(max) - static_cast<uint64_t>(min);
        uint64_t result = 0;
        size_t bits = 0;
        while (bits < sizeof(T) * CHAR_BIT && (range >> bits) > 0 && left_ != 0) {
            --left_;
            result = (result << CHAR_BIT) | data_[left_];
            bits += CHAR_BIT;
        }
        if (range != std::numeric_limits<uint64_t>::max())
            result = result % (range + 1);
        return static_cast<T>(static_cast<uint64_t>(min) + result);
    }

    template <typename T>
    T integral()
    {
        return integral_in_range(std::numeric_limits<T>::min(), std::numeric_limits<T>::max());
    }

    bool boolean() { return (integral<uint8_t>() & 1) != 0; }

    // A text of at most max_length bytes from the start of the input: it
    // ends at a backslash followed by another byte than a backslash (a
    // doubled backslash stands for one), or at the end of the input.
    std::string random_length_string(size_t max_length)
    {
        std::string out;
        for (size_t i = 0; i < max_length && left_ != 0; ++i) {
            char next = static_cast<char>(*data_);
            advance();
            if (next == '\\' && left_ != 0) {
                next = static_cast<char>(*data_);
                advance();
                if (next != '\\')
                    break;
            }
            out += next;
        }
        return out;
    }

    // Everything not yet taken.
    std::string remaining_string()
    {
        std::string out(reinterpret_cast<const char*>(data_), left_);
        data_ += left_;
        left_ = 0;
        return out;
    }

private:
    void advance()
    {
        ++data_;
        --left_;
    }

    const uint8_t* data_;
    size_t left_;
};
