#pragma once

// Points in time as the application's JSON files store them: seconds since
// 2001-01-01 00:00:00 UTC.

#include <chrono>

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

} // namespace tevro
