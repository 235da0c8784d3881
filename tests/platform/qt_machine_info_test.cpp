#include "tevro/platform/qt_machine_info.h"

#include <cstdlib>

#include <gtest/gtest.h>

#include "tevro/core/app_settings.h"

using namespace tevro;

TEST(QtMachineInfo, ReadsLocaleZoneAndFolders) {
    setenv("LC_ALL", "ru_RU.UTF-8", 1);
    setenv("TZ", "Europe/Moscow", 1);
    setenv("HOME", "/home/qt-tester", 1);
    setenv("XDG_DATA_HOME", "/home/qt-tester/.local/share", 1);
    auto info = std::make_shared<QtMachineInfo>();
    EXPECT_EQ(info->regionCode(), "RU");
    EXPECT_EQ(info->timeZoneId(), "Europe/Moscow");
    EXPECT_EQ(info->homePath(), "/home/qt-tester");
    EXPECT_EQ(info->dataLocation(), "/home/qt-tester/.local/share");
    for (int i = 0; i < 100; ++i)
        EXPECT_LE(info->randomUniform(3), 3u);

    auto old = setMachine(info);
    AppSettings s;
    EXPECT_EQ(s.profile, NetworkProfile::russia);
    EXPECT_GE(s.listenPort, 20000);
    EXPECT_LE(s.listenPort, 60000);
    setMachine(old);
}
