#pragma once

// The settings text keeps one value per line, so a folder path with a line
// break cannot be stored or handed to the engine; the sheets refuse it.

#include <optional>

#include <QString>

namespace tevro {

// The message for a folder that cannot be used, or nothing when it can.
std::optional<QString> savePathProblem(const QString& path);

} // namespace tevro
