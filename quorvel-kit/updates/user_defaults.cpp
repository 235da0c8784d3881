#include "quorvel-kit/updates/user_defaults.h"

#include <fstream>
#include <map>
#include <mutex>

#include <QCoreApplication>
#include <QStandardPaths>
#include <nlohmann/json.hpp>

#include "quorvel-kit/updates/app_bundle.h"

namespace quorvel {

namespace {

// Dates are kept as seconds since 2001-01-01 00:00:00 UTC under this one key.
constexpr const char* kDateKey = "$date";
constexpr std::int64_t kReferenceDate = 978307200;

std::mutex& registryMutex() {
    static std::mutex mutex;
    return mutex;
}

std::optional<std::filesystem::path>& folderOverride() {
    static std::optional<std::filesystem::path> folder;
    return folder;
}

std::optional<std::string>& domainOverride() {
    static std::optional<std::string> domain;
    return domain;
}

} // namespace

struct UserDefaults::Domain {
    std::filesystem::path file;
    nlohmann::json values = nlohmann::json::object();

    explicit Domain(std::filesystem::path path) : file(std::move(path)) {
        std::ifstream in(file, std::ios::binary);
        if (!in)
            return;
        nlohmann::json parsed = nlohmann::json::parse(in, nullptr, false);
        if (parsed.is_object())
            values = std::move(parsed);
    }

    void save() const {
        std::error_code ec;
        std::filesystem::create_directories(file.parent_path(), ec);
        const std::filesystem::path temporary = file.string() + ".tmp";
        {
            std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
            if (!out)
                return;
            out << values.dump(2) << '\n';
            if (!out.flush())
                return;
        }
        std::filesystem::rename(temporary, file, ec);
    }
};

UserDefaults::UserDefaults(std::string domain, std::filesystem::path folder)
    : m_domain(std::move(domain)) {
    static std::map<std::filesystem::path, std::weak_ptr<Domain>> registry;
    const std::filesystem::path file = folder / "defaults" / (m_domain + ".json");
    std::lock_guard lock(registryMutex());
    std::weak_ptr<Domain>& slot = registry[file];
    m_store = slot.lock();
    if (!m_store) {
        m_store = std::make_shared<Domain>(file);
        slot = m_store;
    }
}

UserDefaults UserDefaults::standard() {
    return UserDefaults(standardDomain(), standardFolder());
}

void UserDefaults::setStandardFolder(std::filesystem::path folder) {
    folderOverride() = std::move(folder);
}

std::filesystem::path UserDefaults::standardFolder() {
    if (folderOverride())
        return *folderOverride();
    return QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation).toStdString();
}

void UserDefaults::setStandardDomain(std::string domain) {
    domainOverride() = std::move(domain);
}

std::string UserDefaults::standardDomain() {
    if (domainOverride())
        return *domainOverride();
    if (auto identifier = AppBundle::main().identifier())
        return *identifier;
    const QString name = QCoreApplication::applicationName();
    return name.isEmpty() ? "default" : name.toStdString();
}

bool UserDefaults::contains(const std::string& key) const {
    return m_store->values.contains(key);
}

std::optional<bool> UserDefaults::boolValue(const std::string& key) const {
    auto it = m_store->values.find(key);
    if (it == m_store->values.end() || !it->is_boolean())
        return std::nullopt;
    return it->get<bool>();
}

std::optional<std::int64_t> UserDefaults::integerValue(const std::string& key) const {
    auto it = m_store->values.find(key);
    if (it == m_store->values.end() || !it->is_number_integer())
        return std::nullopt;
    if (it->is_number_unsigned() && it->get<std::uint64_t>() > INT64_MAX)
        return std::nullopt;
    return it->get<std::int64_t>();
}

std::optional<std::string> UserDefaults::stringValue(const std::string& key) const {
    auto it = m_store->values.find(key);
    if (it == m_store->values.end() || !it->is_string())
        return std::nullopt;
    return it->get<std::string>();
}

std::optional<UserDefaults::Date> UserDefaults::dateValue(const std::string& key) const {
    auto it = m_store->values.find(key);
    if (it == m_store->values.end() || !it->is_object() || it->size() != 1)
        return std::nullopt;
    auto seconds = it->find(kDateKey);
    if (seconds == it->end() || !seconds->is_number())
        return std::nullopt;
    const double since2001 = seconds->get<double>();
    const auto since1970 = std::chrono::duration<double>(since2001 + kReferenceDate);
    return Date(std::chrono::duration_cast<Date::duration>(since1970));
}

void UserDefaults::setBool(const std::string& key, bool value) {
    m_store->values[key] = value;
    m_store->save();
}

void UserDefaults::setInteger(const std::string& key, std::int64_t value) {
    m_store->values[key] = value;
    m_store->save();
}

void UserDefaults::setString(const std::string& key, const std::string& value) {
    m_store->values[key] = value;
    m_store->save();
}

void UserDefaults::setDate(const std::string& key, Date value) {
    const double since1970 = std::chrono::duration<double>(value.time_since_epoch()).count();
    m_store->values[key] = nlohmann::json{{kDateKey, since1970 - kReferenceDate}};
    m_store->save();
}

void UserDefaults::remove(const std::string& key) {
    if (m_store->values.erase(key) > 0)
        m_store->save();
}

} // namespace quorvel
