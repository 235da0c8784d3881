// The QApplication of the player's widget tests (offscreen platform, set by
// the test main), made before any test asks for a plain QCoreApplication.

#include <gtest/gtest.h>

#include "tests/player/window_rig.h"
#include "tests/support/playback/widget_app.h"

namespace {

class WidgetEnvironment : public ::testing::Environment {
public:
    void SetUp() override { tevro::playback::ensureWidgetApp(); }
    void TearDown() override { tevro::test::dropWindowRig(); }
};

[[maybe_unused]] auto* const environment =
    ::testing::AddGlobalTestEnvironment(new WidgetEnvironment);

} // namespace
