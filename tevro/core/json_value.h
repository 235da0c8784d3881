#pragma once

// Typed access to JSON values with the two decoding disciplines of Tevro's
// formats: strict (any missing, null or mistyped key fails the whole value)
// and tolerant (a bad key keeps its default).

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <expected>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

namespace tevro {

using Json = nlohmann::json;

struct DecodeError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

namespace json {

// Converts one JSON value to T, or nothing when its JSON type does not fit.
// Integers accept only integral numbers; doubles accept any number.
template <class T> std::optional<T> as(const Json& v);

template <> inline std::optional<std::string> as(const Json& v) {
    if (!v.is_string())
        return std::nullopt;
    return v.get<std::string>();
}

template <> inline std::optional<bool> as(const Json& v) {
    if (!v.is_boolean())
        return std::nullopt;
    return v.get<bool>();
}

template <> inline std::optional<std::int64_t> as(const Json& v) {
    if (v.is_number_integer()) {
        if (v.is_number_unsigned() && v.get<std::uint64_t>() > INT64_MAX)
            return std::nullopt;
        return v.get<std::int64_t>();
    }
    if (v.is_number_float()) {
        // The range first: casting a double beyond it is undefined.
        double d = v.get<double>();
        if (d >= -9.2e18 && d <= 9.2e18 && d == std::trunc(d))
            return static_cast<std::int64_t>(d);
    }
    return std::nullopt;
}

template <> inline std::optional<double> as(const Json& v) {
    if (!v.is_number())
        return std::nullopt;
    return v.get<double>();
}

template <> inline std::optional<std::vector<std::string>> as(const Json& v) {
    if (!v.is_array())
        return std::nullopt;
    std::vector<std::string> out;
    out.reserve(v.size());
    for (const auto& e : v) {
        if (!e.is_string())
            return std::nullopt;
        out.push_back(e.get<std::string>());
    }
    return out;
}

inline void requireObject(const Json& v, std::string_view what) {
    if (!v.is_object())
        throw DecodeError(std::string(what) + ": expected an object");
}

// A required key: missing, null or mistyped throws DecodeError.
template <class T> T require(const Json& obj, const char* key) {
    auto it = obj.find(key);
    if (it == obj.end())
        throw DecodeError(std::string("missing key \"") + key + "\"");
    auto v = as<T>(*it);
    if (!v)
        throw DecodeError(std::string("wrong type for key \"") + key + "\"");
    return std::move(*v);
}

// An optional key: missing or null is nothing; a mistyped value throws.
template <class T> std::optional<T> optional(const Json& obj, const char* key) {
    auto it = obj.find(key);
    if (it == obj.end() || it->is_null())
        return std::nullopt;
    auto v = as<T>(*it);
    if (!v)
        throw DecodeError(std::string("wrong type for key \"") + key + "\"");
    return v;
}

// A tolerant key: a usable value replaces `out`; anything else leaves it.
template <class T> void tolerant(const Json& obj, const char* key, T& out) {
    auto it = obj.find(key);
    if (it == obj.end())
        return;
    if (auto v = as<T>(*it))
        out = std::move(*v);
}

// True when `written` holds all that `read` holds: every key of every object
// (a null in `read` counts as absent), arrays element by element, equal
// scalars, numbers within a rounding of the last digits. A decoder whose
// re-encoded value keeps its input lost nothing of it.
inline bool keeps(const Json& written, const Json& read) {
    if (read.is_object()) {
        if (!written.is_object())
            return false;
        for (const auto& [key, value] : read.items()) {
            auto it = written.find(key);
            if (it == written.end() ? !value.is_null() : !keeps(*it, value))
                return false;
        }
        return true;
    }
    if (read.is_array()) {
        if (!written.is_array() || written.size() != read.size())
            return false;
        for (std::size_t i = 0; i < read.size(); ++i)
            if (!keeps(written[i], read[i]))
                return false;
        return true;
    }
    if (read.is_number() && written.is_number()) {
        double a = read.get<double>(), b = written.get<double>();
        return a == b || std::fabs(a - b) <= 1e-9 * std::max(std::fabs(a), std::fabs(b));
    }
    return written == read;
}

// Parses text and decodes it with T's from_json; never throws.
template <class T> std::expected<T, std::string> decode(std::string_view text) {
    try {
        Json j = Json::parse(text);
        return j.get<T>();
    } catch (const std::exception& e) {
        return std::unexpected(std::string(e.what()));
    }
}

// Decodes an array of T; one bad element fails the whole array.
template <class T> std::expected<std::vector<T>, std::string> decodeArray(std::string_view text) {
    try {
        Json j = Json::parse(text);
        if (!j.is_array())
            return std::unexpected(std::string("expected an array"));
        std::vector<T> out;
        out.reserve(j.size());
        for (const auto& e : j)
            out.push_back(e.get<T>());
        return out;
    } catch (const std::exception& e) {
        return std::unexpected(std::string(e.what()));
    }
}

} // namespace json
} // namespace tevro
