#pragma once

// The identifier as bare UTF-8 text in one file (debug and test copies, and
// machines without a Secret Service).

#include <filesystem>

#include "quorvel-kit/statistics/identity_store.h"

namespace quorvel {

class FileIdentityStore : public IdentityStore {
public:
    explicit FileIdentityStore(std::filesystem::path url) : m_url(std::move(url)) {}
    const std::filesystem::path& url() const { return m_url; }

    std::optional<std::string> load() const override;
    std::expected<void, std::string> save(const std::string& id) const override;

private:
    std::filesystem::path m_url;
};

} // namespace quorvel
