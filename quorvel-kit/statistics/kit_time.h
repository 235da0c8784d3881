#pragma once

// Instants, local day numbers and the time zone the kit counts days in.

#include <cstdint>
#include <optional>
#include <string>

namespace quorvel {

// Seconds since 1970-01-01 00:00:00 UTC.
using Date = double;

// Seconds from 1970 to 2001-01-01 00:00:00 UTC, the epoch of stored dates.
inline constexpr double kReferenceDateOffset = 978'307'200.0;

// The present instant from the system clock.
Date systemNow();

// A time zone: the system's, following its changes, or a fixed offset.
class TimeZone {
public:
    static TimeZone current() { return TimeZone(); }
    static TimeZone fixed(int offsetSeconds) { return TimeZone(offsetSeconds); }

    // Offset from GMT in seconds at `date`.
    int offsetAt(Date date) const;
    // floor((seconds since 1970 + offset at that instant) / 86400).
    int64_t dayNumber(Date date) const;

private:
    TimeZone() = default;
    explicit TimeZone(int offset) : m_fixed(offset) {}
    std::optional<int> m_fixed;
};

// "YYYY-MM-DD" of the calendar day `day` days after 1970-01-01.
std::string localDateText(int64_t day);

// "2024-05-01T09:30:00.250Z": milliseconds, UTC.
std::string isoTimestamp(Date date);

} // namespace quorvel
