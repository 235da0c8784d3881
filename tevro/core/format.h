#pragma once

// The text formats every view shares: byte sizes, percentages, durations,
// playback clock times and language names, all in Russian.

#include <cstdint>
#include <optional>
#include <string>

namespace tevro {

// Byte counts in binary units (1 КБ = 1024 bytes) with Russian unit words;
// zero is written as a number. Negative counts show as zero.
class ByteFormatter {
public:
    std::string string(std::int64_t bytes) const;
};

namespace Format {

// The one shared formatter, created once on first use; safe from any thread.
const ByteFormatter& byteFormatter();

// Shorthand for byteFormatter().string(bytes).
std::string bytes(std::int64_t bytes);

// A fraction (1.0 = complete) as "4.5%", "99%" or "100%".
std::string percent(double fraction);

// "42 с", "5 мин 3 с", "2 ч 0 мин", "3 д 4 ч"; "—" for nothing, NaN, infinity or negatives.
std::string duration(std::optional<double> seconds);

// "7:05" or "1:02:03"; "0:00" for negatives and non-finite values.
std::string clock(double seconds);

// The Russian name of a language code with its first letter in capitals
// ("eng" gives "Английский"); nothing for none, "" and "und".
std::optional<std::string> language(const std::optional<std::string>& code);

} // namespace Format
} // namespace tevro
