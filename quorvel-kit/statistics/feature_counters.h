#pragma once

// Uses of named features per local day, counted from any thread and handed to
// the statistics engine as days finish.

#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "quorvel-kit/statistics/kit_time.h"

namespace quorvel {

class FeatureCounters {
public:
    struct Day {
        int64_t day = 0;
        std::map<std::string, int64_t> counts;
        Date last = 0;
        bool operator==(const Day&) const = default;
    };

    explicit FeatureCounters(TimeZone timeZone) : m_timeZone(timeZone) {}

    const TimeZone& timeZone() const { return m_timeZone; }

    // Counts one use of `feature` at `date`. A count on another local day than
    // the current one finishes that day and calls the day-finished callback.
    void count(const std::string& feature, Date date);
    // The finished days, oldest first (the current one too when before `today`).
    std::vector<Day> takeFinished(int64_t today);
    // Switching off discards the counts.
    void setEnabled(bool enabled);
    // Called on the counting thread, outside the lock.
    void setOnDayFinished(std::function<void()> callback);

    // For the engine, each under the lock.
    bool enabled() const;
    bool changed() const;
    // Puts a saved day in progress back, merged with what was counted since.
    void restoreCurrent(std::optional<Day> day);
    // Clears the changed mark and returns the day in progress.
    std::optional<Day> takeSnapshot();
    // Drops every count and leaves counting switched to `enabled`.
    void discard(bool enabled);
    std::optional<Day> current() const;

private:
    mutable std::mutex m_lock;
    std::optional<Day> m_current;
    std::vector<Day> m_finished;
    bool m_enabled = true;
    bool m_changed = false;
    TimeZone m_timeZone;
    std::function<void()> m_onDayFinished;
};

void to_json(nlohmann::json& j, const FeatureCounters::Day& day);
// Strict: all three keys with their types, else throws.
void from_json(const nlohmann::json& j, FeatureCounters::Day& day);

} // namespace quorvel
