#pragma once

// The folder an installed copy lives in. The install makes it for the
// application alone and leaves a marker in it that names the application and
// every entry it put there; the updater swaps no other folder, so a copy
// installed straight into a shared prefix never moves what is not its own.

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace quorvel {

class AppFolder {
public:
    // A JSON object: "identifier" (string) and "entries" (the names at the top of the folder).
    static constexpr const char* kMarker = ".quorvel-app-folder";

    // Why `folder` is not a folder of `identifier`'s alone; none when it is:
    // a real folder (not a link) with a marker naming `identifier`, holding
    // nothing but the marker and the entries it lists.
    static std::optional<std::string> refusal(const std::filesystem::path& folder,
                                              const std::string& identifier);
};

} // namespace quorvel
