#pragma once

// One installation identifier kept in two stores, the desktop's keychain and a
// file, so that a run where the keychain is missing and one where it is there
// use the same identifier: loading looks in both, keeps the first valid one
// found and copies it to the store that lacks it; saving writes both.

#include <functional>
#include <memory>

#include "quorvel-kit/statistics/identity_store.h"

namespace quorvel {

class MirroredIdentityStore : public IdentityStore {
public:
    // `primary` wins when both hold a valid identifier; either may be null
    // (the keychain where no Secret Service runs).
    MirroredIdentityStore(std::shared_ptr<IdentityStore> primary,
                          std::shared_ptr<IdentityStore> secondary,
                          std::function<bool(const std::string&)> valid);

    std::optional<std::string> load() const override;
    std::expected<void, std::string> save(const std::string& id) const override;

private:
    std::shared_ptr<IdentityStore> m_stores[2];
    std::function<bool(const std::string&)> m_valid;
};

} // namespace quorvel
