#include "quorvel-kit/statistics/bundle.h"

#include <fstream>
#include <system_error>

namespace quorvel {

Bundle Bundle::main() {
    std::error_code ec;
    std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    return at(ec ? std::filesystem::current_path(ec) : exe.parent_path());
}

Bundle Bundle::at(const std::filesystem::path& folder) {
    Bundle b;
    b.folder = folder;
    std::ifstream in(folder / "Info.json", std::ios::binary);
    if (in) {
        nlohmann::json j = nlohmann::json::parse(in, nullptr, false);
        if (j.is_object())
            b.info = std::move(j);
    }
    return b;
}

std::optional<std::string> Bundle::string(const std::string& key) const {
    auto it = info.find(key);
    if (it == info.end() || !it->is_string())
        return std::nullopt;
    return it->get<std::string>();
}

} // namespace quorvel
