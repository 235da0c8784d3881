#include "tevro/engine/status_decoder.h"

#include <algorithm>
#include <string_view>
#include <unordered_set>

#include <QString>

#include "tevro/core/json_value.h"
#include "tevro/core/status_snapshot.h"

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

// The id a row starts with, as the bridge writes rows; empty for any other start.
std::string_view rowId(std::string_view text, std::size_t at) {
    constexpr std::string_view kPrefix = "{\"id\":\"";
    if (text.substr(at, kPrefix.size()) != kPrefix)
        return {};
    std::size_t from = at + kPrefix.size();
    std::size_t end = text.find('"', from);
    if (end == std::string_view::npos)
        return {};
    std::string_view id = text.substr(from, end - from);
    return id.find('\\') == std::string_view::npos ? id : std::string_view();
}

// Names compare by code points of their canonical composition; ASCII is
// its own composition (and most names are ASCII).
std::string sortKey(const std::string& name) {
    if (std::ranges::all_of(name, [](char c) { return static_cast<unsigned char>(c) < 0x80; }))
        return name;
    return QString::fromStdString(name).normalized(QString::NormalizationForm_C).toStdString();
}

// Rows are told apart by length and a 64-bit hash of their bytes: keeping
// the last report itself would cost as much again as the report.
std::uint64_t rowHash(std::string_view row) {
    return std::hash<std::string_view>{}(row);
}

constexpr std::size_t kNone = static_cast<std::size_t>(-1);

} // namespace

std::optional<StatusDelta> StatusDecoder::decode(std::string_view text) {
    // A quote inside a string is escaped, so this can only be the key itself.
    constexpr std::string_view kRows = ",\"torrents\":[";
    std::size_t rows = text.find(kRows);
    if (rows == std::string_view::npos || text.empty() || text.front() != '{') {
        // Not laid out as the bridge writes it: decode it whole, compare nothing.
        auto snapshot = StatusSnapshot::decode(text);
        if (!snapshot)
            return std::nullopt;
        std::unordered_set<std::string_view> ids;
        for (const auto& t : snapshot->torrents)
            if (!ids.insert(t.id).second)
                return std::nullopt; // one torrent listed twice
        StatusDelta out;
        out.session = std::move(snapshot->session);
        std::vector<std::pair<std::size_t, std::uint64_t>> bytes(snapshot->torrents.size());
        publish(out, std::move(snapshot->torrents), std::move(bytes), {}, true);
        m_valid = false;
        m_session = out.session;
        return out;
    }
    StatusDelta out;
    std::optional<std::uint64_t> since;
    try {
        Json head = Json::parse(std::string(text.substr(0, rows)) + "}");
        auto session = head.find("session");
        if (!head.is_object() || session == head.end())
            return std::nullopt;
        out.session = session->get<SessionInfo>();
        if (auto s = head.find("since"); s != head.end())
            since = s->get<std::uint64_t>();
        if (head.size() != (since ? 2u : 1u))
            return std::nullopt;
    } catch (const std::exception&) {
        return std::nullopt;
    }
    // Changes since a report other than the last one decoded cannot be applied.
    if (since && (!m_valid || *since != m_decoded))
        return std::nullopt;

    // Each row: unchanged (the same bytes as the same torrent's last row),
    // or decoded anew. Nothing is kept before the whole text has decoded.
    const std::uint64_t round = ++m_round;
    std::vector<TorrentStatus> decoded;
    std::vector<std::pair<std::size_t, std::uint64_t>> bytes;
    std::unordered_map<std::string, std::size_t> fresh; // ids not known before
    std::size_t at = rows + kRows.size();
    while (at < text.size() && text[at] != ']') {
        if (text[at] == ',') {
            ++at;
            continue;
        }
        if (text[at] != '{')
            return std::nullopt;
        Known* known = nullptr;
        if (std::string_view id = rowId(text, at); m_valid && !id.empty()) {
            if (auto it = m_known.find(std::string(id)); it != m_known.end()) {
                known = &it->second;
                if (known->seen == round)
                    return std::nullopt; // listed twice
                std::size_t after = at + known->length;
                if (after < text.size() && (text[after] == ',' || text[after] == ']') &&
                    rowHash(text.substr(at, known->length)) == known->hash) {
                    known->seen = round;
                    at = after;
                    continue;
                }
            }
        }
        std::size_t end = objectEnd(text, at);
        if (end == std::string_view::npos)
            return std::nullopt;
        auto record = json::decode<TorrentStatus>(text.substr(at, end - at));
        if (!record)
            return std::nullopt;
        if (!known && m_valid)
            if (auto it = m_known.find(record->id); it != m_known.end())
                known = &it->second;
        if (known) {
            if (known->seen == round)
                return std::nullopt;
            known->seen = round;
        } else if (!fresh.emplace(record->id, decoded.size()).second) {
            return std::nullopt;
        }
        bytes.emplace_back(end - at, rowHash(text.substr(at, end - at)));
        decoded.push_back(std::move(*record));
        at = end;
    }
    if (at >= text.size())
        return std::nullopt;
    ++at; // past the rows' ']'
    // The rows gone: those a whole text leaves out, or those a text of
    // changes names.
    std::vector<const std::string*> removed;
    if (!since) {
        if (text.substr(at) != "}")
            return std::nullopt;
        if (m_valid)
            for (const auto& [id, known] : m_known)
                if (known.seen != round)
                    removed.push_back(&id);
    } else {
        constexpr std::string_view kRemoved = ",\"removed\":";
        if (text.substr(at, kRemoved.size()) != kRemoved || text.back() != '}')
            return std::nullopt;
        std::string_view list = text.substr(at + kRemoved.size());
        list.remove_suffix(1);
        auto ids = json::decodeArray<std::string>(list);
        if (!ids)
            return std::nullopt;
        for (const auto& id : *ids) {
            auto it = m_known.find(id);
            if (fresh.contains(id) || (it != m_known.end() && it->second.seen == round))
                return std::nullopt; // both changed and gone
            if (it != m_known.end())
                removed.push_back(&it->first);
        }
    }
    publish(out, std::move(decoded), std::move(bytes), removed, !m_valid);
    m_valid = true;
    m_decoded = m_revision;
    m_session = out.session;
    return out;
}

std::optional<StatusDelta> StatusDecoder::same() const {
    if (!m_valid)
        return std::nullopt;
    StatusDelta out;
    out.session = m_session;
    return out;
}

bool StatusDecoder::before(const Node& a, const Node& b) {
    if (a.second.added != b.second.added)
        return a.second.added > b.second.added;
    if (int c = a.second.sortKey.compare(b.second.sortKey); c != 0)
        return c < 0;
    return a.first < b.first;
}

void StatusDecoder::publish(StatusDelta& out, std::vector<TorrentStatus> decoded,
                            std::vector<std::pair<std::size_t, std::uint64_t>> bytes,
                            const std::vector<const std::string*>& removed, bool fromScratch) {
    if (fromScratch) {
        m_known.clear();
        m_order.clear();
    }
    // Each decoded row stays at its place when its order keys did; else it
    // leaves it (moved) or is new.
    const std::size_t previous = m_order.size();
    std::vector<std::size_t> inPlace(previous, kNone); // place -> decoded row
    std::vector<char> leaving(previous, 0);
    std::vector<std::pair<Node*, std::size_t>> placed; // rows to place, with their decoded row
    for (std::size_t k = 0; k < decoded.size(); ++k) {
        const TorrentStatus& t = decoded[k];
        std::string key = sortKey(t.name);
        auto it = m_known.find(t.id);
        if (it != m_known.end() && it->second.added == t.added && it->second.sortKey == key) {
            inPlace[it->second.display] = k;
        } else {
            if (it == m_known.end())
                it = m_known.try_emplace(t.id).first;
            else
                leaving[it->second.display] = 1;
            it->second.sortKey = std::move(key);
            it->second.added = t.added;
            placed.emplace_back(&*it, k);
        }
        it->second.length = bytes[k].first;
        it->second.hash = bytes[k].second;
    }
    for (const std::string* id : removed)
        leaving[m_known.find(*id)->second.display] = 1;

    if (!fromScratch && placed.empty() && removed.empty()) {
        // Every row where it was: only the changed ones go.
        out.whole = false;
        for (std::size_t k = 0; k < decoded.size(); ++k)
            out.positions.push_back(m_known.find(decoded[k].id)->second.display);
        out.rows = std::move(decoded);
        return;
    }

    // The rows kept are in display order already: only the placed ones are
    // sorted, then the two merged.
    std::sort(placed.begin(), placed.end(),
              [](const auto& a, const auto& b) { return before(*a.first, *b.first); });
    std::vector<Node*> order;
    order.reserve(previous + placed.size());
    out.whole = true;
    out.previousSize = previous;
    out.order.clear();
    out.order.reserve(previous + placed.size());
    auto next = placed.begin();
    auto take = [&] {
        order.push_back(next->first);
        out.order.push_back({true, next->second});
        ++next;
    };
    for (std::size_t i = 0; i < previous; ++i) {
        if (leaving[i])
            continue;
        while (next != placed.end() && before(*next->first, *m_order[i]))
            take();
        order.push_back(m_order[i]);
        out.order.push_back(inPlace[i] != kNone ? StatusDelta::Entry{true, inPlace[i]}
                                                : StatusDelta::Entry{false, i});
    }
    while (next != placed.end())
        take();
    for (const std::string* id : removed)
        m_known.erase(m_known.find(*id));
    for (std::size_t p = 0; p < order.size(); ++p)
        order[p]->second.display = p;
    m_order = std::move(order);
    out.rows = std::move(decoded);
}

} // namespace tevro
