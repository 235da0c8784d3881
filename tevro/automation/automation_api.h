#pragma once

// Carries out one automation call: validates it against the catalogue,
// refuses it while another call runs or the engine has shut down, refreshes
// the torrent list and runs one of the twelve tools through the services the
// window uses. Results are JSON values, the state document as its written
// text; failures are the client's messages.
// Main thread only.

#include <expected>
#include <functional>
#include <string>

#include <QObject>

#include "tevro/automation/automation_error.h"
#include "tevro/automation/automation_result.h"
#include "tevro/core/app_settings.h"
#include "tevro/core/json_value.h"
#include "tevro/core/torrent_preview.h"

namespace tevro {

class CommandLayer;
class TorrentEngine;

class AutomationAPI : public QObject {
    Q_OBJECT
public:
    static constexpr const char* kBusy = "Another command is in progress; read state and retry.";

    using Result = std::expected<AutomationResult, std::string>;
    using Done = std::function<void(Result)>;

    explicit AutomationAPI(CommandLayer& commands, QObject* parent = nullptr);

    // Runs the tool; `done` is called once on the main thread, unless this
    // object is destroyed first.
    void call(const std::string& name, const Json& arguments, Done done);
    bool busy() const { return m_busy; }

    // The twelve settings keys automation reads and writes.
    static Json settings(const AppSettings& settings);
    // An absolute path, "." and ".." resolved by name, no trailing slash;
    // refused when relative or holding control or format characters.
    static std::expected<std::string, AutomationError> absolutePath(const std::string& path);
    // The shortest decimal text that reads back as `value`, always with a
    // fractional part ("2.0", "0.25").
    static std::string decimalText(double value);
    // Creates the folder as needed; refused when it cannot be written.
    static std::expected<void, AutomationError> prepareDirectory(const std::string& folder);

private:
    void run(const std::string& name, const Json& arguments, const Done& done);
    // A regular, readable ".torrent" file, else why not (no reading yet).
    static std::expected<void, AutomationError> torrentFileCheck(const std::string& path);
    // The file's preview, read on the engine queue; `done` on the main thread.
    void preview(const std::string& path,
                 std::function<void(std::expected<TorrentPreview, AutomationError>)> done);
    void addTorrent(const Json& arguments, const Done& done);
    Result updateSettings(const Json& arguments);
    Result setTorrentLimits(const std::string& id, const Json& arguments);
    Result removeTorrent(const std::string& id, const Json& arguments);
    void details(const std::string& id, const Done& done);
    void setFilePriority(const std::string& id, const Json& arguments, const Done& done);
    void playFile(const std::string& id, const Json& arguments, const Done& done);
    Result controlPlayer(const Json& arguments);

    TorrentEngine& engine() const;

    CommandLayer& m_commands;
    bool m_busy = false;
};

} // namespace tevro
