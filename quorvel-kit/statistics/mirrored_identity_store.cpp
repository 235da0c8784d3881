#include "quorvel-kit/statistics/mirrored_identity_store.h"

namespace quorvel {

MirroredIdentityStore::MirroredIdentityStore(std::shared_ptr<IdentityStore> primary,
                                             std::shared_ptr<IdentityStore> secondary,
                                             std::function<bool(const std::string&)> valid)
    : m_stores{std::move(primary), std::move(secondary)}, m_valid(std::move(valid)) {}

std::optional<std::string> MirroredIdentityStore::load() const {
    std::optional<std::string> found[2];
    for (int i = 0; i < 2; ++i) {
        if (m_stores[i])
            found[i] = m_stores[i]->load();
        if (found[i] && m_valid && !m_valid(*found[i]))
            found[i].reset();
    }
    const int kept = found[0] ? 0 : found[1] ? 1 : -1;
    if (kept < 0)
        return std::nullopt;
    const int other = 1 - kept;
    if (m_stores[other] && found[other] != found[kept])
        (void)m_stores[other]->save(*found[kept]);
    return found[kept];
}

std::expected<void, std::string> MirroredIdentityStore::save(const std::string& id) const {
    // Stored anywhere is stored: the next load copies it on.
    bool stored = false;
    std::string errors = "no store";
    for (const auto& store : m_stores) {
        if (!store)
            continue;
        if (auto saved = store->save(id))
            stored = true;
        else
            errors = saved.error();
    }
    if (!stored)
        return std::unexpected(errors);
    return {};
}

} // namespace quorvel
