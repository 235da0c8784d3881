#pragma once

// The statistics engine's persisted state, "state.json".

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "quorvel-kit/statistics/feature_counters.h"
#include "quorvel-kit/statistics/kit_time.h"

namespace quorvel {

struct KitState {
    Date installedAt = 0;
    int64_t seq = 0;
    std::optional<std::string> lastVersion;
    std::optional<int64_t> lastActiveDay;
    std::map<std::string, std::string> permissions; // name to raw permission state
    std::optional<FeatureCounters::Day> features;
    std::vector<std::string> pendingDeletions;
    std::optional<Date> retryAt;
    double backoff = 0;

    bool operator==(const KitState&) const = default;

    static KitState fresh(Date installedAt);

    // One JSON object; absent optionals are left out, dates are seconds since 2001.
    std::string encode() const;
    // Strict: a missing required key or a wrong type anywhere gives nothing.
    static std::optional<KitState> decode(const std::string& text);
};

} // namespace quorvel
