#pragma once

// Normalises the locale an application reports for itself to one of the
// fifty locale codes the maker's services accept.

#include <string>
#include <string_view>
#include <vector>

namespace quorvel {

class RegistryLocales {
public:
    // The fifty accepted codes, in their stored order.
    static const std::vector<std::string>& codes();

    // The code for an application locale: itself when accepted, its mapped
    // code when it has one, else "en-US". Exact comparison, no folding.
    static std::string code(std::string_view locale);
};

} // namespace quorvel
