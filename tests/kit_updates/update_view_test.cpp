#include <memory>

#include <QCheckBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

#include "quorvel-kit/updates/desktop_notices.h"
#include "quorvel-kit/updates/update_view.h"
#include "tests/kit_updates/scripted_backend.h"
#include "tests/support/temp_dir.h"

namespace tevro::test {
namespace {

using namespace quorvel;

struct ViewFixture : ::testing::Test {
    TempDir dir;
    std::shared_ptr<ScriptedBackend> backend = std::make_shared<ScriptedBackend>();
    QuorvelUpdates model{backend, UserDefaults("host", dir.path())};

    void SetUp() override {
        UserDefaults::setStandardFolder(dir.path());
        UserDefaults::setStandardDomain("host");
    }

    std::unique_ptr<UpdateView> view(std::optional<std::string> language = "ru",
                                     UpdateView::ButtonLook look = {}, AppBundle host = {}) {
        auto v = std::make_unique<UpdateView>(&model, language, look, host);
        v->resize(440, 540);
        v->show();
        return v;
    }

    static QString status(const UpdateView& v) {
        return v.findChild<QLabel*>("updates.status")->text();
    }

    // The visible action buttons in reading order: rows top to bottom, left to right.
    static std::vector<std::pair<QString, QString>> buttons(const UpdateView& v) {
        std::vector<std::pair<std::pair<int, int>, std::pair<QString, QString>>> found;
        for (QPushButton* b : v.findChildren<QPushButton*>()) {
            if (b->objectName().startsWith("updates.") && b->objectName() != "updates.notify" &&
                b->isVisible())
                found.push_back({{b->mapTo(&v, QPoint(0, 0)).y(), b->mapTo(&v, QPoint(0, 0)).x()},
                                 {b->objectName(), b->text()}});
        }
        std::sort(found.begin(), found.end(),
                  [](const auto& a, const auto& b) { return a.first < b.first; });
        std::vector<std::pair<QString, QString>> out;
        for (const auto& f : found)
            out.push_back(f.second);
        return out;
    }
};

TEST_F(ViewFixture, EachPhaseShowsItsStatusAndButtons) {
    model.start();
    auto v = view();
    const UpdateRelease r{"200", "2.0", UpdateSource::direct, "Новое"};
    struct Case {
        UpdateSnapshot snapshot;
        QString status;
        std::vector<std::pair<QString, QString>> buttons;
    };
    const Case cases[] = {
        {{UpdatePhase::idle(), {UpdateAction::check}},
         "Обновления",
         {{"updates.check", "Проверить обновления…"}}},
        {{UpdatePhase::checking(), {UpdateAction::cancel}},
         "Проверка…",
         {{"updates.cancel", "Отмена"}}},
        {{UpdatePhase::upToDate(), {UpdateAction::check}},
         "Установлена последняя версия",
         {{"updates.check", "Проверить обновления…"}}},
        {{UpdatePhase::available(r),
          {UpdateAction::skip, UpdateAction::download, UpdateAction::later}},
         "Доступно обновление",
         {{"updates.download", "Загрузить"},
          {"updates.later", "Позже"},
          {"updates.skip", "Пропустить версию"}}},
        {{UpdatePhase::downloading(10, 100), {UpdateAction::cancel}},
         "Загрузить",
         {{"updates.cancel", "Отмена"}}},
        {{UpdatePhase::extracting(0.5), {}}, "Подготовка…", {}},
        {{UpdatePhase::readyToInstall(r),
          {UpdateAction::later, UpdateAction::installAndRelaunch, UpdateAction::skip}},
         "Доступно обновление",
         {{"updates.installAndRelaunch", "Установить и перезапустить"},
          {"updates.later", "Позже"},
          {"updates.skip", "Пропустить версию"}}},
        {{UpdatePhase::installing(), {UpdateAction::retryTermination}},
         "Установка…",
         {{"updates.retryTermination", "Установить и перезапустить"}}},
        {{UpdatePhase::installed(), {UpdateAction::check}},
         "Готово",
         {{"updates.check", "Проверить обновления…"}}},
        {{UpdatePhase::failed(UpdateFailure::verification), {UpdateAction::acknowledge}},
         "Не удалось проверить подлинность обновления.",
         {{"updates.acknowledge", "Готово"}}},
        {{UpdatePhase::failed(UpdateFailure::network), {UpdateAction::acknowledge}},
         "Не удалось проверить обновления.",
         {{"updates.acknowledge", "Готово"}}},
        {{UpdatePhase::failed(UpdateFailure::configuration), {}}, "Обновления недоступны.", {}},
        {{UpdatePhase::failed(UpdateFailure::cannotOpenStore),
          {UpdateAction::acknowledge, UpdateAction::openAppStore, UpdateAction::check,
           UpdateAction::cancel}},
         "Не удалось проверить обновления.",
         {{"updates.openAppStore", "Открыть App Store"},
          {"updates.check", "Проверить обновления…"},
          {"updates.cancel", "Отмена"},
          {"updates.acknowledge", "Готово"}}},
    };
    for (const Case& c : cases) {
        backend->publish(c.snapshot);
        QCoreApplication::processEvents();
        EXPECT_EQ(status(*v), c.status);
        EXPECT_EQ(buttons(*v), c.buttons) << c.status.toStdString();
    }
}

TEST_F(ViewFixture, ReleaseNotesAndProgress) {
    auto v = view("en");
    auto* notes = v->findChild<QPlainTextEdit*>();
    auto* bar = v->findChild<QProgressBar*>();
    backend->publish({UpdatePhase::available({"1", "1.5", UpdateSource::direct, ""}), {}});
    EXPECT_TRUE(v->findChild<QLabel*>("updates.status")->isVisible());
    EXPECT_FALSE(notes->isVisible());
    EXPECT_FALSE(bar->isVisible());
    backend->publish({UpdatePhase::available({"1", "1.5", UpdateSource::direct, "Fixes"}), {}});
    EXPECT_TRUE(notes->isVisible());
    EXPECT_EQ(notes->toPlainText(), "Fixes");
    EXPECT_LE(notes->maximumHeight(), 180);

    for (std::optional<std::uint64_t> total :
         {std::optional<std::uint64_t>(), std::optional<std::uint64_t>(0)}) {
        backend->publish({UpdatePhase::downloading(5'000'000, total), {UpdateAction::cancel}});
        EXPECT_TRUE(bar->isVisible());
        EXPECT_EQ(bar->maximum(), 0); // indeterminate
        bool sizeShown = false;
        for (QLabel* label : v->findChildren<QLabel*>())
            sizeShown |= label->isVisible() && label->text() == "5.0 MB";
        EXPECT_TRUE(sizeShown);
    }
    backend->publish({UpdatePhase::downloading(150, 100), {UpdateAction::cancel}});
    EXPECT_EQ(bar->value(), bar->maximum());
    backend->publish({UpdatePhase::extracting(0.25), {}});
    EXPECT_EQ(bar->value() * 4, bar->maximum());
    backend->publish({UpdatePhase::upToDate(), {}});
    EXPECT_FALSE(bar->isVisible());
    EXPECT_EQ(v->findChild<QLabel*>("updates.status")->text(), "Up to date");
}

TEST_F(ViewFixture, ButtonsAndSwitchDriveTheModel) {
    model.start();
    auto v = view();
    backend->publish(availableSnapshot(release("9")));
    QTest::mouseClick(v->findChild<QPushButton*>("updates.later"), Qt::LeftButton);
    EXPECT_EQ(backend->performed, std::vector<UpdateAction>{UpdateAction::later});
    auto* automatic = v->findChild<QCheckBox*>("updates.automatic");
    EXPECT_EQ(automatic->text(), "Проверять автоматически");
    EXPECT_FALSE(automatic->isChecked());
    QTest::mouseClick(automatic, Qt::LeftButton);
    EXPECT_TRUE(backend->automatic);
    // A backend that keeps its own value is shown truthfully.
    backend->keepsOwnSwitch = true;
    QTest::mouseClick(automatic, Qt::LeftButton);
    EXPECT_TRUE(automatic->isChecked());
}

// A download reports progress many times a second: the button being pressed
// must still be there when the mouse is released.
TEST_F(ViewFixture, CancelCanBeClickedWhileTheDownloadRuns) {
    model.start();
    auto v = view();
    backend->publish({UpdatePhase::downloading(0, 1000), {UpdateAction::cancel}});
    QPushButton* cancel = v->findChild<QPushButton*>("updates.cancel");
    ASSERT_TRUE(cancel && cancel->isVisible());
    QTest::mousePress(cancel, Qt::LeftButton);
    for (std::uint64_t received = 100; received <= 500; received += 100)
        backend->publish({UpdatePhase::downloading(received, 1000), {UpdateAction::cancel}});
    QCoreApplication::processEvents();
    EXPECT_EQ(v->findChild<QPushButton*>("updates.cancel"), cancel);
    QTest::mouseRelease(cancel, Qt::LeftButton);
    EXPECT_EQ(backend->performed, std::vector<UpdateAction>{UpdateAction::cancel});
}

TEST_F(ViewFixture, EveryButtonTakesTheHostsLook) {
    auto v = view("ru", [](QAbstractButton* b) { b->setProperty("hostLook", true); });
    backend->publish(availableSnapshot(release("9")));
    const auto all = v->findChildren<QPushButton*>();
    EXPECT_EQ(all.size(), 10); // nine actions and the notify button
    for (QPushButton* b : all)
        EXPECT_TRUE(b->property("hostLook").toBool()) << b->objectName().toStdString();
}

// Notices are posted once the user asked for them, which only an installed copy lets them do.
TEST_F(ViewFixture, NotifyAsksForNoticesInAnInstalledCopy) {
    auto outside = view("ru", {}, AppBundle(dir / "nowhere"));
    QTest::mouseClick(outside->findChild<QPushButton*>("updates.notify"), Qt::LeftButton);
    EXPECT_FALSE(DesktopNotices::authorized());
    writeAll(dir / "Info.json", R"({"CFBundleIdentifier":"org.tevro.test"})");
    auto installed = view("ru", {}, AppBundle(dir.path()));
    auto* notify = installed->findChild<QPushButton*>("updates.notify");
    EXPECT_EQ(notify->text(), "Уведомлять меня");
    QTest::mouseClick(notify, Qt::LeftButton);
    EXPECT_TRUE(DesktopNotices::authorized());
}

TEST_F(ViewFixture, RightToLeftLanguagesMirrorTheColumn) {
    EXPECT_EQ(view("ar")->layoutDirection(), Qt::RightToLeft);
    EXPECT_EQ(view("he")->layoutDirection(), Qt::RightToLeft);
    EXPECT_EQ(view("ru")->layoutDirection(), Qt::LeftToRight);
}

} // namespace
} // namespace tevro::test
