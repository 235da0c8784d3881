#pragma once

// The order in which the long-lived services start after launch and stop at
// quit, and the hand-over of links and files to the engine's pending opens.
// Every call is on the main thread.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <QObject>

namespace tevro {

class ArtworkStore;
class PlayerModel;
class TorrentEngine;

class AppDelegate : public QObject {
    Q_OBJECT
public:
    // What the delegate starts and stops; a part that is not built yet stays unset.
    struct Services {
        // Starts the update controller (first, before the engine).
        std::function<void()> startUpdates;
        // Creates the engine on first call.
        std::function<TorrentEngine&()> engine;
        std::function<void()> startAutomation;
        std::function<void()> stopAutomation;
        std::function<void(std::uint16_t port)> startControlServer;
        // Hides every window of the application.
        std::function<void()> hideWindows;
        // The artwork store and the player, when they exist.
        std::function<ArtworkStore*()> artwork;
        std::function<PlayerModel*()> player;
    };

    explicit AppDelegate(Services services, QObject* parent = nullptr);

    // TEVRO_BACKGROUND is exactly "1": the windows stay out of the task bar.
    static bool backgroundMode();
    // An optional sign and decimal digits only, within 0...65535 at every
    // step; with "-" only zero.
    static std::optional<std::uint16_t> parseControlPort(std::string_view text);
    // A command-line argument as a pending-open URL: an argument that begins
    // with "magnet:", "file://", "http://" or "https://" as given, anything
    // else a local path made absolute against `workingFolder` and written as
    // a file URL.
    static std::string urlFromArgument(const std::string& argument,
                                       const std::string& workingFolder);

    // Updates, engine, automation server, then the control server on TEVRO_CONTROL_PORT.
    void didFinishLaunching();
    // Appends the URLs in order, unchecked, in one change of the pending opens.
    void openURLs(const std::vector<std::string>& urls);
    // Automation server, windows, frame extractor, player, engine; runs once.
    void willTerminate();

signals:
    // After each step of willTerminate: "automation", "windows", "artwork",
    // "player", "engine".
    void shutdownStep(const QString& step);

private:
    Services m_services;
    bool m_terminated = false;
};

} // namespace tevro
