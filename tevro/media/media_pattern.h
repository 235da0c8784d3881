#pragma once

// Regular expressions of the media logic: compiled once, then shared read-only
// across threads (QRegularExpression guards its compilation and keeps its JIT
// stacks per thread). \d, \w and case folding follow Unicode.

#include <optional>
#include <string_view>

#include <QRegularExpression>
#include <QString>
#include <QStringView>

namespace tevro::MediaPattern {

// Compiles now; a pattern that does not compile is a programming fault and
// stops the process.
QRegularExpression compile(const char* pattern, bool caseInsensitive);

// A decimal number written in ASCII digits, else nothing (other scripts'
// digits that \d also matches, or a value beyond int).
std::optional<int> parseDecimal(QStringView digits);

inline QString toQString(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

} // namespace tevro::MediaPattern
