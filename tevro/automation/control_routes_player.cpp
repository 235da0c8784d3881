// The player's routes: playing a file of a torrent, tracks, seeking, pause,
// keys, stopping and the core's diagnostics.

#include <memory>

#include <QKeyEvent>

#include "tevro/automation/command_layer.h"
#include "tevro/automation/control_request.h"
#include "tevro/automation/control_routes.h"
#include "tevro/automation/window_lookup.h"
#include "tevro/engine/torrent_engine.h"
#include "tevro/player/player_keys.h"
#include "tevro/player/player_model.h"
#include "tevro/player/player_window.h"

namespace tevro {

namespace {

Json ok() {
    return Json{{"ok", true}};
}

// The video view drawing the core's frames, while both are alive.
VideoView* liveVideoView(const std::shared_ptr<MPVCore>& core) {
    if (!core || core->videoLayer().expired())
        return nullptr;
    auto* window = qobject_cast<PlayerWindow*>(WindowLookup::find("player"));
    return window ? window->videoView() : nullptr;
}

Json stringMap(const std::map<std::string, std::string>& map) {
    Json out = Json::object();
    for (const auto& [key, value] : map)
        out[key] = value;
    return out;
}

} // namespace

bool ControlRoutes::routePlayer(const ControlRequest& q, const Done& done) {
    // Replies and reports the route as handled.
    auto reply = [&done](const Json& value) {
        done(json(value));
        return true;
    };
    auto refuse = [&done](const std::string& word) {
        done.refuse(kBadRequest, word);
        return true;
    };
    PlayerModel* player = m_commands.player();
    const std::string& path = q.path;

    if (path == "/player-diagnostics") {
        auto core = player ? player->core() : nullptr;
        if (!core)
            return reply(Json::object());
        std::weak_ptr<MPVCore> weak = core;
        core->diagnostics([done, weak](std::map<std::string, std::string> values) {
            // The layer's counters win over the core's on a shared name.
            if (VideoView* view = liveVideoView(weak.lock()))
                for (auto& [key, value] : view->diagnostics())
                    values[key] = value;
            done(json(stringMap(values)));
        });
        return true;
    }
    if (path == "/play") {
        auto file = q.integer("file");
        if (!q.has("id") || !file)
            return refuse("id/file");
        std::string id = q.text("id");
        // Copies: the reply may come after the routes are gone.
        auto openWindow = m_commands.sources().openWindow;
        m_commands.engine().files(
            id, [done, id, index = *file, openWindow, player](std::vector<TorrentFile> files) {
                auto it = std::ranges::find(files, index, &TorrentFile::i);
                if (it == files.end())
                    return done.refuse(kBadRequest, "file");
                if (openWindow)
                    openWindow("player");
                if (!player)
                    return done(json(ok()));
                player->open(id, *it, [done] { done(json(ok())); });
            });
        return true;
    }
    if (path == "/track") {
        bool audio = q.text("kind") != "sub";
        std::vector<TrackOption> options;
        if (player)
            options = audio ? player->audioOptions() : player->subtitleOptions();
        auto it = q.has("option") ? std::ranges::find(options, q.text("option"), &TrackOption::id)
                                  : options.end();
        if (it == options.end())
            return refuse("option");
        player->select(*it, audio);
        return reply(ok());
    }
    if (path == "/seek") {
        if (player)
            player->seek(q.number("t").value_or(0));
        return reply(ok());
    }
    if (path == "/pause") {
        if (auto core = player ? player->core() : nullptr)
            core->set("pause", q.flag("on") ? "yes" : "no");
        return reply(ok());
    }
    if (path == "/key") {
        auto code = q.integer("code", 0, 65535);
        if (!code)
            return refuse("code");
        // Only the player's key table sees the key; a code it does not bind
        // stands for no key at all.
        int key = qtKeyForMacKeyCode(static_cast<int>(*code)).value_or(Qt::Key_unknown);
        QKeyEvent event(QEvent::KeyPress, key, Qt::NoModifier);
        return reply(Json{{"handled", player && player->handleKey(event)}});
    }
    if (path == "/stop") {
        if (player)
            player->stop();
        if (QWidget* window = m_commands.window("player"))
            window->close();
        return reply(ok());
    }
    return false;
}

} // namespace tevro
