#include "tevro/engine/checking_progress_estimator.h"

#include <algorithm>
#include <cmath>

namespace tevro {

std::optional<std::int64_t> CheckingProgressEstimator::update(const std::string& id,
                                                              double progress, std::int64_t total,
                                                              bool active, double now) {
    if (!active || total < 1 || !std::isfinite(progress) || !std::isfinite(now)) {
        tracks.erase(id);
        return std::nullopt;
    }
    const double p = std::clamp(progress, 0.0, 1.0);
    auto it = tracks.find(id);
    bool fresh = it == tracks.end() || it->second.total != total || it->second.lastProgress > p ||
                 it->second.samples.empty() || it->second.samples.back().first > now ||
                 now - it->second.samples.back().first >= 5.0;
    if (fresh) {
        tracks[id] = Track{total, {{now, p}}, p, now, std::nullopt};
        return std::nullopt;
    }
    Track& t = it->second;
    if (p > t.lastProgress)
        t.lastChange = now;
    if (now - t.samples.back().first >= 0.2) {
        t.samples.emplace_back(now, p);
        while (t.samples.size() >= 3 && t.samples[1].first < now - 3.0)
            t.samples.erase(t.samples.begin());
        const auto& oldest = t.samples.front();
        if (oldest.second < p) {
            double rate = (p - oldest.second) * static_cast<double>(total) / (now - oldest.first);
            t.rate = static_cast<std::int64_t>(std::min(std::floor(rate), 4611686018427387904.0));
        }
    }
    if (now - t.lastChange >= 2.0)
        t.rate = 0;
    t.lastProgress = p;
    return t.rate;
}

void CheckingProgressEstimator::retain(const std::set<std::string>& ids) {
    std::erase_if(tracks, [&ids](const auto& entry) { return !ids.contains(entry.first); });
}

} // namespace tevro
