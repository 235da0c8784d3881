#pragma once

// Picks a good preview frame of a video: the moments worth extracting and a
// score that rates a decoded frame and refuses nearly black, nearly white or
// flat ones. Pure and deterministic; safe from any thread.

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

namespace tevro::FrameSelection {

// Times in seconds to try, in order: three, or two when the duration is
// unknown (0 or not finite) or at most 1 s. The identity (the video's absolute
// path) varies the times between videos; `available` is the downloaded
// fraction of the file, 0...1.
std::vector<double> times(double duration, std::string_view identity, double available);

// Rates 8-bit RGBA pixels (rows back to back, alpha ignored); higher is
// better, nothing when the frame is unusable or the buffer too short.
std::optional<double> score(std::span<const std::uint8_t> rgba, int width, int height);

} // namespace tevro::FrameSelection
