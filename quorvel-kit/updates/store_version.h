#pragma once

// A dotted numeric version reduced to its parts for ordering: no leading
// zeros, no trailing zero parts, compared as digit strings so parts of any
// length order correctly.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quorvel {

class StoreVersion {
public:
    static std::optional<StoreVersion> parse(std::string_view text);

    const std::vector<std::string>& parts() const { return m_parts; }

    bool operator<(const StoreVersion& other) const;
    bool operator==(const StoreVersion&) const = default;

private:
    std::vector<std::string> m_parts;
};

} // namespace quorvel
