#include "quorvel-kit/statistics/kit_state.h"

namespace quorvel {

KitState KitState::fresh(Date installedAt) {
    KitState s;
    s.installedAt = installedAt;
    return s;
}

std::string KitState::encode() const {
    nlohmann::json j{{"installedAt", installedAt - kReferenceDateOffset},
                     {"seq", seq},
                     {"permissions", permissions},
                     {"pendingDeletions", pendingDeletions},
                     {"backoff", backoff}};
    if (lastVersion)
        j["lastVersion"] = *lastVersion;
    if (lastActiveDay)
        j["lastActiveDay"] = *lastActiveDay;
    if (features)
        j["features"] = *features;
    if (retryAt)
        j["retryAt"] = *retryAt - kReferenceDateOffset;
    // A name the host passed that is not UTF-8 must not end the process at a save.
    return j.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

std::optional<KitState> KitState::decode(const std::string& text) {
    nlohmann::json j = nlohmann::json::parse(text, nullptr, false);
    if (!j.is_object())
        return std::nullopt;
    auto present = [&](const char* key) { return j.contains(key) && !j[key].is_null(); };
    try {
        KitState s;
        const auto& installed = j.at("installedAt");
        const auto& seq = j.at("seq");
        const auto& permissions = j.at("permissions");
        const auto& deletions = j.at("pendingDeletions");
        const auto& backoff = j.at("backoff");
        if (!installed.is_number() || !seq.is_number_integer() || !permissions.is_object() ||
            !deletions.is_array() || !backoff.is_number())
            return std::nullopt;
        s.installedAt = installed.get<double>() + kReferenceDateOffset;
        s.seq = seq.get<int64_t>();
        for (const auto& [name, value] : permissions.items()) {
            if (!value.is_string())
                return std::nullopt;
            s.permissions[name] = value.get<std::string>();
        }
        for (const auto& id : deletions) {
            if (!id.is_string())
                return std::nullopt;
            s.pendingDeletions.push_back(id.get<std::string>());
        }
        s.backoff = backoff.get<double>();
        if (present("lastVersion")) {
            if (!j["lastVersion"].is_string())
                return std::nullopt;
            s.lastVersion = j["lastVersion"].get<std::string>();
        }
        if (present("lastActiveDay")) {
            if (!j["lastActiveDay"].is_number_integer())
                return std::nullopt;
            s.lastActiveDay = j["lastActiveDay"].get<int64_t>();
        }
        if (present("features"))
            s.features = j["features"].get<FeatureCounters::Day>();
        if (present("retryAt")) {
            if (!j["retryAt"].is_number())
                return std::nullopt;
            s.retryAt = j["retryAt"].get<double>() + kReferenceDateOffset;
        }
        return s;
    } catch (const nlohmann::json::exception&) {
        return std::nullopt;
    }
}

} // namespace quorvel
