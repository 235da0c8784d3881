#pragma once

// The words every update source speaks: what the user may do, why a step
// failed, the release on offer, and the phase of checking, downloading and
// installing. The view, the model and the menu read only these.

#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <string_view>

namespace quorvel {

enum class UpdateAction {
    check,
    cancel,
    download,
    installAndRelaunch,
    later,
    skip,
    openAppStore,
    acknowledge,
    retryTermination,
};

std::string_view rawValue(UpdateAction action);
std::optional<UpdateAction> updateActionFromRaw(std::string_view raw);

enum class UpdateFailure {
    configuration,
    network,
    invalidResponse,
    unavailableInStorefront,
    requiresNewerOS,
    verification,
    installation,
    cannotOpenStore,
    unsupportedUpdate,
};

std::string_view rawValue(UpdateFailure failure);
std::optional<UpdateFailure> updateFailureFromRaw(std::string_view raw);

enum class UpdateSource { appStore, direct };

std::string_view rawValue(UpdateSource source);
std::optional<UpdateSource> updateSourceFromRaw(std::string_view raw);

struct UpdateRelease {
    std::string id;      // compared to decide whether a notice was shown
    std::string version; // shown to the user
    UpdateSource source = UpdateSource::direct;
    std::optional<std::string> releaseNotes; // plain text

    bool operator==(const UpdateRelease&) const = default;
};

// One phase with the payload of its kind; only that payload takes part in equality.
class UpdatePhase {
public:
    enum class Kind {
        idle,
        checking,
        upToDate,
        available,
        downloading,
        extracting,
        readyToInstall,
        installing,
        installed,
        failed,
    };

    UpdatePhase() = default;
    static UpdatePhase idle() { return UpdatePhase(Kind::idle); }
    static UpdatePhase checking() { return UpdatePhase(Kind::checking); }
    static UpdatePhase upToDate() { return UpdatePhase(Kind::upToDate); }
    static UpdatePhase available(UpdateRelease release);
    static UpdatePhase downloading(std::uint64_t received, std::optional<std::uint64_t> total);
    static UpdatePhase extracting(std::optional<double> progress);
    static UpdatePhase readyToInstall(UpdateRelease release);
    static UpdatePhase installing() { return UpdatePhase(Kind::installing); }
    static UpdatePhase installed() { return UpdatePhase(Kind::installed); }
    static UpdatePhase failed(UpdateFailure failure);

    Kind kind() const { return m_kind; }
    // The release of `available` and `readyToInstall`, else none.
    const std::optional<UpdateRelease>& release() const { return m_release; }
    std::uint64_t received() const { return m_received; }
    std::optional<std::uint64_t> total() const { return m_total; }
    std::optional<double> progress() const { return m_progress; }
    UpdateFailure failure() const { return m_failure; }

    bool operator==(const UpdatePhase& other) const;

private:
    explicit UpdatePhase(Kind kind) : m_kind(kind) {}

    Kind m_kind = Kind::idle;
    std::optional<UpdateRelease> m_release;
    std::uint64_t m_received = 0;
    std::optional<std::uint64_t> m_total;
    std::optional<double> m_progress;
    UpdateFailure m_failure = UpdateFailure::configuration;
};

using UpdateActions = std::set<UpdateAction>;

struct UpdateSnapshot {
    UpdatePhase phase;
    UpdateActions actions; // what the user may do now; any other action is ignored

    bool operator==(const UpdateSnapshot&) const = default;
};

} // namespace quorvel
