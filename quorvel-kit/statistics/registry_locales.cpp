#include "quorvel-kit/statistics/registry_locales.h"

#include <map>
#include <set>

namespace quorvel {

namespace {

const std::set<std::string, std::less<>>& codeSet() {
    static const std::set<std::string, std::less<>> set(RegistryLocales::codes().begin(),
                                                        RegistryLocales::codes().end());
    return set;
}

const std::map<std::string, std::string, std::less<>>& appLocales() {
    static const std::map<std::string, std::string, std::less<>> map{
        {"ar", "ar-SA"}, {"bn", "bn-BD"}, {"nl", "nl-NL"}, {"en", "en-US"}, {"fr", "fr-FR"},
        {"de", "de-DE"}, {"gu", "gu-IN"}, {"kn", "kn-IN"}, {"ml", "ml-IN"}, {"mr", "mr-IN"},
        {"nb", "no"},    {"or", "or-IN"}, {"pa", "pa-IN"}, {"sl", "sl-SI"}, {"es", "es-ES"},
        {"ta", "ta-IN"}, {"te", "te-IN"}, {"ur", "ur-PK"},
    };
    return map;
}

} // namespace

const std::vector<std::string>& RegistryLocales::codes() {
    static const std::vector<std::string> codes{
        "ar-SA", "bn-BD", "ca",    "zh-Hans", "zh-Hant", "hr",    "cs",    "da", "nl-NL", "en-AU",
        "en-CA", "en-GB", "en-US", "fi",      "fr-FR",   "fr-CA", "de-DE", "el", "gu-IN", "he",
        "hi",    "hu",    "id",    "it",      "ja",      "kn-IN", "ko",    "ms", "ml-IN", "mr-IN",
        "no",    "or-IN", "pl",    "pt-BR",   "pt-PT",   "pa-IN", "ro",    "ru", "sk",    "sl-SI",
        "es-MX", "es-ES", "sv",    "ta-IN",   "te-IN",   "th",    "tr",    "uk", "ur-PK", "vi",
    };
    return codes;
}

std::string RegistryLocales::code(std::string_view locale) {
    if (codeSet().contains(locale))
        return std::string(locale);
    auto it = appLocales().find(locale);
    if (it != appLocales().end())
        return it->second;
    return "en-US";
}

} // namespace quorvel
