#include "quorvel-kit/updates/app_bundle.h"

#include <fstream>

#include <QCoreApplication>

namespace quorvel {

AppBundle::AppBundle(std::filesystem::path folder) : m_path(std::move(folder)) {
    std::ifstream in(m_path / "Info.json", std::ios::binary);
    if (!in)
        return;
    nlohmann::json parsed = nlohmann::json::parse(in, nullptr, false);
    if (parsed.is_object()) {
        m_info = std::move(parsed);
        m_hasInfo = true;
    }
}

AppBundle AppBundle::main() {
    std::error_code ec;
    std::filesystem::path executable = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec && QCoreApplication::instance())
        executable = QCoreApplication::applicationFilePath().toStdString();
    // Only the executable's own folder: the one above may be a shared prefix.
    return AppBundle(executable.parent_path());
}

std::optional<std::string> AppBundle::identifier() const {
    auto value = stringValue("CFBundleIdentifier");
    if (!value || value->empty())
        return std::nullopt;
    return value;
}

std::optional<std::string> AppBundle::stringValue(const std::string& key) const {
    auto it = m_info.find(key);
    if (it == m_info.end() || !it->is_string())
        return std::nullopt;
    return it->get<std::string>();
}

} // namespace quorvel
