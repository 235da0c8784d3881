#pragma once

// The value of one event property: text, flag, integer or nested object.

#include <cstdint>
#include <map>
#include <string>

#include <nlohmann/json.hpp>

namespace quorvel {

class StatValue {
public:
    enum class Kind { string, boolean, integer, object };
    using Object = std::map<std::string, StatValue>;

    StatValue(const char* text) : m_kind(Kind::string), m_string(text) {}
    StatValue(std::string text) : m_kind(Kind::string), m_string(std::move(text)) {}
    StatValue(bool flag) : m_kind(Kind::boolean), m_bool(flag) {}
    StatValue(int number) : m_kind(Kind::integer), m_int(number) {}
    StatValue(int64_t number) : m_kind(Kind::integer), m_int(number) {}
    StatValue(Object object) : m_kind(Kind::object), m_object(std::move(object)) {}

    Kind kind() const { return m_kind; }
    // Same kind and equal payload; a flag never equals a number.
    bool operator==(const StatValue& other) const;

    // The JSON form: a string, a boolean, a number or an object of those.
    nlohmann::json json() const;

private:
    Kind m_kind;
    std::string m_string;
    bool m_bool = false;
    int64_t m_int = 0;
    Object m_object;
};

using StatProperties = std::map<std::string, StatValue>;

} // namespace quorvel
