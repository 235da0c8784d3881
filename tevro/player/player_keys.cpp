#include "tevro/player/player_keys.h"

#include <Qt>

namespace tevro {

namespace {

constexpr PlayerKeyBinding kBindings[] = {
    {PlayerKey::togglePause, 49, Qt::Key_Space, 0},
    {PlayerKey::leaveFullScreen, 53, Qt::Key_Escape, 0},
    {PlayerKey::seekBack, 123, Qt::Key_Left, 0},
    {PlayerKey::seekForward, 124, Qt::Key_Right, 0},
    {PlayerKey::volumeDown, 125, Qt::Key_Down, 0},
    {PlayerKey::volumeUp, 126, Qt::Key_Up, 0},
    {PlayerKey::nextEpisode, 45, Qt::Key_N, 0x0422},     // Т
    {PlayerKey::previousEpisode, 35, Qt::Key_P, 0x0417}, // З
    {PlayerKey::mute, 46, Qt::Key_M, 0x042C},            // Ь
    {PlayerKey::fullScreen, 3, Qt::Key_F, 0x0410},       // А
    {PlayerKey::cycleAudio, 0, Qt::Key_A, 0x0424},       // Ф
    {PlayerKey::cycleSubtitles, 1, Qt::Key_S, 0x042B},   // Ы
};

} // namespace

std::optional<PlayerKey> playerKey(int qtKey) {
    for (const auto& b : kBindings)
        if (qtKey == b.qtKey || (b.cyrillicKey != 0 && qtKey == b.cyrillicKey))
            return b.command;
    return std::nullopt;
}

std::optional<int> qtKeyForMacKeyCode(int macKeyCode) {
    for (const auto& b : kBindings)
        if (b.macKeyCode == macKeyCode)
            return b.qtKey;
    return std::nullopt;
}

} // namespace tevro
