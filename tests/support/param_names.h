// Value-parameterised tests whose cases carry a name print the case by that
// name, so test listings show the name rather than the case's raw bytes.
// Use the macro right after the case type, in the namespace that declares it.
#pragma once

#include <ostream>

#define PRINT_CASE_BY_NAME(Case)                                   \
    [[maybe_unused]] void PrintTo(const Case& c, std::ostream* os) \
    {                                                              \
        *os << c.name;                                             \
    }
