#pragma once

// A control request reduced to its path and query map, and the number rules
// the routes share. Every number is range-checked here, before any cast.

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace tevro {

struct ControlRequest {
    std::string path;                         // percent-decoded, without the query
    std::map<std::string, std::string> query; // the last of a repeated name wins

    // Nothing when the target cannot be read as a URL path.
    static std::optional<ControlRequest> parse(std::string_view target);

    bool has(const std::string& key) const { return query.contains(key); }
    // The value, or `fallback` when the key is absent.
    std::string text(const std::string& key, const std::string& fallback = {}) const;
    // "1" means true; anything else, missing included, false.
    bool flag(const std::string& key) const;
    // The value as a signed 64-bit integer, nothing when absent or not one.
    std::optional<std::int64_t> integer(const std::string& key) const;
    // The value as an integer in [low, high]; nothing when absent, not a
    // number or outside the range.
    std::optional<std::int64_t> integer(const std::string& key, std::int64_t low,
                                        std::int64_t high) const;
    std::optional<double> number(const std::string& key) const;
};

// Decimal text with an optional leading sign and nothing else.
std::optional<std::int64_t> parseInteger(std::string_view text);
// A finite decimal floating-point number.
std::optional<double> parseDouble(std::string_view text);

} // namespace tevro
