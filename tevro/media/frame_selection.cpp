#include "tevro/media/frame_selection.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace tevro::FrameSelection {

namespace {

std::uint64_t fnv1a(std::string_view text) {
    std::uint64_t hash = 0xcbf29ce484222325ull;
    for (unsigned char c : text) {
        hash ^= c;
        hash *= 0x100000001b3ull;
    }
    return hash;
}

} // namespace

std::vector<double> times(double duration, std::string_view identity, double available) {
    const double u = static_cast<double>(fnv1a(identity) % 1000) / 1000.0;
    if (!std::isfinite(duration) || duration <= 1)
        return {2 + 4 * u, 0.5};

    const bool complete = available >= 0.999;
    double lead = 0;
    double span = 0;
    if (complete) {
        // From 15 % in (or 90 s, whichever is earlier) to 83 % of the video.
        lead = 0.15 * duration < 90 ? 0.15 * duration : 90;
        span = 0.83 * duration - lead;
    } else {
        // Only the downloaded beginning can be decoded.
        const double end = duration * std::clamp(0.8 * available, 0.01, 0.65);
        lead = 0.1 * end < 3 ? 0.1 * end : 3;
        span = end - lead;
    }
    span = std::max(span, 0.2);

    const double cap = duration - 0.2;
    std::vector<double> result;
    for (double fraction : {0.10 + 0.23 * u, 0.40 + 0.20 * u, 0.70 + 0.22 * u})
        result.push_back(std::min(lead + span * fraction, cap));
    if (!complete)
        result[2] = std::min(duration / 10, 1.0);
    return result;
}

std::optional<double> score(std::span<const std::uint8_t> rgba, int width, int height) {
    if (width < 2 || height < 2)
        return std::nullopt;
    const std::size_t n = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
    if (rgba.size() < n * 4)
        return std::nullopt;

    std::vector<double> luma(n);
    std::array<std::size_t, 16> histogram{};
    std::size_t dark = 0;
    std::size_t bright = 0;
    double colour = 0;
    double edges = 0;
    double sum = 0;
    double squares = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const double r = rgba[i * 4] / 255.0;
        const double g = rgba[i * 4 + 1] / 255.0;
        const double b = rgba[i * 4 + 2] / 255.0;
        const double y = 0.2126 * r + 0.7152 * g + 0.0722 * b;
        luma[i] = y;
        ++histogram[std::min(static_cast<std::size_t>(std::floor(16 * y)), std::size_t{15})];
        if (y < 0.045)
            ++dark;
        if (y > 0.95)
            ++bright;
        colour += std::max({r, g, b}) - std::min({r, g, b});
        if (i % static_cast<std::size_t>(width) != 0)
            edges += std::abs(y - luma[i - 1]);
        if (i >= static_cast<std::size_t>(width))
            edges += std::abs(y - luma[i - width]);
        sum += y;
        squares += y * y;
    }

    const double count = static_cast<double>(n);
    const double mean = sum / count;
    const double deviation = std::sqrt(std::max(squares / count - mean * mean, 0.0));
    if (!(mean > 0.055 && mean < 0.93 && dark / count < 0.82 && bright / count < 0.82 &&
          deviation > 0.018))
        return std::nullopt;

    double entropy = 0;
    for (std::size_t m : histogram) {
        if (m >= 1) {
            const double p = static_cast<double>(m) / count;
            entropy += -p * std::log2(p) * 0.25;
        }
    }
    return 0.1 * std::min(2 * colour / count, 1.0) +
           (0.25 * std::min(6 * edges / count, 1.0) +
            (0.25 * std::min(4 * deviation, 1.0) + 0.4 * entropy));
}

} // namespace tevro::FrameSelection
