#include <clocale>
#include <cstdlib>

#include <gtest/gtest.h>

int main(int argc, char** argv) {
    // Before any thread: the locale is process-wide and mpv needs "." numbers.
    std::setlocale(LC_NUMERIC, "C");
    // Widgets under test need a platform even on a machine without a display.
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    setenv("TEVRO_SILENT", "1", 0);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
