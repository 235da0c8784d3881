#include "quorvel-kit/statistics/feature_counters.h"

namespace quorvel {

void FeatureCounters::count(const std::string& feature, Date date) {
    int64_t day = m_timeZone.dayNumber(date);
    std::function<void()> callback;
    {
        std::lock_guard lock(m_lock);
        if (!m_enabled)
            return;
        if (m_current && m_current->day != day) {
            m_finished.push_back(std::move(*m_current));
            m_current.reset();
            callback = m_onDayFinished;
        }
        if (!m_current)
            m_current = Day{day, {}, date};
        ++m_current->counts[feature];
        m_current->last = date;
        m_changed = true;
    }
    if (callback)
        callback();
}

std::vector<FeatureCounters::Day> FeatureCounters::takeFinished(int64_t today) {
    std::lock_guard lock(m_lock);
    if (m_current && m_current->day < today) {
        m_finished.push_back(std::move(*m_current));
        m_current.reset();
        m_changed = true;
    }
    return std::exchange(m_finished, {});
}

void FeatureCounters::setEnabled(bool enabled) {
    std::lock_guard lock(m_lock);
    m_enabled = enabled;
    if (!enabled) {
        m_current.reset();
        m_finished.clear();
    }
}

void FeatureCounters::setOnDayFinished(std::function<void()> callback) {
    std::lock_guard lock(m_lock);
    m_onDayFinished = std::move(callback);
}

bool FeatureCounters::enabled() const {
    std::lock_guard lock(m_lock);
    return m_enabled;
}

bool FeatureCounters::changed() const {
    std::lock_guard lock(m_lock);
    return m_changed;
}

void FeatureCounters::restoreCurrent(std::optional<Day> day) {
    std::lock_guard lock(m_lock);
    // Counting runs before the engine has read its state: replacing the day
    // would lose those counts.
    if (!day || !m_enabled)
        return;
    if (!m_current) {
        m_current = std::move(day);
    } else if (m_current->day == day->day) {
        for (const auto& [name, n] : day->counts)
            m_current->counts[name] += n;
        m_current->last = std::max(m_current->last, day->last);
    } else {
        m_finished.insert(m_finished.begin(), std::move(*day));
    }
}

std::optional<FeatureCounters::Day> FeatureCounters::takeSnapshot() {
    std::lock_guard lock(m_lock);
    m_changed = false;
    return m_current;
}

void FeatureCounters::discard(bool enabled) {
    std::lock_guard lock(m_lock);
    m_current.reset();
    m_finished.clear();
    m_enabled = enabled;
}

std::optional<FeatureCounters::Day> FeatureCounters::current() const {
    std::lock_guard lock(m_lock);
    return m_current;
}

void to_json(nlohmann::json& j, const FeatureCounters::Day& day) {
    j = nlohmann::json{
        {"day", day.day}, {"counts", day.counts}, {"last", day.last - kReferenceDateOffset}};
}

void from_json(const nlohmann::json& j, FeatureCounters::Day& day) {
    const auto& counts = j.at("counts");
    if (!j.at("day").is_number_integer() || !counts.is_object() || !j.at("last").is_number())
        throw nlohmann::json::type_error::create(302, "feature day", &j);
    day.day = j.at("day").get<int64_t>();
    day.counts.clear();
    for (const auto& [name, value] : counts.items()) {
        if (!value.is_number_integer())
            throw nlohmann::json::type_error::create(302, "feature count", &j);
        day.counts[name] = value.get<int64_t>();
    }
    day.last = j.at("last").get<double>() + kReferenceDateOffset;
}

} // namespace quorvel
