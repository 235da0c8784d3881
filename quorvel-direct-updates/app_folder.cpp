#include "quorvel-direct-updates/app_folder.h"

#include <fstream>
#include <set>

#include <sys/stat.h>

#include <nlohmann/json.hpp>

namespace quorvel {

namespace fs = std::filesystem;

std::optional<std::string> AppFolder::refusal(const fs::path& folder,
                                              const std::string& identifier) {
    struct stat info {};
    if (::lstat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode))
        return "not a folder";
    std::error_code ec;
    const fs::path real = fs::canonical(folder, ec);
    if (ec || real == real.root_path())
        return "not a folder of its own";
    if (::lstat((folder / kMarker).c_str(), &info) != 0 || !S_ISREG(info.st_mode))
        return "no marker";
    std::ifstream in(folder / kMarker, std::ios::binary);
    const nlohmann::json marker = nlohmann::json::parse(in, nullptr, false);
    if (!marker.is_object() || !marker.contains("identifier") ||
        !marker["identifier"].is_string() || marker["identifier"].get<std::string>() != identifier)
        return "the marker names another application";
    if (!marker.contains("entries") || !marker["entries"].is_array())
        return "the marker lists nothing";
    std::set<std::string> entries{kMarker};
    for (const auto& entry : marker["entries"]) {
        if (!entry.is_string())
            return "the marker lists nothing";
        entries.insert(entry.get<std::string>());
    }
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        if (!entries.contains(it->path().filename().string()))
            return "the folder holds " + it->path().filename().string();
    }
    if (ec)
        return "the folder cannot be read";
    return std::nullopt;
}

} // namespace quorvel
