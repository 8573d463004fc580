// The configured language index as the daemon uses it: 0 English, 1 German,
// 2 Japanese, 3 traditional Chinese, 4 simplified Chinese, 5 French,
// 6 Spanish, 7 Italian. A stored value outside 0 to 7 is taken as English,
// so no table indexed by the language is read past its end.
#pragma once

#include <cstdint>

constexpr int kLanguageCount = 8;
constexpr int kLanguageGerman = 1;

inline uint8_t checked_language(int configured) {
    return configured >= 0 && configured < kLanguageCount ? static_cast<uint8_t>(configured) : 0;
}
