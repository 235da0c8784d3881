// Keyboard, scroll wheel and full screen of the player model.

#include "tevro/player/player_model.h"

#include <cmath>

#include <QKeyEvent>
#include <QWheelEvent>
#include <QWidget>

#include "tevro/player/number_text.h"
#include "tevro/player/player_keys.h"

namespace tevro {

bool PlayerModel::handleKey(const QKeyEvent& event) {
    poke();
    auto key = playerKey(event.key());
    if (!key)
        return false;
    bool shift = event.modifiers().testFlag(Qt::ShiftModifier);
    switch (*key) {
    case PlayerKey::togglePause:
        togglePause();
        return true;
    case PlayerKey::leaveFullScreen:
        if (m_window && m_window->isFullScreen()) {
            m_window->showNormal();
            return true;
        }
        return false;
    case PlayerKey::seekBack:
        seek(m_position - (shift ? 60 : 10));
        return true;
    case PlayerKey::seekForward:
        seek(m_position + (shift ? 60 : 10));
        return true;
    case PlayerKey::volumeDown:
        setVolume(m_volume - 5);
        return true;
    case PlayerKey::volumeUp:
        setVolume(m_volume + 5);
        return true;
    case PlayerKey::nextEpisode:
        playNext();
        return true;
    case PlayerKey::previousEpisode:
        playPrevious();
        return true;
    case PlayerKey::mute:
        if (m_core)
            m_core->commandAsync({"cycle", "mute"});
        return true;
    case PlayerKey::fullScreen:
        toggleFullScreen();
        return true;
    case PlayerKey::cycleAudio:
        cycle(true);
        return true;
    case PlayerKey::cycleSubtitles:
        cycle(false);
        return true;
    }
    return false;
}

bool PlayerModel::handleScroll(const QWheelEvent& event) {
    if (!m_core)
        return false;
    if (event.phase() == Qt::ScrollMomentum)
        return false;
    if (event.modifiers() &
        (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier))
        return false;
    bool precise = !event.pixelDelta().isNull();
    QPoint delta = precise ? event.pixelDelta() : event.angleDelta();
    double dy = delta.y();
    double dx = delta.x();
    if (dy == 0 || std::abs(dx) >= std::abs(dy))
        return false;
    if (event.inverted())
        dy = -dy;
    double step = precise ? dy * 0.25 : (dy > 0 ? 5.0 : -5.0);
    m_core->commandAsync({"add", "volume", NumberText::shortest(step)});
    poke();
    return true;
}

void PlayerModel::toggleFullScreen() {
    QWidget* window = m_window;
    if (!window)
        return;
    if (!window->isActiveWindow()) {
        window->raise();
        window->activateWindow();
    }
    if (window->isFullScreen())
        window->showNormal();
    else
        window->showFullScreen();
}

} // namespace tevro
