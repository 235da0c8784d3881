#pragma once

// Which files of a torrent are videos and in which order they are watched,
// season and episode numbers read from file names, and the audio and subtitle
// files that belong to a video. Pure functions; callable from any thread.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "tevro/core/torrent_file.h"
#include "tevro/media/episode_number.h"
#include "tevro/media/external_track.h"

namespace tevro::MediaMatcher {

// The playable videos in viewing order: no padding files and no samples;
// folders in name order; inside a folder, by season and episode when every
// video there has a distinct number, else by name.
std::vector<TorrentFile> videos(const std::vector<TorrentFile>& files);

// The video after (before) `file` in videos() order; nothing when `file` is
// not a video of `files` or is the last (first) one.
std::optional<TorrentFile> next(const TorrentFile& after, const std::vector<TorrentFile>& files);
std::optional<TorrentFile> previous(const TorrentFile& before,
                                    const std::vector<TorrentFile>& files);

// Season and episode of a file name (extension included): "S01E02", "1x02",
// "Серия 3", "Episode_12", or else the last number that is not a year,
// resolution, codec or other technical mark. Season 0 when none is named.
std::optional<EpisodeNumber> episodeNumber(std::string_view name);

// "s1e2" for a name holding an "S01E02" mark, else nothing.
std::optional<std::string> episodeKey(std::string_view name);

// The audio and subtitle files of `files` that belong to `video`: same stem,
// the stem followed by ".", " " or "_", the same episode key, or any of them
// when the torrent has one video.
ExternalTracks externalTracks(const TorrentFile& video, const std::vector<TorrentFile>& files);

// The track menu label of `file`; `videoStem` is the video's lower-cased stem.
std::string title(const TorrentFile& file, std::string_view videoStem);

// The language named by a word of the file's path, by a fixed table order.
std::optional<std::string> language(const TorrentFile& file);

} // namespace tevro::MediaMatcher
