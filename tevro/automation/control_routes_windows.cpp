// The windows' routes: listing, opening, ordering back and resizing them,
// and PNG snapshots of a window and of the playing video.

#include <cmath>

#include <QWidget>

#include "tevro/automation/command_layer.h"
#include "tevro/automation/control_request.h"
#include "tevro/automation/control_routes.h"
#include "tevro/automation/window_lookup.h"
#include "tevro/automation/window_snapshot.h"
#include "tevro/player/player_model.h"
#include "tevro/player/player_window.h"

namespace tevro {

namespace {

// "WxH" in points; nothing unless exactly two numbers remain that a window can take.
std::optional<QSize> sizeFrom(const std::string& text) {
    std::vector<double> parts;
    std::size_t at = 0;
    while (at <= text.size()) {
        std::size_t x = text.find('x', at);
        if (x == std::string::npos)
            x = text.size();
        if (auto v = parseDouble(std::string_view(text).substr(at, x - at)))
            parts.push_back(*v);
        at = x + 1;
    }
    if (parts.size() != 2)
        return std::nullopt;
    for (double v : parts)
        if (!(v >= 0 && v <= QWIDGETSIZE_MAX))
            return std::nullopt;
    return QSize(static_cast<int>(std::lround(parts[0])), static_cast<int>(std::lround(parts[1])));
}

bool videoSnapshot(PlayerModel* player, const QString& path) {
    auto core = player ? player->core() : nullptr;
    if (!core || core->videoLayer().expired())
        return false;
    auto* window = qobject_cast<PlayerWindow*>(WindowLookup::find("player"));
    VideoView* view = window ? window->videoView() : nullptr;
    return view && WindowSnapshot::replace(path, [view](const QString& temporary) {
               return view->writeSnapshot(temporary);
           });
}

} // namespace

bool ControlRoutes::routeWindows(const ControlRequest& q, const Done& done) {
    // Replies and reports the route as handled.
    auto reply = [&done](const Json& value) {
        done(json(value));
        return true;
    };
    const std::string& path = q.path;

    if (path == "/window") {
        if (q.has("open"))
            m_commands.openWindow(q.text("open"));
        if (q.flag("back"))
            for (QWidget* w : WindowLookup::windows())
                if (w->isVisible())
                    w->lower();
        if (q.has("size") && q.has("name"))
            if (QWidget* w = m_commands.window(q.text("name")))
                if (auto size = sizeFrom(q.text("size")))
                    w->resize(*size);
        Json windows = Json::array();
        for (QWidget* w : WindowLookup::windows()) {
            if (!w->isVisible())
                continue;
            QRect frame = w->frameGeometry();
            windows.push_back(Json{{"id", WindowLookup::identifier(w)},
                                   {"title", w->windowTitle().toStdString()},
                                   {"w", double(frame.width())},
                                   {"h", double(frame.height())}});
        }
        return reply(Json{{"windows", std::move(windows)}});
    }
    if (path == "/snapshot") {
        QWidget* window = q.has("window") ? m_commands.window(q.text("window")) : nullptr;
        if (!window || !q.has("path")) {
            done.refuse(kBadRequest, "window/path");
            return true;
        }
        QString file = QString::fromStdString(q.text("path"));
        bool ok = WindowSnapshot::write(window, file);
        if (q.text("window") == "player" && q.flag("video")) {
            bool video = videoSnapshot(m_commands.player(), WindowSnapshot::videoPath(file));
            return reply(Json{{"ok", ok}, {"video", video}});
        }
        return reply(Json{{"ok", ok}});
    }
    return false;
}

} // namespace tevro
