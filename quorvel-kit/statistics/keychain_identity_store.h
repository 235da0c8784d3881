#pragma once

// The identifier as a per-user secret in the desktop's Secret Service, found by
// its service name and the account "installation-id". Items live in the local
// default collection only, never synchronised to other machines.

#include <string>

#include "quorvel-kit/statistics/identity_store.h"

namespace quorvel {

class KeychainIdentityStore : public IdentityStore {
public:
    explicit KeychainIdentityStore(std::string service)
        : m_service(std::move(service)), m_account("installation-id") {}
    const std::string& service() const { return m_service; }
    const std::string& account() const { return m_account; }

    // Whether a Secret Service runs on the session bus now.
    static bool available();

    std::optional<std::string> load() const override;
    std::expected<void, std::string> save(const std::string& id) const override;

private:
    std::string m_service;
    std::string m_account;
};

} // namespace quorvel
