#include "tevro/automation/control_routes.h"

#include <algorithm>
#include <filesystem>
#include <limits>
#include <set>

#include "tevro/automation/command_layer.h"
#include "tevro/automation/control_request.h"
#include "tevro/automation/window_lookup.h"
#include "tevro/engine/torrent_engine.h"

#include <QCoreApplication>
#include <QPointer>
#include <QUrl>
#include <QTimer>

using namespace std::chrono_literals;

namespace tevro {

namespace {

constexpr std::int64_t kIntMin = std::numeric_limits<int>::min();
constexpr std::int64_t kIntMax = std::numeric_limits<int>::max();

Json ok() {
    return Json{{"ok", true}};
}

// Comma list of integers, empty pieces and non-numbers dropped.
std::vector<std::int64_t> integerList(const std::string& text) {
    std::vector<std::int64_t> out;
    std::size_t at = 0;
    while (at <= text.size()) {
        std::size_t comma = text.find(',', at);
        if (comma == std::string::npos)
            comma = text.size();
        if (auto v = parseInteger(std::string_view(text).substr(at, comma - at)))
            out.push_back(*v);
        at = comma + 1;
    }
    return out;
}

FilePriority priorityFrom(std::optional<std::int64_t> p) {
    if (!p)
        return FilePriority::normal;
    if (*p == 0)
        return FilePriority::skip;
    if (*p >= 1 && *p <= 3)
        return FilePriority::low;
    if (*p == 4 || *p == 5)
        return FilePriority::normal;
    return FilePriority::high;
}

} // namespace

std::string ControlRoutes::json(const Json& value) {
    return CommandLayer::encode(value);
}

void ControlRoutes::route(std::string_view target, Send send) {
    Done done{std::move(send)};
    auto reply = [&done](const Json& value) { done(json(value)); };
    auto refuse = [&done](int status, const std::string& word) { done.refuse(status, word); };
    auto parsed = ControlRequest::parse(target);
    if (!parsed)
        return refuse(kBadRequest, "bad request");
    const ControlRequest& q = *parsed;
    TorrentEngine& engine = m_commands.engine();
    const std::string& path = q.path;

    if (path == "/state")
        return done(m_commands.stateText());
    if (path == "/offers") {
        if (const auto& offers = m_commands.sources().offers)
            return offers(q.query, [done](Json status) { done(json(status)); });
        Json status = CommandLayer::idleOffers();
        status["sheetCount"] =
            std::ranges::count_if(WindowLookup::windows(), WindowLookup::isSheet);
        return reply(status);
    }
    if (path == "/diagnostics")
        return engine.networkDiagnostics([done](std::string text) { done(std::move(text)); });
    if (path == "/peers")
        return engine.peerDiagnostics(q.text("id"),
                                      [done](std::string text) { done(std::move(text)); });
    if (path == "/add") {
        if (!q.has("path"))
            return refuse(kBadRequest, "path");
        // Reading and adding run on the engine queue: a large or hostile
        // file never holds the window or the other routes.
        std::filesystem::path file(q.text("path"));
        std::string save = q.has("save") ? q.text("save") : engine.settings().downloadDirectory;
        bool paused = q.flag("paused");
        bool sequential = q.flag("sequential");
        QPointer<TorrentEngine> owner(&engine);
        auto add = [owner, file, save, paused, sequential,
                    done](std::optional<std::vector<int>> priorities) {
            if (!owner)
                return done.refuse(kUnprocessable, "Не удалось добавить торрент");
            owner->addTorrent(
                file, save, std::move(priorities), paused, sequential,
                [done](TorrentEngine::AddOutcome added) {
                    if (!added)
                        return done.refuse(kUnprocessable, added.error().message);
                    done(json(Json{{"id", added->id}, {"duplicate", added->duplicate}}));
                });
        };
        if (!q.has("files"))
            return add(std::nullopt);
        auto chosen = integerList(q.text("files"));
        std::set<std::int64_t> wanted(chosen.begin(), chosen.end());
        return engine.preview(file, [add, wanted](TorrentPreview preview) {
            std::optional<std::vector<int>> priorities;
            if (preview.files && !preview.files->empty()) {
                priorities.emplace();
                for (const auto& f : *preview.files)
                    priorities->push_back(wanted.contains(f.i) ? 4 : 0);
            }
            add(std::move(priorities));
        });
    }
    if (path == "/open") {
        if (!q.has("path"))
            return refuse(kBadRequest, "path");
        // Links as given; anything else names a file, handed on as its file URL.
        std::string target = q.text("path");
        // Made absolute here, not by QFileInfo, which takes a leading ':'
        // for one of Qt's resources.
        if (!target.starts_with("magnet:")) {
            std::error_code ec;
            std::filesystem::path absolute = std::filesystem::absolute(target, ec);
            if (ec)
                return refuse(kBadRequest, "path");
            target = QUrl::fromLocalFile(QString::fromStdString(absolute.lexically_normal()))
                         .toString(QUrl::FullyEncoded)
                         .toStdString();
        }
        engine.appendPendingOpen(target);
        return reply(ok());
    }
    if (path == "/files") {
        return engine.files(q.text("id"), [done](std::vector<TorrentFile> files) {
            Json out = Json::array();
            for (const TorrentFile& f : files)
                out.push_back(Json{{"i", f.i},
                                   {"path", f.path},
                                   {"size", f.size},
                                   {"done", f.done},
                                   {"prio", f.prio}});
            done(json(out));
        });
    }
    if (path == "/pieces") {
        int file = static_cast<int>(q.integer("file", kIntMin, kIntMax).value_or(-1));
        return engine.pieces(q.text("id"), file, [done](std::string map) {
            done(json(Json{{"map", map}}));
        });
    }
    if (path == "/prio") {
        std::vector<int> files;
        for (std::int64_t i : integerList(q.text("files")))
            if (i >= 0 && i <= kIntMax) // no file has an index past these
                files.push_back(static_cast<int>(i));
        FilePriority priority =
            priorityFrom(q.has("p") ? q.integer("p") : std::optional<std::int64_t>(4));
        engine.setPriority(q.text("id"), files, priority);
        return reply(ok());
    }
    if (path == "/action") {
        engine.action(q.text("a"), {q.text("id")});
        return reply(ok());
    }
    if (path == "/limits") {
        auto value = [&q](const char* key) -> std::optional<std::int64_t> {
            if (!q.has(key))
                return 0;
            auto v = q.integer(key);
            // Text that is not a number counts as 0; a number out of range is refused.
            if (!v)
                return parseDouble(q.text(key)) ? std::nullopt : std::optional<std::int64_t>(0);
            return v;
        };
        auto down = value("down"), up = value("up"), conn = value("conn"),
             uploadSlots = value("slots");
        if (!down || !up || !conn || !uploadSlots)
            return refuse(kBadRequest, "limits");
        auto set = m_commands.setTorrentLimits(q.text("id"), *down, *up, *conn, *uploadSlots);
        return set ? reply(ok()) : refuse(kBadRequest, set.error());
    }
    if (path == "/remove") {
        engine.remove({q.text("id")}, q.flag("data"));
        return reply(ok());
    }
    if (path == "/settings") {
        AppSettings s = engine.settings();
        for (const char* key : {"down", "up"}) {
            if (!q.has(key))
                continue;
            auto v = q.integer(key);
            if (!v && !parseDouble(q.text(key)))
                continue; // not a number: left as it is
            if (!v || !CommandLayer::validLimitKiB(*v))
                return refuse(kBadRequest, "limits");
            (std::string_view(key) == "down" ? s.downloadLimitKiB : s.uploadLimitKiB) = *v;
        }
        if (auto v = q.integer("connections"))
            s.maxConnections = std::clamp<std::int64_t>(*v, 0, kIntMax);
        if (q.has("alt"))
            s.altSpeedEnabled = q.flag("alt");
        if (auto profile = networkProfileFromRaw(q.text("profile")))
            s.adopt(*profile);
        if (auto mode = subtitleModeFromRaw(q.text("subs")))
            s.subtitleMode = *mode;
        if (q.has("audioLang"))
            s.audioLanguages = q.text("audioLang");
        if (q.has("autoplay"))
            s.autoplayNext = q.flag("autoplay");
        if (auto saved = engine.commitSettings(s); !saved)
            return refuse(kUnprocessable, saved.error().message);
        return reply(Json{{"ok", true}, {"libtorrent", engine.settings().libtorrentSettings()}});
    }
    if (path == "/select") {
        if (const auto& select = m_commands.sources().select)
            select(q.query);
        return reply(ok());
    }
    if (path == "/contents-action") {
        auto opened = m_commands.sources().openedTorrent ? m_commands.sources().openedTorrent()
                                                         : std::nullopt;
        auto torrent = opened ? engine.torrent(*opened) : std::nullopt;
        std::string action = q.text("action");
        if (!torrent)
            return reply(Json{{"ok", false}});
        if (action == "togglePause") {
            engine.togglePause(torrent->id);
            return reply(ok());
        }
        if (action == "recheck" && torrent->hasMetadata && torrent->state != "checking" &&
            !torrent->moving) {
            engine.action("recheck", {torrent->id});
            return reply(ok());
        }
        return reply(Json{{"ok", false}});
    }
    if (path == "/quit") {
        reply(ok());
        // Not after the routes are gone: their owner may be what quits.
        if (auto quit = m_commands.sources().quit)
            QTimer::singleShot(200ms, QCoreApplication::instance(),
                               [quit, alive = std::weak_ptr<int>(m_alive)] {
                                   if (!alive.expired())
                                       quit();
                               });
        return;
    }
    if (routePlayer(q, done) || routeWindows(q, done))
        return;
    return refuse(kNotFound, "unknown");
}

} // namespace tevro
