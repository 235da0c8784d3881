#pragma once

// The one compact JSON writer behind every report of the bridge: no
// whitespace, reals as "%.6g", texts escaped and always valid UTF-8.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tevro::bridge {

class JsonWriter {
public:
    JsonWriter& beginObject();
    JsonWriter& endObject();
    JsonWriter& beginArray();
    JsonWriter& endArray();

    // Keys are fixed ASCII names (or library metric and setting names): verbatim.
    JsonWriter& key(std::string_view name);

    JsonWriter& integer(std::int64_t v);
    JsonWriter& real(double v);
    JsonWriter& boolean(bool v);
    JsonWriter& text(std::string_view v);
    // A value already written by a writer, copied as it is.
    JsonWriter& raw(std::string_view json);

    void reserve(std::size_t bytes) { m_out.reserve(bytes); }
    const std::string& str() const { return m_out; }
    std::string take() { return std::move(m_out); }

    // Appends `v` as a quoted JSON string to `out`.
    static void appendText(std::string& out, std::string_view v);

private:
    void beforeValue();

    std::string m_out;
    std::vector<bool> m_hasMember; // one level per open object or array
    bool m_afterKey = false;
};

} // namespace tevro::bridge
