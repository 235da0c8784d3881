#pragma once

// Where the installation's identifier is kept between runs.

#include <expected>
#include <optional>
#include <string>

namespace quorvel {

class IdentityStore {
public:
    virtual ~IdentityStore() = default;
    // The stored identifier, or nothing; every problem reads as nothing.
    virtual std::optional<std::string> load() const = 0;
    // Stores the identifier; the error text says what failed.
    virtual std::expected<void, std::string> save(const std::string& id) const = 0;
};

} // namespace quorvel
