#include <QMenu>
#include <QMenuBar>
#include <QPushButton>

#include "quorvel-kit/updates/update_text.h"
#include "tests/shell/shell_fixture.h"
#include "tevro/library/library_button_style.h"
#include "tevro/shell/app_delegate.h"
#include "tevro/shell/app_updates.h"
#include "tevro/shell/main_window.h"

namespace tevro {
namespace {

class AppUpdatesTest : public test::ShellFixture {};

TEST_F(AppUpdatesTest, StartsBeforeTheEngineAndSitsAfterAbout) {
    AppDelegate::Services services;
    std::vector<std::string> steps;
    services.startUpdates = [&] {
        steps.push_back("updates");
        AppUpdates::controller().start();
    };
    services.engine = [&]() -> TorrentEngine& {
        steps.push_back("engine");
        return *engine;
    };
    AppDelegate delegate(services);
    delegate.didFinishLaunching();
    EXPECT_EQ(steps, (std::vector<std::string>{"updates", "engine"}));
    // A build without an information file is not a copy that updates itself.
    EXPECT_EQ(AppUpdates::controller().model().snapshot().phase,
              quorvel::UpdatePhase::failed(quorvel::UpdateFailure::configuration));
    EXPECT_EQ(&AppUpdates::controller(), &AppUpdates::controller());

    MainWindow window(*engine, *ui, nullptr, nullptr, {});
    QMenu* app = window.menuBar()->actions().front()->menu();
    ASSERT_NE(app, nullptr);
    const auto items = app->actions();
    ASSERT_GE(items.size(), 2);
    EXPECT_EQ(items[0]->text(), "О программе Tevro");
    EXPECT_EQ(items[1]->objectName(), "quorvel.updates");
    EXPECT_EQ(items[1]->text(), "Проверить обновления…");
    items[1]->trigger();
    ASSERT_NE(AppUpdates::controller().window(), nullptr);
    EXPECT_EQ(AppUpdates::controller().window()->windowTitle(), "Обновления");
    // Its buttons have the look of every other window's.
    const auto buttons = AppUpdates::controller().window()->findChildren<QPushButton*>();
    EXPECT_FALSE(buttons.isEmpty());
    for (QPushButton* button : buttons)
        EXPECT_EQ(button->style(), LibraryButtonStyle::shared(false))
            << button->objectName().toStdString();
    AppUpdates::controller().window()->close();
}

} // namespace
} // namespace tevro
