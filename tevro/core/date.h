#pragma once

// Points in time as the application's JSON files store them: seconds since
// 2001-01-01 00:00:00 UTC.

#include <chrono>
#include <cmath>
#include <optional>

namespace tevro {

using Date = std::chrono::system_clock::time_point;

inline constexpr double kUnixToReferenceSeconds = 978307200.0;

inline double toReferenceSeconds(Date d) {
    using namespace std::chrono;
    return duration<double>(d.time_since_epoch()).count() - kUnixToReferenceSeconds;
}

inline Date fromReferenceSeconds(double s) {
    using namespace std::chrono;
    return Date(
        duration_cast<system_clock::duration>(duration<double>(s + kUnixToReferenceSeconds)));
}

// As above for a number read from a file: none when it is not finite or lies
// beyond what a Date holds (about 292 years either side of 1970).
inline std::optional<Date> dateFromReferenceSeconds(double s) {
    using namespace std::chrono;
    if (!std::isfinite(s))
        return std::nullopt;
    const double unixSeconds = s + kUnixToReferenceSeconds;
    const double limit = duration<double>(system_clock::duration::max()).count() * 0.99;
    if (!(unixSeconds > -limit && unixSeconds < limit))
        return std::nullopt;
    return fromReferenceSeconds(s);
}

} // namespace tevro
