#pragma once

// The update window's, menu item's and notice's own texts in 50 languages,
// independent of the host's translations.

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <QString>

namespace quorvel {

class UpdateText {
public:
    enum class Key {
        title,
        check,
        automatic,
        available,
        current,
        checking,
        download,
        install,
        later,
        skip,
        cancel,
        store,
        done,
        preparing,
        installing,
        failed,
        unavailable,
        verification,
        notify,
    };
    static constexpr int kKeyCount = 19;
    static std::optional<Key> keyFromRaw(int raw);
    static std::array<Key, kKeyCount> allKeys();

    // With no language, the host's preferred localizations decide.
    static QString string(Key key, const std::optional<std::string>& language = std::nullopt);

    // The table's language codes, in order.
    static const std::vector<std::string>& languages();
    // The table's code that best matches the list, or "en".
    static std::string match(const std::vector<std::string>& preferences);

    // The languages the host offers, in the user's order. Unless set by the
    // host: the "CFBundleLocalizations" of the main bundle's information ordered
    // by the user's languages, else the user's languages.
    static std::vector<std::string> preferredLocalizations();
    static void setPreferredLocalizations(std::vector<std::string> languages);

    static bool isRightToLeft(std::string_view language);
};

} // namespace quorvel
