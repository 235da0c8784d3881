#pragma once

// The value of an observed mpv property as the player reads it.

#include <optional>
#include <string>
#include <utility>
#include <variant>

namespace tevro {

class MPVValue {
public:
    MPVValue() = default;
    static MPVValue none() { return MPVValue(); }
    static MPVValue flag(bool v) {
        MPVValue out;
        out.m_value.emplace<1>(v);
        return out;
    }
    static MPVValue number(double v) {
        MPVValue out;
        out.m_value.emplace<2>(v);
        return out;
    }
    static MPVValue string(std::string v) {
        MPVValue out;
        out.m_value.emplace<3>(std::move(v));
        return out;
    }

    bool isNone() const { return m_value.index() == 0; }
    std::optional<bool> asFlag() const {
        if (auto* v = std::get_if<1>(&m_value))
            return *v;
        return std::nullopt;
    }
    std::optional<double> asDouble() const {
        if (auto* v = std::get_if<2>(&m_value))
            return *v;
        return std::nullopt;
    }
    std::optional<std::string> asString() const {
        if (auto* v = std::get_if<3>(&m_value))
            return *v;
        return std::nullopt;
    }

    bool operator==(const MPVValue&) const = default;

private:
    std::variant<std::monostate, bool, double, std::string> m_value;
};

} // namespace tevro
