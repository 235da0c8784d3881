#pragma once

// Typed values under string keys, one JSON file per domain, every write
// saved atomically. Stores opened on the same domain share their values.

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include <nlohmann/json_fwd.hpp>

namespace quorvel {

class UserDefaults {
public:
    using Date = std::chrono::system_clock::time_point;

    // The domain's file is "<folder>/defaults/<domain>.json".
    UserDefaults(std::string domain, std::filesystem::path folder);
    explicit UserDefaults(std::string domain) : UserDefaults(std::move(domain), standardFolder()) {}

    // The host's own domain, in the host's data folder.
    static UserDefaults standard();
    // Set once by the host before any store is opened; the default folder is
    // the application's data location, the default domain its bundle identifier.
    static void setStandardFolder(std::filesystem::path folder);
    static std::filesystem::path standardFolder();
    static void setStandardDomain(std::string domain);
    static std::string standardDomain();

    const std::string& domain() const { return m_domain; }
    bool contains(const std::string& key) const;

    // Each reader answers none when the key is absent or holds another type.
    std::optional<bool> boolValue(const std::string& key) const;
    std::optional<std::int64_t> integerValue(const std::string& key) const;
    std::optional<std::string> stringValue(const std::string& key) const;
    std::optional<Date> dateValue(const std::string& key) const;

    void setBool(const std::string& key, bool value);
    void setInteger(const std::string& key, std::int64_t value);
    void setString(const std::string& key, const std::string& value);
    void setDate(const std::string& key, Date value);
    void remove(const std::string& key);

    struct Domain;

private:
    std::string m_domain;
    std::shared_ptr<Domain> m_store;
};

} // namespace quorvel
