#pragma once

// What a tool gives back: a JSON value, or a document already written the
// way the reply line writes values (compact, keys sorted, valid UTF-8). The
// written one goes into the reply as it is: with thousands of torrents the
// state document is cheaper to splice than to build and encode again.

#include <optional>
#include <string>

#include "tevro/core/json_value.h"

namespace tevro {

class AutomationResult {
public:
    // Implicit: a tool hands its JSON value back as it is.
    AutomationResult(Json value) : m_value(std::move(value)) {}

    static AutomationResult encoded(std::string text) {
        AutomationResult r{Json()};
        r.m_text = std::move(text);
        return r;
    }

    bool isEncoded() const { return m_text.has_value(); }
    // The written document; only when isEncoded().
    const std::string& text() const { return *m_text; }
    // The value; null for a written document.
    const Json& value() const { return m_value; }
    Json takeValue() { return std::move(m_value); }
    std::string takeText() { return std::move(*m_text); }
    // The value either way, a written document read back.
    Json json() const { return m_text ? Json::parse(*m_text) : m_value; }

private:
    Json m_value;
    std::optional<std::string> m_text;
};

} // namespace tevro
