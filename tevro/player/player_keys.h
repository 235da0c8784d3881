#pragma once

// The player's keyboard shortcuts: each command with its Mac virtual key
// code and the Qt keys that stand for it here. Letters also answer to the Cyrillic letter on the
// same key of a Russian layout. The one table of player keys.

#include <optional>

namespace tevro {

enum class PlayerKey {
    togglePause,
    leaveFullScreen,
    seekBack,
    seekForward,
    volumeDown,
    volumeUp,
    nextEpisode,
    previousEpisode,
    mute,
    fullScreen,
    cycleAudio,
    cycleSubtitles,
};

struct PlayerKeyBinding {
    PlayerKey command;
    int macKeyCode; // the virtual key code on a Mac keyboard, for reference
    int qtKey;
    int cyrillicKey; // 0: none
};

// The command of a Qt key (QKeyEvent::key()); nothing for other keys.
std::optional<PlayerKey> playerKey(int qtKey);
// The Qt key standing for a Mac virtual key code of the table; nothing for
// codes the player does not bind.
std::optional<int> qtKeyForMacKeyCode(int macKeyCode);

} // namespace tevro
