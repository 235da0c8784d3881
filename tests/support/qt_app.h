#pragma once

// Qt event-loop helpers for tests of main-thread objects.

#include <chrono>
#include <functional>

namespace tevro::test {

// A QCoreApplication for the whole test program, created on first use
// (unless the program already made an application of its own).
void ensureQtApp();

// Processes events until `done` holds or the time runs out; returns `done()`.
bool waitUntil(const std::function<bool()>& done,
               std::chrono::milliseconds timeout = std::chrono::seconds(10));

// Processes events for the given time.
void spinFor(std::chrono::milliseconds time);

} // namespace tevro::test
