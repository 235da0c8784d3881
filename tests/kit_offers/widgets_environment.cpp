// The offer views need a widgets application, which must exist before any
// test makes a plain core application.

#include <QApplication>
#include <gtest/gtest.h>

namespace {

class WidgetsEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        if (QCoreApplication::instance())
            return;
        static int argc = 1;
        static char name[] = "kit_offers_tests";
        static char* argv[] = {name, nullptr};
        new QApplication(argc, argv);
    }
};

[[maybe_unused]] const auto* registered =
    ::testing::AddGlobalTestEnvironment(new WidgetsEnvironment);

} // namespace
