#include "tevro/engine/status_decoder.h"

namespace tevro {

namespace {

// The end of the JSON object starting at text[from] ('{'), one past its
// closing brace; npos when it does not close.
std::size_t objectEnd(std::string_view text, std::size_t from) {
    int depth = 0;
    bool inString = false;
    for (std::size_t i = from; i < text.size(); ++i) {
        char c = text[i];
        if (inString) {
            if (c == '\\')
                ++i;
            else if (c == '"')
                inString = false;
        } else if (c == '"') {
            inString = true;
        } else if (c == '{' || c == '[') {
            ++depth;
        } else if (c == '}' || c == ']') {
            if (--depth == 0)
                return i + 1;
        }
    }
    return std::string_view::npos;
}

} // namespace

std::optional<StatusSnapshot> StatusDecoder::decode(std::string_view text) {
    // A quote inside a string is escaped, so this can only be the key itself.
    constexpr std::string_view kRows = ",\"torrents\":[";
    std::size_t rows = text.find(kRows);
    if (rows == std::string_view::npos || text.empty() || text.front() != '{') {
        auto whole = StatusSnapshot::decode(text);
        m_rows.clear();
        return whole ? std::optional(std::move(*whole)) : std::nullopt;
    }
    StatusSnapshot out;
    try {
        Json head = Json::parse(std::string(text.substr(0, rows)) + "}");
        auto session = head.find("session");
        if (!head.is_object() || session == head.end() || head.size() != 1)
            return std::nullopt;
        out.session = session->get<SessionInfo>();
    } catch (const std::exception&) {
        return std::nullopt;
    }

    std::unordered_map<std::string, TorrentStatus> seen;
    std::size_t at = rows + kRows.size();
    while (at < text.size() && text[at] != ']') {
        if (text[at] == ',') {
            ++at;
            continue;
        }
        std::size_t end = text[at] == '{' ? objectEnd(text, at) : std::string_view::npos;
        if (end == std::string_view::npos)
            return std::nullopt;
        std::string row(text.substr(at, end - at));
        at = end;
        if (auto cached = m_rows.find(row); cached != m_rows.end()) {
            out.torrents.push_back(cached->second);
        } else if (auto decoded = json::decode<TorrentStatus>(row)) {
            out.torrents.push_back(std::move(*decoded));
        } else {
            return std::nullopt;
        }
        seen.try_emplace(std::move(row), out.torrents.back());
    }
    // The array and the object close, and nothing follows.
    if (text.substr(at) != "]}")
        return std::nullopt;
    m_rows = std::move(seen);
    return out;
}

} // namespace tevro
