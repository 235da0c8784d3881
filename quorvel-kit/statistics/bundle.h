#pragma once

// The application's own description: the folder it runs from and the
// information read from "Info.json" beside the executable.

#include <filesystem>

#include <nlohmann/json.hpp>

namespace quorvel {

struct Bundle {
    std::filesystem::path folder;                   // where the executable lives
    nlohmann::json info = nlohmann::json::object(); // "Info.json"; empty when absent or unreadable

    // The running program's bundle.
    static Bundle main();
    // The bundle of an executable kept in `folder`.
    static Bundle at(const std::filesystem::path& folder);

    // A string value of the information, or nothing when absent or not a string.
    std::optional<std::string> string(const std::string& key) const;
};

} // namespace quorvel
