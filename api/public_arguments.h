// Byte and 16-bit inputs of the public functions. The functions take them as
// int; a value that does not fit the width the operation uses (below 0, or
// above 255 or 65535) is refused with API error 122 "Invalid argument or
// value" before anything is sent, and never cut to its low bits.
#pragma once

#include <cstdint>
#include <limits>
#include <type_traits>

// True when the integer value fits the unsigned type Narrow.
template <typename Narrow, typename Value>
constexpr bool fits_in(Value value) {
    static_assert(std::is_unsigned_v<Narrow> && std::is_integral_v<Value> &&
                  !std::is_same_v<Value, bool>);
    if constexpr (std::is_signed_v<Value>) {
        if (value < 0) return false;
    }
    return static_cast<std::make_unsigned_t<Value>>(value) <= std::numeric_limits<Narrow>::max();
}

constexpr bool fits_byte(int value) { return fits_in<uint8_t>(value); }
constexpr bool fits_word(int value) { return fits_in<uint16_t>(value); }

// True unless the argument is an integer handed to a byte or 16-bit
// parameter (Param) that cannot hold it.
template <typename Param, typename Arg>
constexpr bool fits_parameter(const Arg& arg) {
    using P = std::remove_cvref_t<Param>;
    using A = std::remove_cvref_t<Arg>;
    if constexpr ((std::is_same_v<P, uint8_t> || std::is_same_v<P, uint16_t>) &&
                  std::is_integral_v<A> && !std::is_same_v<A, bool>)
        return fits_in<P>(arg);
    else
        return true;
}
