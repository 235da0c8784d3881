#include "tevro/shell/main_ui_state.h"

#include <fstream>

#include <QSignalSpy>

#include "tests/shell/shell_fixture.h"
#include "tests/support/damaged_files.h"
#include "tevro/core/storage.h"
#include "tevro/shell/window_opener.h"

using namespace tevro;

namespace {

TEST(MainUIState, NotifiesOnlyOnChangeButClosesOffersOnEveryFilterAssignment) {
    test::ensureWidgetsApp();
    test::TempDir dir;
    MainUIState ui(dir.path());
    int closed = 0;
    ui.setOffersCloser([&] { ++closed; });
    QSignalSpy filter(&ui, &MainUIState::filterChanged);
    QSignalSpy settings(&ui, &MainUIState::showSettingsChanged);
    QSignalSpy selection(&ui, &MainUIState::selectionChanged);
    ui.setFilter(TorrentFilter::all);
    EXPECT_EQ(filter.count(), 0);
    EXPECT_EQ(closed, 1);
    ui.setShowSettings(true);
    ui.setShowSettings(true);
    EXPECT_EQ(settings.count(), 1);
    EXPECT_EQ(closed, 3);
    ui.setShowSettings(false);
    EXPECT_EQ(closed, 3);
    ui.setSelection({"a"});
    ui.setSelection({"a"});
    EXPECT_EQ(selection.count(), 1);
}

TEST(MainUIState, PreferencesAreSavedOnEveryAssignmentAndReadAtStart) {
    test::ensureWidgetsApp();
    test::TempDir dir;
    test::writeAll(dir / "library.json",
                   R"({"layout": "table", "sort": "size", "transferDetailsCollapsed": true})");
    {
        MainUIState ui(dir.path());
        EXPECT_EQ(ui.preferences(),
                  (LibraryPreferences{LibraryLayout::table, LibrarySort::size, true}));
        std::filesystem::remove(dir / "library.json");
        QSignalSpy changed(&ui, &MainUIState::preferencesChanged);
        ui.setPreferences(ui.preferences()); // an equal value still notifies and writes
        EXPECT_EQ(changed.count(), 1);
        EXPECT_TRUE(std::filesystem::exists(dir / "library.json"));
        ui.toggleTransferDetails();
        ui.toggleTransferDetails();
        EXPECT_TRUE(ui.preferences().transferDetailsCollapsed);
        EXPECT_EQ(changed.count(), 3);
    }
    test::writeAll(dir / "library.json", R"({"layout": "mosaic"})");
    EXPECT_EQ(MainUIState(dir.path()).preferences(), LibraryPreferences{});
}

// Every damage of "library.json": the original survives, set aside or (when it
// cannot be opened) in place and never written over.
TEST(MainUIState, ADamagedLibraryFileIsNeverOverwritten) {
    test::ensureWidgetsApp();
    test::DamageTexts texts = {R"({"layout":"list","sort":"size","transferDetailsCollapsed":true})",
                               R"({"layout":"list","sort":7})",
                               R"({"layout":"list","sort":"size","zoom":2})"};
    for (test::Damage damage : test::allDamages()) {
        SCOPED_TRACE(test::damageName(damage));
        test::TempDir dir;
        std::filesystem::path file = dir / "library.json";
        std::string bytes = test::applyDamage(damage, file, texts);
        std::optional<MainUIState> ui;
        {
            std::optional<test::Unprivileged> nobody;
            if (damage == test::Damage::unreadable && !nobody.emplace().works())
                continue;
            ui.emplace(dir.path());
        }
        const FileCheck& check = ui->libraryCheck();
        EXPECT_TRUE(check.worthTelling());
        ui->setPreferences(LibraryPreferences{LibraryLayout::table, LibrarySort::name, false});
        if (damage == test::Damage::unreadable) {
            EXPECT_EQ(check.result, FileCheck::Result::unreadable);
            ::chmod(file.c_str(), 0644);
            EXPECT_EQ(test::readAll(file), bytes);
            continue;
        }
        ASSERT_EQ(check.result, FileCheck::Result::setAside);
        std::ifstream copy(check.copy, std::ios::binary);
        std::string start(bytes.size(), '\0');
        copy.read(start.data(), std::streamsize(start.size()));
        EXPECT_EQ(start, bytes);
        EXPECT_EQ(LibraryPreferences::load(file).layout, LibraryLayout::table);
        if (damage == test::Damage::unknownKeys) {
            EXPECT_EQ(ui->preferences().sort, LibrarySort::name);
        }
    }
}

TEST(MainUIState, RawValuesAreExact) {
    EXPECT_EQ(torrentFilterFromRaw("errors"), TorrentFilter::errors);
    EXPECT_EQ(torrentFilterFromRaw("Errors"), std::nullopt);
    EXPECT_EQ(detailTabFromRaw("info"), DetailTab::info);
    EXPECT_EQ(detailTabFromRaw(""), std::nullopt);
    for (TorrentFilter f : kAllTorrentFilters)
        EXPECT_EQ(torrentFilterFromRaw(rawValue(f)), f);
}

TEST(WindowOpener, SettingsSetTheFlagAndOpenMainOnceAWindowWasShown) {
    test::ensureWidgetsApp();
    test::TempDir dir;
    MainUIState ui(dir.path());
    WindowOpener opener(&ui);
    opener.open("settings");
    EXPECT_TRUE(ui.showSettings());
    std::vector<std::string> opened;
    opener.setAction([&](const std::string& id) { opened.push_back(id); });
    opener.open("settings");
    opener.open("player");
    opener.open("unknown");
    EXPECT_EQ(opened, (std::vector<std::string>{"main", "player", "unknown"}));
}

} // namespace
