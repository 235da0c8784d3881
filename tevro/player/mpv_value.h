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
    static MPVValue flag(bool v) { return MPVValue(Storage(std::in_place_index<1>, v)); }
    static MPVValue number(double v) { return MPVValue(Storage(std::in_place_index<2>, v)); }
    static MPVValue string(std::string v) {
        return MPVValue(Storage(std::in_place_index<3>, std::move(v)));
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
    using Storage = std::variant<std::monostate, bool, double, std::string>;
    explicit MPVValue(Storage v) : m_value(std::move(v)) {}
    Storage m_value;
};

} // namespace tevro
