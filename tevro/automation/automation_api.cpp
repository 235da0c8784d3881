#include "tevro/automation/automation_api.h"

#include <algorithm>
#include <charconv>
#include <filesystem>
#include <set>
#include <system_error>

#include <sys/stat.h>
#include <unistd.h>

#include <QPointer>

#include "tevro/automation/automation_catalog.h"
#include "tevro/automation/command_layer.h"
#include "tevro/core/file_priority.h"
#include "tevro/core/media_kind.h"
#include "tevro/core/peer_info.h"
#include "tevro/core/torrent_file.h"
#include "tevro/core/tracker_info.h"
#include "tevro/engine/torrent_engine.h"
#include "tevro/player/mpv_core.h"
#include "tevro/player/player_model.h"

namespace tevro {

namespace {

std::unexpected<std::string> failure(std::string message) {
    return std::unexpected(std::move(message));
}

Json accepted() {
    return Json{{"accepted", true}};
}

// A whole number of the arguments within [low, high], range-checked before
// any cast; the catalogue has checked it already, so a miss is a catalogue fault.
std::expected<std::int64_t, std::string> integerArgument(const Json& arguments, const char* key,
                                                         std::int64_t low, std::int64_t high) {
    auto it = arguments.find(key);
    std::optional<std::int64_t> value =
        it == arguments.end() ? std::nullopt : json::as<std::int64_t>(*it);
    if (!value || *value < low || *value > high)
        return failure(std::string("Invalid arguments.") + key);
    return *value;
}

std::expected<std::vector<int>, std::string> indices(const Json& arguments) {
    std::vector<int> out;
    auto it = arguments.find("files");
    if (it == arguments.end() || !it->is_array())
        return failure("Invalid arguments.files");
    for (const Json& element : *it) {
        auto value = json::as<std::int64_t>(element);
        if (!value || *value < 0 || *value > INT32_MAX)
            return failure("Invalid arguments.files[]");
        out.push_back(static_cast<int>(*value));
    }
    return out;
}

bool boolArgument(const Json& arguments, const char* key, bool fallback) {
    auto it = arguments.find(key);
    return it != arguments.end() && it->is_boolean() ? it->get<bool>() : fallback;
}

std::string stringArgument(const Json& arguments, const char* key) {
    auto it = arguments.find(key);
    return it != arguments.end() && it->is_string() ? it->get<std::string>() : std::string();
}

} // namespace

AutomationAPI::AutomationAPI(CommandLayer& commands, QObject* parent)
    : QObject(parent), m_commands(commands) {}

TorrentEngine& AutomationAPI::engine() const {
    return m_commands.engine();
}

void AutomationAPI::call(const std::string& name, const Json& arguments, Done done) {
    if (auto valid = AutomationCatalog::validate(name, arguments); !valid)
        return done(failure(valid.error().message));
    if (m_busy)
        return done(failure(kBusy));
    m_busy = true;
    QPointer<AutomationAPI> self(this);
    Done finish = [self, done = std::move(done)](Result result) {
        if (!self)
            return;
        self->m_busy = false;
        done(std::move(result));
    };
    if (engine().isShutDown())
        return finish(failure("Tevro is shutting down."));
    engine().refreshForAutomation([self, name, arguments, finish] {
        if (!self)
            return;
        auto id = arguments.find("id");
        if (id != arguments.end() && id->is_string() &&
            !self->engine().torrent(id->get<std::string>()))
            return finish(failure("Torrent not found: " + id->get<std::string>()));
        try {
            self->run(name, arguments, finish);
        } catch (const std::exception& e) {
            // Only a value the catalogue should have refused gets here.
            finish(failure(e.what()));
        }
    });
}

void AutomationAPI::run(const std::string& name, const Json& arguments, const Done& done) {
    std::string id = stringArgument(arguments, "id");
    if (name == "get_state")
        return done(AutomationResult::encoded(m_commands.stateText()));
    if (name == "get_torrent_details")
        return details(id, done);
    if (name == "preview_torrent") {
        auto path = absolutePath(stringArgument(arguments, "path"));
        if (!path)
            return done(failure(path.error().message));
        return preview(*path, [done](std::expected<TorrentPreview, AutomationError> found) {
            if (!found)
                return done(failure(found.error().message));
            done(Json(*found));
        });
    }
    if (name == "add_torrent")
        return addTorrent(arguments, done);
    if (name == "torrent_action") {
        std::string action = stringArgument(arguments, "action");
        if (action == "resume")
            engine().resume({id});
        else if (action == "pause")
            engine().pause({id});
        else
            engine().action(action, {id});
        return done(accepted());
    }
    if (name == "set_file_priority")
        return setFilePriority(id, arguments, done);
    if (name == "set_torrent_limits")
        return done(setTorrentLimits(id, arguments));
    if (name == "remove_torrent")
        return done(removeTorrent(id, arguments));
    if (name == "get_settings")
        return done(settings(engine().settings()));
    if (name == "update_settings")
        return done(updateSettings(arguments));
    if (name == "play_file")
        return playFile(id, arguments, done);
    if (name == "control_player")
        return done(controlPlayer(arguments));
    done(failure("Unknown tool."));
}

void AutomationAPI::details(const std::string& id, const Done& done) {
    Json torrent = *engine().torrent(id);
    QPointer<AutomationAPI> self(this);
    engine().files(id, [self, id, torrent, done](std::vector<TorrentFile> files) {
        if (!self)
            return;
        Json result = {{"torrent", torrent}, {"files", files}};
        self->engine().trackers(id, [self, id, result, done](std::vector<TrackerInfo> trackers) {
            if (!self)
                return;
            Json withTrackers = result;
            withTrackers["trackers"] = trackers;
            self->engine().peers(id, [withTrackers, done](std::vector<PeerInfo> peers) {
                Json full = withTrackers;
                full["peers"] = peers;
                done(std::move(full));
            });
        });
    });
}

void AutomationAPI::setFilePriority(const std::string& id, const Json& arguments,
                                    const Done& done) {
    auto requested = indices(arguments);
    if (!requested)
        return done(failure(requested.error()));
    auto priority = integerArgument(arguments, "priority", 0, 7);
    auto level = priority ? filePriorityFromRaw(*priority) : std::nullopt;
    if (!level)
        return done(failure("Invalid arguments.priority"));
    QPointer<AutomationAPI> self(this);
    engine().files(id, [self, id, files = *requested, level, done](std::vector<TorrentFile> list) {
        if (!self)
            return;
        std::set<std::int64_t> usable;
        for (const TorrentFile& f : list)
            if (!f.pad)
                usable.insert(f.i);
        for (int index : files)
            if (!usable.contains(index))
                return done(failure("Unknown or padding file index."));
        self->engine().setPriority(id, files, *level);
        done(accepted());
    });
}

void AutomationAPI::addTorrent(const Json& arguments, const Done& done) {
    std::string folder = arguments.contains("save_path") ? stringArgument(arguments, "save_path")
                                                         : engine().settings().downloadDirectory;
    auto savePath = absolutePath(folder);
    if (!savePath)
        return done(failure(savePath.error().message));
    bool paused = boolArgument(arguments, "paused", true);
    bool sequential = boolArgument(arguments, "sequential", false);
    std::string source = stringArgument(arguments, "source");
    auto reply = [done](const std::expected<AddResult, EngineError>& added) {
        if (!added)
            return done(failure(added.error().message));
        done(Json{{"id", added->id}, {"duplicate", added->duplicate}});
    };

    if (source.starts_with("magnet:")) {
        if (arguments.contains("files"))
            return done(
                failure("Magnet metadata is not available yet. Add it first, then select files."));
        if (auto ready = prepareDirectory(*savePath); !ready)
            return done(failure(ready.error().message));
        return reply(engine().addMagnet(source, *savePath, false, paused, sequential));
    }
    auto file = absolutePath(source);
    if (!file)
        return done(failure(file.error().message));
    if (auto usable = torrentFileCheck(*file); !usable)
        return done(failure(usable.error().message));
    std::optional<std::vector<std::int64_t>> requested;
    if (arguments.contains("files")) {
        auto listed = indices(arguments);
        if (!listed)
            return done(failure(listed.error()));
        requested.emplace(listed->begin(), listed->end());
    }
    if (auto ready = prepareDirectory(*savePath); !ready)
        return done(failure(ready.error().message));
    // Reading and adding run on the engine queue, so a large or hostile file
    // never holds the window; the file is read a second time only to map
    // the chosen files to priorities.
    QPointer<AutomationAPI> self(this);
    auto add = [self, file = *file, savePath = *savePath, paused, sequential, reply,
                done](std::optional<std::vector<int>> priorities) {
        if (!self)
            return;
        self->engine().addTorrent(file, savePath, std::move(priorities), paused, sequential, reply);
    };
    if (!requested)
        return add(std::nullopt);
    preview(*file, [self, add, done,
                    requested = *requested](std::expected<TorrentPreview, AutomationError> found) {
        if (!self)
            return;
        if (!found)
            return done(failure(found.error().message));
        std::set<std::int64_t> usable;
        std::vector<TorrentPreview::File> files =
            found->files.value_or(std::vector<TorrentPreview::File>{});
        for (const auto& f : files)
            if (!f.pad)
                usable.insert(f.i);
        std::set<std::int64_t> wanted(requested.begin(), requested.end());
        if (!std::includes(usable.begin(), usable.end(), wanted.begin(), wanted.end()))
            return done(failure("Unknown or padding file index."));
        std::vector<int> priorities;
        for (const auto& f : files)
            priorities.push_back(wanted.contains(f.i) ? rawValue(FilePriority::normal)
                                                      : rawValue(FilePriority::skip));
        add(std::move(priorities));
    });
}

AutomationAPI::Result AutomationAPI::setTorrentLimits(const std::string& id,
                                                      const Json& arguments) {
    if (arguments.size() < 2)
        return failure("Provide at least one limit.");
    TorrentStatus status = *engine().torrent(id);
    auto keep = [](std::int64_t value) { return std::max<std::int64_t>(value, 0); };
    std::int64_t limits[4] = {keep(status.downloadLimit) / 1024, keep(status.uploadLimit) / 1024,
                              keep(status.connectionsLimit), keep(status.uploadsLimit)};
    const char* keys[4] = {"download_kib", "upload_kib", "connections", "upload_slots"};
    for (int i = 0; i < 4; ++i) {
        if (!arguments.contains(keys[i]))
            continue;
        auto value =
            integerArgument(arguments, keys[i], 0, i < 2 ? CommandLayer::kMaxLimitKiB : INT32_MAX);
        if (!value)
            return failure(value.error());
        limits[i] = *value;
    }
    if (auto set = m_commands.setTorrentLimits(id, limits[0], limits[1], limits[2], limits[3]);
        !set)
        return failure("Invalid arguments");
    return accepted();
}

AutomationAPI::Result AutomationAPI::removeTorrent(const std::string& id, const Json& arguments) {
    bool deleteFiles = boolArgument(arguments, "delete_files", false);
    if (deleteFiles) {
        auto confirm = arguments.find("confirm_name");
        if (confirm == arguments.end() || !confirm->is_string() ||
            confirm->get<std::string>() != engine().torrent(id)->name)
            return failure("Deleting data requires confirm_name matching the torrent name.");
    }
    PlayerModel* player = m_commands.player();
    if (player && player->item() && player->item()->torrentID == id)
        player->stop();
    engine().remove({id}, deleteFiles);
    return accepted();
}

void AutomationAPI::playFile(const std::string& id, const Json& arguments, const Done& done) {
    auto index = integerArgument(arguments, "file", 0, INT32_MAX);
    if (!index)
        return done(failure(index.error()));
    QPointer<AutomationAPI> self(this);
    engine().files(id, [self, id, index = *index, done](std::vector<TorrentFile> files) {
        if (!self)
            return;
        auto file = std::find_if(files.begin(), files.end(),
                                 [&](const TorrentFile& f) { return f.i == index; });
        MediaKind kind = file == files.end() ? MediaKind::other : mediaKindForPath(file->path);
        if (file == files.end() || file->pad ||
            (kind != MediaKind::video && kind != MediaKind::audio))
            return done(failure("Playable audio/video file not found."));
        PlayerModel* player = self->m_commands.player();
        if (!player)
            return done(failure("No file is open in the player."));
        self->m_commands.openWindow("player");
        QPointer<PlayerModel> guard(player);
        player->open(id, *file, [guard, done] {
            if (guard && guard->error())
                return done(failure(*guard->error()));
            done(accepted());
        });
    });
}

AutomationAPI::Result AutomationAPI::controlPlayer(const Json& arguments) {
    std::string action = stringArgument(arguments, "action");
    const char* parameter = action == "seek"                            ? "seconds"
                            : action == "volume" || action == "speed"   ? "value"
                            : action == "audio" || action == "subtitle" ? "option"
                                                                        : nullptr;
    if (arguments.size() != (parameter ? 2u : 1u) || (parameter && !arguments.contains(parameter)))
        return failure("Provide only the parameter required by this player action.");
    PlayerModel* player = m_commands.player();
    if (action == "stop") {
        if (player)
            player->stop();
        return accepted();
    }
    std::shared_ptr<MPVCore> core = player ? player->core() : nullptr;
    if (!player || !player->item() || !core)
        return failure("No file is open in the player.");
    auto number = [&](const char* key) {
        auto it = arguments.find(key);
        return it == arguments.end() ? 0.0 : json::as<double>(*it).value_or(0.0);
    };
    if (action == "pause") {
        core->set("pause", "yes");
    } else if (action == "resume") {
        if (player->ended())
            player->seek(0);
        core->set("pause", "no");
    } else if (action == "seek") {
        if (!player->loaded() || !(player->duration() > 0))
            return failure("File is still loading; seek is not available yet.");
        player->seek(number("seconds"));
    } else if (action == "volume") {
        player->setVolume(number("value"));
    } else if (action == "speed") {
        double speed = number("value");
        if (!(speed >= 0.25 && speed <= 4))
            return failure("Playback speed must be between 0.25 and 4.");
        core->set("speed", decimalText(speed));
    } else if (action == "audio" || action == "subtitle") {
        bool audio = action == "audio";
        std::string wanted = stringArgument(arguments, "option");
        auto options = audio ? player->audioOptions() : player->subtitleOptions();
        auto found = std::find_if(options.begin(), options.end(),
                                  [&](const TrackOption& o) { return o.id == wanted; });
        if (found == options.end())
            return failure("Track option not found; read get_state for current options.");
        player->select(*found, audio);
    }
    return accepted();
}

std::string AutomationAPI::decimalText(double value) {
    char text[64];
    auto [end, ec] = std::to_chars(text, text + sizeof text, value);
    std::string out(text, ec == std::errc() ? end : text);
    if (out.find_first_of(".en") == std::string::npos)
        out += ".0";
    return out;
}

Json AutomationAPI::settings(const AppSettings& s) {
    return Json{{"download_directory", s.downloadDirectory},
                {"download_kib", s.downloadLimitKiB},
                {"upload_kib", s.uploadLimitKiB},
                {"alt_download_kib", s.altDownloadLimitKiB},
                {"alt_upload_kib", s.altUploadLimitKiB},
                {"alt_speed_enabled", s.altSpeedEnabled},
                {"add_paused", s.addPaused},
                {"autoplay_next", s.autoplayNext},
                {"resume_playback", s.resumePlayback},
                {"audio_languages", s.audioLanguages},
                {"subtitle_languages", s.subtitleLanguages},
                {"subtitle_mode", std::string(rawValue(s.subtitleMode))}};
}

AutomationAPI::Result AutomationAPI::updateSettings(const Json& arguments) {
    if (arguments.empty())
        return failure("Provide at least one setting.");
    AppSettings next = engine().settings();
    if (arguments.contains("download_directory")) {
        auto folder = absolutePath(stringArgument(arguments, "download_directory"));
        if (!folder)
            return failure(folder.error().message);
        next.downloadDirectory = *folder;
    }
    struct Rate {
        const char* key;
        std::int64_t AppSettings::*field;
    };
    for (Rate rate : {Rate{"download_kib", &AppSettings::downloadLimitKiB},
                      Rate{"upload_kib", &AppSettings::uploadLimitKiB},
                      Rate{"alt_download_kib", &AppSettings::altDownloadLimitKiB},
                      Rate{"alt_upload_kib", &AppSettings::altUploadLimitKiB}}) {
        if (!arguments.contains(rate.key))
            continue;
        auto value = integerArgument(arguments, rate.key, 0, CommandLayer::kMaxLimitKiB);
        if (!value)
            return failure(value.error());
        next.*rate.field = *value;
    }
    struct Flag {
        const char* key;
        bool AppSettings::*field;
    };
    for (Flag flag : {Flag{"alt_speed_enabled", &AppSettings::altSpeedEnabled},
                      Flag{"add_paused", &AppSettings::addPaused},
                      Flag{"autoplay_next", &AppSettings::autoplayNext},
                      Flag{"resume_playback", &AppSettings::resumePlayback}})
        next.*flag.field = boolArgument(arguments, flag.key, next.*flag.field);
    if (arguments.contains("audio_languages"))
        next.audioLanguages = stringArgument(arguments, "audio_languages");
    if (arguments.contains("subtitle_languages"))
        next.subtitleLanguages = stringArgument(arguments, "subtitle_languages");
    if (arguments.contains("subtitle_mode")) {
        auto mode = subtitleModeFromRaw(stringArgument(arguments, "subtitle_mode"));
        if (!mode)
            return failure("Invalid arguments.subtitle_mode");
        next.subtitleMode = *mode;
    }
    if (arguments.contains("download_directory"))
        if (auto ready = prepareDirectory(next.downloadDirectory); !ready)
            return failure(ready.error().message);
    if (auto saved = engine().commitSettings(next); !saved)
        return failure(saved.error().message);
    return settings(engine().settings());
}

std::expected<std::string, AutomationError> AutomationAPI::absolutePath(const std::string& path) {
    if (!path.starts_with('/') || AutomationCatalog::hasControlOrFormat(path))
        return std::unexpected(
            AutomationError{"Use an absolute local path without control characters."});
    std::string normal = std::filesystem::path(path).lexically_normal().string();
    while (normal.size() > 1 && normal.ends_with('/'))
        normal.pop_back();
    return normal;
}

std::expected<void, AutomationError> AutomationAPI::torrentFileCheck(const std::string& path) {
    std::string lower = path;
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    struct stat info = {};
    if (!lower.ends_with(".torrent") || ::stat(path.c_str(), &info) != 0 ||
        !S_ISREG(info.st_mode) || ::access(path.c_str(), R_OK) != 0)
        return std::unexpected(AutomationError{"Readable local .torrent file required."});
    return {};
}

void AutomationAPI::preview(
    const std::string& path,
    std::function<void(std::expected<TorrentPreview, AutomationError>)> done) {
    if (auto usable = torrentFileCheck(path); !usable)
        return done(std::unexpected(usable.error()));
    engine().preview(path, [done](TorrentPreview found) {
        if (found.error)
            return done(std::unexpected(AutomationError{*found.error}));
        done(std::move(found));
    });
}

std::expected<void, AutomationError> AutomationAPI::prepareDirectory(const std::string& folder) {
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    if (ec)
        return std::unexpected(AutomationError{ec.message()});
    if (::access(folder.c_str(), W_OK) != 0)
        return std::unexpected(AutomationError{"Download directory is not writable."});
    return {};
}

} // namespace tevro
