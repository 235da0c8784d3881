#pragma once

// A backend whose snapshots the test publishes by hand, for the rules of the
// model, the view and the front, which read only the update vocabulary.

#include <vector>

#include "quorvel-kit/updates/update_backend.h"

namespace tevro::test {

class ScriptedBackend : public quorvel::UpdateBackend {
public:
    std::string identifier() const override { return id; }
    quorvel::UpdateSnapshot snapshot() const override { return current; }
    bool automaticallyChecksForUpdates() const override { return automatic; }
    void setAutomaticallyChecksForUpdates(bool on) override {
        if (!keepsOwnSwitch)
            automatic = on;
    }
    std::expected<void, quorvel::UpdateFailure> start() override {
        ++starts;
        if (failStart)
            return std::unexpected(quorvel::UpdateFailure::configuration);
        return {};
    }
    void perform(quorvel::UpdateAction action) override { performed.push_back(action); }

    void publish(quorvel::UpdateSnapshot snapshot) {
        current = std::move(snapshot);
        if (onChange)
            onChange(current);
    }

    std::string id = "scripted.org.tevro.test";
    quorvel::UpdateSnapshot current{quorvel::UpdatePhase::idle(), {quorvel::UpdateAction::check}};
    bool automatic = false;
    bool keepsOwnSwitch = false;
    bool failStart = false;
    int starts = 0;
    std::vector<quorvel::UpdateAction> performed;
};

inline quorvel::UpdateRelease
release(const std::string& id, quorvel::UpdateSource source = quorvel::UpdateSource::direct) {
    return {id, "1." + id, source, std::nullopt};
}

inline quorvel::UpdateSnapshot availableSnapshot(const quorvel::UpdateRelease& r) {
    return {quorvel::UpdatePhase::available(r),
            {quorvel::UpdateAction::download, quorvel::UpdateAction::later,
             quorvel::UpdateAction::skip}};
}

} // namespace tevro::test
