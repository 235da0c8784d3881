// Keyboard, scroll wheel and full screen of the player model.

#include "tevro/player/player_model.h"

#include <cmath>
#include <initializer_list>

#include <QKeyEvent>
#include <QWheelEvent>
#include <QWidget>

#include "tevro/player/number_text.h"

namespace tevro {

namespace {

// Letter shortcuts follow the physical key: a Russian layout sends the
// Cyrillic letter printed on the same key.
bool isKey(int key, std::initializer_list<int> keys) {
    for (int k : keys)
        if (key == k)
            return true;
    return false;
}

constexpr int kCyrillicEF = 0x0424;   // Ф, on A
constexpr int kCyrillicYERU = 0x042B; // Ы, on S
constexpr int kCyrillicTE = 0x0422;   // Т, on N
constexpr int kCyrillicZE = 0x0417;   // З, on P
constexpr int kCyrillicSOFT = 0x042C; // Ь, on M
constexpr int kCyrillicA = 0x0410;    // А, on F

} // namespace

bool PlayerModel::handleKey(const QKeyEvent& event) {
    poke();
    int key = event.key();
    bool shift = event.modifiers().testFlag(Qt::ShiftModifier);
    if (key == Qt::Key_Space) {
        togglePause();
        return true;
    }
    if (key == Qt::Key_Escape) {
        if (m_window && m_window->isFullScreen()) {
            m_window->showNormal();
            return true;
        }
        return false;
    }
    if (key == Qt::Key_Left) {
        seek(m_position - (shift ? 60 : 10));
        return true;
    }
    if (key == Qt::Key_Right) {
        seek(m_position + (shift ? 60 : 10));
        return true;
    }
    if (key == Qt::Key_Down) {
        setVolume(m_volume - 5);
        return true;
    }
    if (key == Qt::Key_Up) {
        setVolume(m_volume + 5);
        return true;
    }
    if (isKey(key, {Qt::Key_N, kCyrillicTE})) {
        playNext();
        return true;
    }
    if (isKey(key, {Qt::Key_P, kCyrillicZE})) {
        playPrevious();
        return true;
    }
    if (isKey(key, {Qt::Key_M, kCyrillicSOFT})) {
        if (m_core)
            m_core->commandAsync({"cycle", "mute"});
        return true;
    }
    if (isKey(key, {Qt::Key_F, kCyrillicA})) {
        toggleFullScreen();
        return true;
    }
    if (isKey(key, {Qt::Key_A, kCyrillicEF})) {
        cycle(true);
        return true;
    }
    if (isKey(key, {Qt::Key_S, kCyrillicYERU})) {
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
