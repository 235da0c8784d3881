#include "tevro/bridge/json_writer.h"

#include <cinttypes>
#include <cmath>
#include <cstdio>

#include "tevro/bridge/utf8.h"

namespace tevro::bridge {

void JsonWriter::beforeValue() {
    if (m_afterKey) {
        m_afterKey = false;
        return;
    }
    if (!m_hasMember.empty()) {
        if (m_hasMember.back())
            m_out += ',';
        m_hasMember.back() = true;
    }
}

JsonWriter& JsonWriter::beginObject() {
    beforeValue();
    m_out += '{';
    m_hasMember.push_back(false);
    return *this;
}

JsonWriter& JsonWriter::endObject() {
    m_out += '}';
    m_hasMember.pop_back();
    return *this;
}

JsonWriter& JsonWriter::beginArray() {
    beforeValue();
    m_out += '[';
    m_hasMember.push_back(false);
    return *this;
}

JsonWriter& JsonWriter::endArray() {
    m_out += ']';
    m_hasMember.pop_back();
    return *this;
}

JsonWriter& JsonWriter::key(std::string_view name) {
    beforeValue();
    m_out += '"';
    m_out += name;
    m_out += "\":";
    m_afterKey = true;
    return *this;
}

JsonWriter& JsonWriter::integer(std::int64_t v) {
    beforeValue();
    char buf[32];
    std::snprintf(buf, sizeof buf, "%" PRId64, v);
    m_out += buf;
    return *this;
}

JsonWriter& JsonWriter::real(double v) {
    beforeValue();
    // JSON has no NaN or infinity; a library value that is one reads as 0.
    if (!std::isfinite(v))
        v = 0;
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.6g", v);
    m_out += buf;
    return *this;
}

JsonWriter& JsonWriter::boolean(bool v) {
    beforeValue();
    m_out += v ? "true" : "false";
    return *this;
}

JsonWriter& JsonWriter::text(std::string_view v) {
    beforeValue();
    appendText(m_out, v);
    return *this;
}

JsonWriter& JsonWriter::raw(std::string_view json) {
    beforeValue();
    m_out += json;
    return *this;
}

void JsonWriter::appendText(std::string& out, std::string_view v) {
    out += '"';
    while (!v.empty()) {
        auto c = static_cast<unsigned char>(v.front());
        std::size_t consumed = 1;
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            if (c < 0x20) {
                char buf[8];
                std::snprintf(buf, sizeof buf, "\\u%04x", c);
                out += buf;
            } else if (c < 0x80) {
                out += static_cast<char>(c);
            } else if (std::size_t n = utf8SequenceLength(v)) {
                out.append(v.data(), n);
                consumed = n;
            } else {
                out += "\xEF\xBF\xBD";
            }
        }
        v.remove_prefix(consumed);
    }
    out += '"';
}

} // namespace tevro::bridge
