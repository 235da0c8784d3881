#pragma once

// An installed copy of an application: its install folder and the
// information dictionary read from "Info.json" in that folder.

#include <filesystem>
#include <optional>
#include <string>

#include <nlohmann/json.hpp>

namespace quorvel {

class AppBundle {
public:
    AppBundle() = default;
    // Reads "<folder>/Info.json"; a missing or unreadable file leaves an empty dictionary.
    explicit AppBundle(std::filesystem::path folder);

    // The install folder of the running executable: the folder it is in.
    static AppBundle main();

    const std::filesystem::path& path() const { return m_path; }
    // Always an object.
    const nlohmann::json& info() const { return m_info; }
    // Whether the folder carries an information file: the program runs as an installed copy.
    bool isApplication() const { return m_hasInfo; }

    // "CFBundleIdentifier" when it is a non-empty string.
    std::optional<std::string> identifier() const;
    std::optional<std::string> stringValue(const std::string& key) const;

private:
    std::filesystem::path m_path;
    nlohmann::json m_info = nlohmann::json::object();
    bool m_hasInfo = false;
};

} // namespace quorvel
