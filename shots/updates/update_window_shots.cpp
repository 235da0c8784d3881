// Draws the update window in each phase: argv[1] is the output folder.

#include <filesystem>
#include <memory>

#include <QAbstractButton>
#include <QApplication>
#include <QTimer>
#include <QWidget>

#include "tevro/library/library_button_style.h"
#include "tevro/library/library_style.h"
#include "quorvel-kit/updates/application_updates.h"

namespace {

using namespace quorvel;

class ShownBackend : public UpdateBackend {
public:
    std::string identifier() const override { return "shots"; }
    UpdateSnapshot snapshot() const override { return current; }
    bool automaticallyChecksForUpdates() const override { return true; }
    void setAutomaticallyChecksForUpdates(bool) override {}
    std::expected<void, UpdateFailure> start() override { return {}; }
    void perform(UpdateAction) override {}

    void show(UpdateSnapshot snapshot) {
        current = std::move(snapshot);
        if (onChange)
            onChange(current);
    }
    UpdateSnapshot current{UpdatePhase::idle(), {UpdateAction::check}};
};

} // namespace

int main(int argc, char** argv) {
    if (argc < 2)
        return 2;
    QApplication app(argc, argv);
    // The host's look: the update window takes the application's style.
    tevro::LibraryStyle::apply(app);
    const std::filesystem::path out = argv[1];
    std::filesystem::create_directories(out);
    UserDefaults::setStandardFolder(out / ".defaults");
    UserDefaults::setStandardDomain("shots");

    const UpdateRelease release{"240", "2.4.0", UpdateSource::direct,
                                "• Видео начинает играть быстрее\n• Исправлена загрузка обложек\n"
                                "• Новые трекеры по умолчанию\n• Меньше нагрузка на диск при "
                                "проверке раздач\n• Исправлены редкие сбои при выходе"};
    const std::pair<const char*, UpdateSnapshot> states[] = {
        {"idle", {UpdatePhase::idle(), {UpdateAction::check}}},
        {"checking", {UpdatePhase::checking(), {UpdateAction::cancel}}},
        {"up-to-date", {UpdatePhase::upToDate(), {UpdateAction::check}}},
        {"available",
         {UpdatePhase::available(release),
          {UpdateAction::download, UpdateAction::later, UpdateAction::skip}}},
        {"downloading", {UpdatePhase::downloading(23'400'000, 61'800'000), {UpdateAction::cancel}}},
        {"extracting", {UpdatePhase::extracting(0.6), {}}},
        {"ready",
         {UpdatePhase::readyToInstall(release),
          {UpdateAction::installAndRelaunch, UpdateAction::later, UpdateAction::skip}}},
        {"installing", {UpdatePhase::installing(), {}}},
        {"installed", {UpdatePhase::installed(), {UpdateAction::check}}},
        {"failed-network",
         {UpdatePhase::failed(UpdateFailure::network), {UpdateAction::acknowledge}}},
        {"failed-verification",
         {UpdatePhase::failed(UpdateFailure::verification), {UpdateAction::acknowledge}}},
        {"unavailable", {UpdatePhase::failed(UpdateFailure::configuration), {}}},
    };

    // The application's button look, as its own update front passes it.
    const auto look = [](QAbstractButton* b) { tevro::LibraryButtonStyle::apply(b, false); };
    auto backend = std::make_shared<ShownBackend>();
    ApplicationUpdates front(
        backend, [] { return std::optional<std::string>("ru"); }, AppBundle());
    front.setButtonLook(look);
    front.start();
    front.showUpdates();
    for (const auto& [name, snapshot] : states) {
        backend->show(snapshot);
        app.processEvents();
        front.window()->grab().save(
            QString::fromStdString((out / (std::string("updates-") + name + ".png")).string()));
    }

    // A right-to-left language mirrors the column.
    auto arabic = std::make_shared<ShownBackend>();
    ApplicationUpdates rtl(
        arabic, [] { return std::optional<std::string>("ar"); }, AppBundle());
    rtl.setButtonLook(look);
    rtl.start();
    rtl.showUpdates();
    arabic->show(states[3].second);
    app.processEvents();
    rtl.window()->grab().save(QString::fromStdString((out / "updates-available-ar.png").string()));
    std::filesystem::remove_all(out / ".defaults");
    return 0;
}
