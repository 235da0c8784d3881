#pragma once

// A real engine on a temporary data folder (loopback-only settings) and the
// widgets application the settings screen needs.

#include <filesystem>
#include <memory>
#include <string>

#include <QString>
#include <QWidget>

#include <gtest/gtest.h>

#include "tests/support/temp_dir.h"
#include "tevro/engine/torrent_engine.h"

namespace tevro::test {

void ensureSettingsApp();

// Counts the saves of one file in a folder (each save renames a temporary
// file into place).
class SaveCounter {
public:
    SaveCounter(const std::filesystem::path& folder, std::string name);
    ~SaveCounter();
    // Saves seen so far.
    int count();

private:
    int m_fd = -1;
    std::string m_name;
    int m_count = 0;
};

class SettingsTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    TorrentEngine::Options options();
    // The session's current value of a libtorrent integer setting.
    std::int64_t sessionSetting(const std::string& name);

    // The child of `root` with this object name; fails when there is none.
    template <class T> T* child(QWidget& root, const QString& name) {
        auto* w = root.template findChild<T*>(name);
        EXPECT_NE(w, nullptr) << name.toStdString();
        return w;
    }

    TempDir dir;
    int port = 0;
    std::unique_ptr<TorrentEngine> engine;
};

} // namespace tevro::test
