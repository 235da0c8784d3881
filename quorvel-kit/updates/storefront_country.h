#pragma once

// Three-letter storefront country codes to the two-letter codes the store
// look-up takes, and the list of known two-letter regions.

#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>

namespace quorvel {

class StorefrontCountry {
public:
    static const std::map<std::string, std::string>& aliases();
    // Upper-cases the text and looks it up; two-letter codes are not keys.
    static std::optional<std::string> alpha2(std::string_view code);
    // The officially assigned ISO 3166-1 alpha-2 codes.
    static const std::set<std::string>& regions();
};

} // namespace quorvel
