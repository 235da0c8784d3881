#include "quorvel-kit/updates/update_vocabulary.h"

#include <array>
#include <utility>

namespace quorvel {

namespace {

template <typename E, std::size_t N>
std::optional<E> fromRaw(const std::array<std::string_view, N>& names, std::string_view raw) {
    for (std::size_t i = 0; i < N; ++i) {
        if (names[i] == raw)
            return static_cast<E>(i);
    }
    return std::nullopt;
}

constexpr std::array<std::string_view, 9> kActionNames = {
    "check", "cancel",       "download",    "installAndRelaunch", "later",
    "skip",  "openAppStore", "acknowledge", "retryTermination",
};

constexpr std::array<std::string_view, 9> kFailureNames = {
    "configuration",     "network",      "invalidResponse", "unavailableInStorefront",
    "requiresNewerOS",   "verification", "installation",    "cannotOpenStore",
    "unsupportedUpdate",
};

constexpr std::array<std::string_view, 2> kSourceNames = {"appStore", "direct"};

} // namespace

std::string_view rawValue(UpdateAction action) {
    return kActionNames[static_cast<std::size_t>(action)];
}

std::optional<UpdateAction> updateActionFromRaw(std::string_view raw) {
    return fromRaw<UpdateAction>(kActionNames, raw);
}

std::string_view rawValue(UpdateFailure failure) {
    return kFailureNames[static_cast<std::size_t>(failure)];
}

std::optional<UpdateFailure> updateFailureFromRaw(std::string_view raw) {
    return fromRaw<UpdateFailure>(kFailureNames, raw);
}

std::string_view rawValue(UpdateSource source) {
    return kSourceNames[static_cast<std::size_t>(source)];
}

std::optional<UpdateSource> updateSourceFromRaw(std::string_view raw) {
    return fromRaw<UpdateSource>(kSourceNames, raw);
}

UpdatePhase UpdatePhase::available(UpdateRelease release) {
    UpdatePhase phase(Kind::available);
    phase.m_release = std::move(release);
    return phase;
}

UpdatePhase UpdatePhase::downloading(std::uint64_t received, std::optional<std::uint64_t> total) {
    UpdatePhase phase(Kind::downloading);
    phase.m_received = received;
    phase.m_total = total;
    return phase;
}

UpdatePhase UpdatePhase::extracting(std::optional<double> progress) {
    UpdatePhase phase(Kind::extracting);
    phase.m_progress = progress;
    return phase;
}

UpdatePhase UpdatePhase::readyToInstall(UpdateRelease release) {
    UpdatePhase phase(Kind::readyToInstall);
    phase.m_release = std::move(release);
    return phase;
}

UpdatePhase UpdatePhase::failed(UpdateFailure failure) {
    UpdatePhase phase(Kind::failed);
    phase.m_failure = failure;
    return phase;
}

bool UpdatePhase::operator==(const UpdatePhase& other) const {
    if (m_kind != other.m_kind)
        return false;
    switch (m_kind) {
    case Kind::available:
    case Kind::readyToInstall:
        return m_release == other.m_release;
    case Kind::downloading:
        return m_received == other.m_received && m_total == other.m_total;
    case Kind::extracting:
        return m_progress == other.m_progress;
    case Kind::failed:
        return m_failure == other.m_failure;
    default:
        return true;
    }
}

} // namespace quorvel
