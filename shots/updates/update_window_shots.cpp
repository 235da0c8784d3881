// Draws the update window in each phase: argv[1] is the output folder.

#include <filesystem>
#include <memory>

#include <QApplication>
#include <QPalette>
#include <QStyleFactory>
#include <QTimer>
#include <QWidget>

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

// The application's dark look, as the host sets it.
void darkTheme(QApplication& app) {
    app.setStyle(QStyleFactory::create("Fusion"));
    QPalette p;
    const QColor raised = QColor::fromRgbF(0.12f, 0.12f, 0.12f);
    p.setColor(QPalette::Window, Qt::black);
    p.setColor(QPalette::WindowText, Qt::white);
    p.setColor(QPalette::Base, QColor::fromRgbF(0.08f, 0.08f, 0.08f));
    p.setColor(QPalette::Text, Qt::white);
    p.setColor(QPalette::Button, raised);
    p.setColor(QPalette::ButtonText, Qt::white);
    p.setColor(QPalette::Highlight, QColor::fromRgbF(0.64f, 0.91f, 0.73f));
    p.setColor(QPalette::HighlightedText, Qt::black);
    p.setColor(QPalette::PlaceholderText, QColor::fromRgbF(0.64f, 0.67f, 0.73f));
    app.setPalette(p);
    QFont font("DejaVu Sans");
    font.setPixelSize(13);
    app.setFont(font);
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2)
        return 2;
    QApplication app(argc, argv);
    darkTheme(app);
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

    auto backend = std::make_shared<ShownBackend>();
    ApplicationUpdates front(
        backend, [] { return std::optional<std::string>("ru"); }, AppBundle());
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
    rtl.start();
    rtl.showUpdates();
    arabic->show(states[3].second);
    app.processEvents();
    rtl.window()->grab().save(QString::fromStdString((out / "updates-available-ar.png").string()));
    std::filesystem::remove_all(out / ".defaults");
    return 0;
}
