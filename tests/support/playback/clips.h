#pragma once

// Media files made at test time with the ffmpeg CLI: test-pattern video with
// a sine tone, audio-only tracks and subtitle text.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

namespace tevro::playback {

struct ClipOptions {
    double seconds = 20;
    int width = 320;
    int height = 240;
    int fps = 25;
    // Grain makes the picture expensive to compress, so a clip of a few
    // seconds weighs a few MiB (about 2.6 Mbit/s at 320 x 240, 25 fps).
    bool noise = true;
    // A lavfi video graph used instead of the test pattern (width, height,
    // rate and noise are then the graph's own).
    std::optional<std::string> source;
    // Tags of the audio track; nothing leaves it untagged ("und").
    std::optional<std::string> audioLanguage;
    std::optional<std::string> audioTitle;
};

// H.264 + AAC, a key frame every second. The container follows the
// extension; an ".mp4" keeps its index at the end (no fast start).
bool makeVideo(const std::filesystem::path& out, const ClipOptions& options);

// An audio-only file (".mka": AAC in Matroska) with a language tag.
bool makeAudio(const std::filesystem::path& out, double seconds,
               const std::optional<std::string>& language);

// A SubRip file with one line per second for `seconds`.
bool makeSubtitles(const std::filesystem::path& out, double seconds, const std::string& text);

// An MKV with two audio tracks (English "English", Russian "Русский") and
// two SubRip subtitle tracks (English, Russian), test-pattern video.
bool makeMultiTrackVideo(const std::filesystem::path& out, double seconds);

// A graph of four solid quarters: red top left, green top right, blue
// bottom left, white bottom right; for checking where colours land.
std::string quartersSource(int width, int height, int fps);

// Cuts a file to its first `bytes`.
bool truncateFile(const std::filesystem::path& path, std::int64_t bytes);

} // namespace tevro::playback
