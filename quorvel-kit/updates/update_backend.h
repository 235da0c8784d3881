#pragma once

// One update source as the update model drives it. Implementations publish
// every snapshot through `onChange` and ignore actions they do not allow.

#include <expected>
#include <functional>
#include <string>

#include "quorvel-kit/updates/update_vocabulary.h"

namespace quorvel {

class UpdateBackend {
public:
    virtual ~UpdateBackend() = default;

    // Stable name of the backend and its configuration; keys user defaults.
    virtual std::string identifier() const = 0;
    virtual UpdateSnapshot snapshot() const = 0;

    // Called with every snapshot the backend publishes.
    std::function<void(const UpdateSnapshot&)> onChange;

    virtual bool automaticallyChecksForUpdates() const = 0;
    virtual void setAutomaticallyChecksForUpdates(bool on) = 0;

    // Prepares the backend and begins its work; a second call after success does nothing.
    virtual std::expected<void, UpdateFailure> start() = 0;
    virtual void perform(UpdateAction action) = 0;
};

} // namespace quorvel
