#include "quorvel-kit/updates/store_version.h"

#include <algorithm>

namespace quorvel {

namespace {
constexpr std::size_t kMaxBytes = 128;
constexpr std::size_t kMaxParts = 8;
} // namespace

std::optional<StoreVersion> StoreVersion::parse(std::string_view text) {
    if (text.empty() || text.size() > kMaxBytes)
        return std::nullopt;
    std::vector<std::string> parts;
    std::size_t start = 0;
    for (;;) {
        const std::size_t dot = text.find('.', start);
        parts.emplace_back(text.substr(start, dot == std::string_view::npos ? dot : dot - start));
        if (parts.size() > kMaxParts)
            return std::nullopt;
        if (dot == std::string_view::npos)
            break;
        start = dot + 1;
    }
    for (std::string& part : parts) {
        if (part.empty() ||
            !std::all_of(part.begin(), part.end(), [](char c) { return c >= '0' && c <= '9'; }))
            return std::nullopt;
        part.erase(0, part.find_first_not_of('0') == std::string::npos
                          ? part.size()
                          : part.find_first_not_of('0'));
    }
    while (!parts.empty() && parts.back().empty())
        parts.pop_back();
    StoreVersion version;
    version.m_parts = std::move(parts);
    return version;
}

bool StoreVersion::operator<(const StoreVersion& other) const {
    const std::size_t count = std::max(m_parts.size(), other.m_parts.size());
    static const std::string kEmpty;
    for (std::size_t i = 0; i < count; ++i) {
        const std::string& left = i < m_parts.size() ? m_parts[i] : kEmpty;
        const std::string& right = i < other.m_parts.size() ? other.m_parts[i] : kEmpty;
        if (left.size() != right.size())
            return left.size() < right.size();
        if (left != right)
            return left < right;
    }
    return false;
}

} // namespace quorvel
