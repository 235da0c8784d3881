#include "tevro/shell/application.h"

#include <charconv>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <utility>
#include <sys/socket.h>
#include <unistd.h>

#include <QApplication>
#include <QDesktopServices>
#include <QEvent>
#include <QSocketNotifier>
#include <QUrl>

#include "quorvel-kit/offers/quorvel_offers.h"
#include "tevro/core/storage.h"
#include "tevro/engine/torrent_engine.h"
#include "tevro/library/library_context.h"
#include "tevro/media/artwork_store.h"
#include "tevro/media/media_matcher.h"
#include "tevro/player/player_model.h"
#include "tevro/player/player_window.h"
#include "tevro/shell/app_delegate.h"
#include "tevro/settings/settings_screen.h"
#include "tevro/shell/app_updates.h"
#include "tevro/shell/automation_service.h"
#include "tevro/shell/control_service.h"
#include "tevro/shell/main_ui_state.h"
#include "tevro/shell/main_window.h"
#include "tevro/shell/sidebar_offers_state.h"
#include "tevro/shell/single_instance.h"
#include "tevro/shell/torrent_parts.h"
#include "tevro/shell/window_opener.h"
#include "tevro/torrent/file_manager.h"

namespace tevro {

namespace {

int gSignalPipe[2] = {-1, -1};

// The maker's offers service; test and development runs name a loopback one.
constexpr const char* kOffersEndpoint = "https://offers.quorvel.app/";

void onSignal(int) {
    char byte = 1;
    [[maybe_unused]] auto written = ::write(gSignalPipe[1], &byte, 1);
}

} // namespace

Application::Application(QObject* parent) : QObject(parent) {
    AppDelegate::Services services;
    services.startUpdates = [] { AppUpdates::controller().start(); };
    AppUpdates::setTerminate([this] { quit(); });
    services.engine = []() -> TorrentEngine& { return TorrentEngine::shared(); };
    services.hideWindows = [] {
        for (QWidget* w : QApplication::topLevelWidgets())
            w->hide();
    };
    services.artwork = [this] { return m_artwork.get(); };
    services.player = []() -> PlayerModel* { return &PlayerModel::shared(); };
    services.startAutomation = [this] {
        if (!m_automation)
            m_automation = std::make_unique<AutomationService>(
                engine(), ControlService::sources([this] { quit(); }), Storage::home());
        m_automation->start();
    };
    services.stopAutomation = [this] {
        if (m_automation)
            m_automation->stop();
    };
    services.startControlServer = [this](std::uint16_t port) {
        if (!m_control)
            m_control = std::make_unique<ControlService>(
                engine(), ControlService::sources([this] { quit(); }));
        m_control->start(port);
    };
    m_delegate = new AppDelegate(std::move(services), this);
}

Application::~Application() {
    // Whatever the rest of the exit does, no later launch starts beside it.
    if (m_instance)
        m_instance->keepLockUntilExit();
    // The event filter must not see windows that are being destroyed.
    MainWindow* main = std::exchange(m_main, nullptr);
    QWidget* player = std::exchange(m_player, nullptr);
    m_mainView = nullptr;
    delete main;
    delete player;
}

TorrentEngine& Application::engine() const {
    return TorrentEngine::shared();
}

MainUIState& Application::ui() const {
    return MainUIState::shared();
}

std::optional<pid_t> Application::takeRelaunchAfter() {
    const char* text = std::getenv("QUORVEL_RELAUNCH_AFTER");
    if (!text)
        return std::nullopt;
    std::string value = text;
    // Not for what this process starts in turn.
    unsetenv("QUORVEL_RELAUNCH_AFTER");
    pid_t pid = 0;
    auto [end, ec] = std::from_chars(value.data(), value.data() + value.size(), pid);
    if (ec != std::errc() || end != value.data() + value.size() || pid <= 0)
        return std::nullopt;
    return pid;
}

bool Application::start(const std::vector<std::string>& urls) {
    m_instance = std::make_unique<SingleInstance>(Storage::home());
    if (m_instance->claim(urls, takeRelaunchAfter()) == SingleInstance::Role::handedOff)
        return false;
    if (!m_instance->listen())
        std::fprintf(stderr, "tevro: later launches cannot reach this one: no local socket\n");
    connect(m_instance.get(), &SingleInstance::received, this,
            [this](const std::vector<std::string>& handed) {
                m_delegate->openURLs(handed);
                if (!AppDelegate::backgroundMode() || handed.empty())
                    openWindow("main");
            });

    QApplication::setQuitOnLastWindowClosed(false);
    TorrentEngine::Options options;
    options.reveal = FileManager::show;
    TorrentEngine::setSharedOptions(std::move(options));
    m_delegate->didFinishLaunching();
    // "library.json" is written, reported and retried like the engine's files,
    // and what its reading found is told with theirs.
    ui().setWriter([](const std::string& name, std::function<std::error_code()> write) {
        TorrentEngine::shared().writeDataFile(name, std::move(write));
    });
    if (ui().libraryCheck().worthTelling())
        engine().noteStartFinding(ui().libraryCheck().describe());

    ArtworkStore::Dependencies deps;
    deps.files = [](const std::string& id, ArtworkStore::FilesReply reply) {
        TorrentEngine::shared().files(id, [reply](std::vector<TorrentFile> files) {
            reply(files.empty() ? std::nullopt : std::optional(std::move(files)));
        });
    };
    deps.videos = [](const std::vector<TorrentFile>& files) { return MediaMatcher::videos(files); };
    deps.extractor = m_extractor;
    m_artwork = std::make_unique<ArtworkStore>(std::move(deps));
    LibraryContext::setEngine(&TorrentEngine::shared());
    LibraryContext::setArtworkStore(m_artwork.get());

    configureOffers();
    m_delegate->openURLs(urls);
    createWindows();
    openWindow("main");
    return true;
}

void Application::configureOffers() {
    quorvel::QuorvelOffers::shared().configure(quorvel::OffersConfiguration(
        "tevro", QUrl(QString::fromLatin1(kOffersEndpoint)), Storage::home() / "QuorvelKit", 20,
        false, false, [] { return std::string("ru"); }));
}

void Application::createWindows() {
    MainView::Parts parts;
    parts.offers = &SidebarOffersState::shared();
    parts.openWindow = [this](const std::string& id) { openWindow(id); };
    addTorrentParts(parts, engine(), ui(), &PlayerModel::shared());
    parts.settingsScreen = [this](QWidget* parent) -> QWidget* {
        auto* screen = new SettingsScreen(engine(), int(ui().settingsPage()), parent);
        connect(screen, &SettingsScreen::pageChosen, &ui(),
                [this](int page) { ui().setSettingsPage(SettingsPage(page)); });
        connect(&ui(), &MainUIState::settingsPageChanged, screen,
                [this, screen] { screen->setPage(int(ui().settingsPage())); });
        return screen;
    };
    m_main =
        new MainWindow(engine(), ui(), &PlayerModel::shared(), m_artwork.get(), std::move(parts));
    m_main->installEventFilter(this);
    m_mainView = m_main->view();
    m_mainView->installEventFilter(this);
    m_player = new PlayerWindow(PlayerModel::shared(), engine());
    m_player->setObjectName(QStringLiteral("player"));
    m_player->setWindowTitle(QStringLiteral("Плеер"));
    m_player->resize(PlayerWindow::kDefaultSize);
    m_player->installEventFilter(this);
    if (AppDelegate::backgroundMode()) {
        m_main->setWindowFlag(Qt::Tool);
        m_player->setWindowFlag(Qt::Tool);
    }
    // Ctrl+Q runs the orderly quit from every window.
    disconnect(m_main->action(QStringLiteral("Завершить Tevro")), nullptr, qApp, nullptr);
    connect(m_main->action(QStringLiteral("Завершить Tevro")), &QAction::triggered, this,
            &Application::quit);
    m_player->addActions(m_main->commandActions());
}

bool Application::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Show) {
        // A window shown stores how to open the others.
        WindowOpener::shared().setAction([this](const std::string& id) { openWindow(id); });
    }
    if (m_mainView && watched == m_mainView && event->type() == QEvent::Paint && !m_painted) {
        m_painted = true;
        QMetaObject::invokeMethod(this, &Application::firstPaint, Qt::QueuedConnection);
    }
    return QObject::eventFilter(watched, event);
}

void Application::openWindow(const std::string& identifier) {
    QWidget* window = identifier == "main"     ? static_cast<QWidget*>(m_main)
                      : identifier == "player" ? m_player
                                               : nullptr;
    if (!window)
        return;
    window->show();
    window->raise();
    window->activateWindow();
}

void Application::quit() {
    if (m_quitting)
        return;
    m_quitting = true;
    // A launch from now on waits for the lock and starts anew.
    if (m_instance)
        m_instance->close();
    m_delegate->willTerminate();
    // The library preferences are written at every change; writing them once
    // more at quit leaves all three files of the data folder in place.
    ui().savePreferences();
    QApplication::quit();
}

void Application::watchSignals() {
    if (gSignalPipe[0] >= 0)
        return;
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, gSignalPipe) != 0)
        return;
    auto* notifier = new QSocketNotifier(gSignalPipe[0], QSocketNotifier::Read, this);
    connect(notifier, &QSocketNotifier::activated, this, [this] {
        char byte;
        [[maybe_unused]] auto n = ::read(gSignalPipe[0], &byte, 1);
        quit();
    });
    struct sigaction action = {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
}

} // namespace tevro
