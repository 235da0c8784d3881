#pragma once

// The QApplication of a widget test program or benchmark.

namespace tevro::playback {

// Creates the QApplication unless one exists (fails when a plain
// QCoreApplication was made first), and puts LC_NUMERIC back to "C" as
// libmpv needs.
void ensureWidgetApp();

} // namespace tevro::playback
