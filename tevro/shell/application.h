#pragma once

// The running application: the single-instance hand-off, the delegate's
// start-up, the windows "main" and "player" behind the window opener, the
// artwork store wired to the engine, and the orderly quit on Ctrl+Q, SIGTERM
// and SIGINT. Closing the last window does not quit.

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <QObject>
#include <QPointer>
#include <QWidget>

#include <sys/types.h>

#include "tevro/shell/main_window.h"

namespace tevro {

class AppDelegate;
class ArtworkStore;
class AutomationService;
class ControlService;
class MainUIState;

class PlayerModel;
class SingleInstance;
class TorrentEngine;

class Application : public QObject {
    Q_OBJECT
public:
    explicit Application(QObject* parent = nullptr);
    ~Application() override;

    // Hands `urls` to the instance that holds the data folder's lock and
    // returns false; otherwise (this process took the lock) starts the
    // services, queues `urls` and shows "main". Started by an update to replace
    // a process (QUORVEL_RELAUNCH_AFTER), it first waits for that one to quit.
    bool start(const std::vector<std::string>& urls);
    // The shutdown order, then the event loop ends; runs once.
    void quit();
    // The frame extractor for covers, when it is not beside the executable
    // (programs that run the application from another folder); before start().
    void setFrameExtractor(std::filesystem::path path) { m_extractor = std::move(path); }
    // SIGTERM and SIGINT run quit() on the main thread.
    void watchSignals();

    // Opens "main" or "player" (the window opener's action).
    void openWindow(const std::string& identifier);

    AppDelegate& delegate() const { return *m_delegate; }
    TorrentEngine& engine() const;
    MainUIState& ui() const;
    ArtworkStore* artwork() const { return m_artwork.get(); }
    MainWindow* mainWindow() const { return m_main; }
    QWidget* playerWindow() const { return m_player; }

signals:
    // The main window painted for the first time.
    void firstPaint();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // The offers service, once, before any window exists.
    static void configureOffers();
    // The process an update replaces, from QUORVEL_RELAUNCH_AFTER, which is
    // then removed from the environment.
    static std::optional<pid_t> takeRelaunchAfter();
    void createWindows();

    std::unique_ptr<SingleInstance> m_instance;
    AppDelegate* m_delegate = nullptr;
    std::unique_ptr<ArtworkStore> m_artwork;
    std::unique_ptr<AutomationService> m_automation;
    std::unique_ptr<ControlService> m_control;
    // Top-level windows without a parent: deleted here.
    MainWindow* m_main = nullptr;
    QWidget* m_player = nullptr;
    QWidget* m_mainView = nullptr;
    std::filesystem::path m_extractor;
    bool m_painted = false;
    bool m_quitting = false;
};

} // namespace tevro
