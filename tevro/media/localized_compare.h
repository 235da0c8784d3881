#pragma once

// The file manager's order of names: numbers by value, letter case only to
// separate names that differ in nothing else, in the user's locale.

#include <string_view>

namespace tevro {

// Negative, zero or positive as `a` sorts before, the same as, or after `b`.
// Safe to call from any thread at once.
int localizedStandardCompare(std::string_view a, std::string_view b);

inline bool localizedStandardLess(std::string_view a, std::string_view b) {
    return localizedStandardCompare(a, b) < 0;
}

} // namespace tevro
