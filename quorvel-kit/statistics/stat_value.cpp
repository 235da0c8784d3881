#include "quorvel-kit/statistics/stat_value.h"

namespace quorvel {

bool StatValue::operator==(const StatValue& other) const {
    if (m_kind != other.m_kind)
        return false;
    switch (m_kind) {
    case Kind::string:
        return m_string == other.m_string;
    case Kind::boolean:
        return m_bool == other.m_bool;
    case Kind::integer:
        return m_int == other.m_int;
    case Kind::object:
        return m_object == other.m_object;
    }
    return false;
}

nlohmann::json StatValue::json() const {
    switch (m_kind) {
    case Kind::string:
        return m_string;
    case Kind::boolean:
        return m_bool;
    case Kind::integer:
        return m_int;
    case Kind::object: {
        nlohmann::json j = nlohmann::json::object();
        for (const auto& [key, value] : m_object)
            j[key] = value.json();
        return j;
    }
    }
    return nullptr;
}

} // namespace quorvel
