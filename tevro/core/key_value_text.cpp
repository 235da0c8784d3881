#include "tevro/core/key_value_text.h"

namespace tevro {

bool isSafeTextValue(std::string_view value) {
    return value.find_first_of("\r\n") == std::string_view::npos;
}

std::string joinKeyValueLines(const KeyValueLines& lines) {
    std::string out;
    for (const auto& [key, value] : lines) {
        if (!out.empty())
            out += '\n';
        out += key;
        out += '=';
        for (char c : value)
            if (c != '\n' && c != '\r')
                out += c;
    }
    return out;
}

KeyValueLines parseKeyValueText(std::string_view text) {
    KeyValueLines out;
    auto isBlank = [](char c) { return c == ' ' || c == '\t' || c == '\r'; };
    while (!text.empty()) {
        auto nl = text.find('\n');
        std::string_view line = text.substr(0, nl);
        text = nl == std::string_view::npos ? std::string_view() : text.substr(nl + 1);
        // A CRLF text reads like an LF one: trailing carriage returns and
        // spaces are not part of the value.
        while (!line.empty() && (line.back() == '\r' || line.back() == ' '))
            line.remove_suffix(1);
        auto eq = line.find('=');
        if (eq == std::string_view::npos)
            continue;
        std::string_view key = line.substr(0, eq);
        while (!key.empty() && isBlank(key.front()))
            key.remove_prefix(1);
        while (!key.empty() && isBlank(key.back()))
            key.remove_suffix(1);
        if (key.empty())
            continue;
        out.emplace_back(std::string(key), std::string(line.substr(eq + 1)));
    }
    return out;
}

} // namespace tevro
