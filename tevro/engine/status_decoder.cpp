#include "tevro/engine/status_decoder.h"

#include <algorithm>
#include <string_view>

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

constexpr std::size_t kNoRow = static_cast<std::size_t>(-1);

} // namespace

std::optional<StatusDelta> StatusDecoder::decode(std::string_view text) {
    // A quote inside a string is escaped, so this can only be the key itself.
    constexpr std::string_view kRows = ",\"torrents\":[";
    std::size_t rows = text.find(kRows);
    if (rows == std::string_view::npos || text.empty() || text.front() != '{') {
        // Not laid out as the bridge writes it: decode it whole, compare nothing.
        auto snapshot = StatusSnapshot::decode(text);
        m_valid = false;
        if (!snapshot)
            return std::nullopt;
        StatusDelta out;
        out.session = std::move(snapshot->session);
        out.rows = std::move(snapshot->torrents);
        m_records.clear();
        std::vector<StatusDelta::Entry> sources;
        for (std::size_t i = 0; i < out.rows.size(); ++i) {
            m_records.push_back(record(out.rows[i]));
            sources.push_back({true, i});
        }
        publishWhole(out, sources);
        m_session = out.session;
        return out;
    }
    StatusDelta out;
    try {
        Json head = Json::parse(std::string(text.substr(0, rows)) + "}");
        auto session = head.find("session");
        if (!head.is_object() || session == head.end() || head.size() != 1)
            return std::nullopt;
        out.session = session->get<SessionInfo>();
    } catch (const std::exception&) {
        return std::nullopt;
    }

    // Nothing changed in any torrent (an idle library): the rows are the
    // last text's, each where it was.
    if (m_valid && sameRows(text, rows + kRows.size())) {
        m_session = out.session;
        return out;
    }

    // Each row: where it is, and the last text's row it repeats (or none).
    struct Seen {
        Row row;
        std::size_t from;
    };
    constexpr std::size_t kNone = static_cast<std::size_t>(-1);
    std::vector<Seen> seen;
    seen.reserve(m_rows.size());
    std::vector<std::pair<std::size_t, TorrentStatus>> decoded; // rows whose text is new
    std::size_t at = rows + kRows.size();
    while (at < text.size() && text[at] != ']') {
        if (text[at] == ',') {
            ++at;
            continue;
        }
        if (text[at] != '{')
            return std::nullopt;
        const std::size_t i = seen.size();
        std::size_t from = kNone;
        if (std::string_view id = rowId(text, at); m_valid && !id.empty()) {
            std::size_t j = kNone;
            if (i < m_records.size() && m_records[i].id == id)
                j = i;
            else if (auto it = m_index.find(id); it != m_index.end())
                j = it->second;
            // The same bytes as a whole object of the last text are that object.
            if (j != kNone) {
                const Row& old = m_rows[j];
                std::size_t after = at + old.length;
                if (after < text.size() && (text[after] == ',' || text[after] == ']') &&
                    rowHash(text.substr(at, old.length)) == old.hash)
                    from = j;
            }
        }
        std::size_t end;
        std::uint64_t hash = 0;
        if (from != kNone) {
            end = at + m_rows[from].length;
            hash = m_rows[from].hash;
        } else {
            end = objectEnd(text, at);
            if (end == std::string_view::npos)
                return std::nullopt;
            auto record = json::decode<TorrentStatus>(text.substr(at, end - at));
            if (!record)
                return std::nullopt;
            decoded.emplace_back(i, std::move(*record));
            hash = rowHash(text.substr(at, end - at));
        }
        seen.push_back({{end - at, hash}, from});
        at = end;
    }
    // The array and the object close, and nothing follows.
    if (text.substr(at) != "]}")
        return std::nullopt;

    bool whole = !m_valid || seen.size() != m_records.size();
    for (std::size_t i = 0; !whole && i < seen.size(); ++i)
        whole = seen[i].from != kNone && seen[i].from != i;
    for (std::size_t k = 0; !whole && k < decoded.size(); ++k) {
        const auto& [i, t] = decoded[k];
        const Record& was = m_records[i];
        whole = t.id != was.id || t.added != was.added || sortKey(t.name) != was.sortKey;
    }

    if (!whole) {
        for (auto& [i, t] : decoded) {
            out.positions.push_back(m_display[i]);
            out.rows.push_back(std::move(t));
        }
    } else {
        // Unchanged rows are the receiver's already: only their places go.
        std::vector<Record> records;
        std::vector<StatusDelta::Entry> sources;
        records.reserve(seen.size());
        sources.reserve(seen.size());
        auto next = decoded.begin();
        for (const auto& s : seen) {
            if (s.from != kNone) {
                records.push_back(m_records[s.from]);
                sources.push_back({false, m_display[s.from]});
            } else {
                records.push_back(record(next->second));
                sources.push_back({true, out.rows.size()});
                out.rows.push_back(std::move(next->second));
                ++next;
            }
        }
        m_records = std::move(records);
        publishWhole(out, sources);
    }
    m_rows.clear();
    for (const auto& s : seen)
        m_rows.push_back(s.row);
    m_valid = true;
    m_session = out.session;
    return out;
}

bool StatusDecoder::sameRows(std::string_view text, std::size_t at) const {
    for (std::size_t j = 0; j < m_rows.size(); ++j) {
        if (j > 0) {
            if (at >= text.size() || text[at] != ',')
                return false;
            ++at;
        }
        const Row& row = m_rows[j];
        if (text.size() - at < row.length || rowHash(text.substr(at, row.length)) != row.hash)
            return false;
        at += row.length;
    }
    return text.substr(at) == "]}";
}

std::optional<StatusDelta> StatusDecoder::same() const {
    if (!m_valid)
        return std::nullopt;
    StatusDelta out;
    out.session = m_session;
    return out;
}

StatusDecoder::Record StatusDecoder::record(const TorrentStatus& t) {
    return {t.id, sortKey(t.name), t.added};
}

void StatusDecoder::publishWhole(StatusDelta& out, const std::vector<StatusDelta::Entry>& sources) {
    m_index.clear();
    m_index.reserve(m_records.size());
    for (std::size_t i = 0; i < m_records.size(); ++i)
        m_index.emplace(m_records[i].id, i);
    // Display order: newest added first, then by name, ties in the bridge's order.
    auto before = [&](std::size_t a, std::size_t b) {
        const Record& ra = m_records[a];
        const Record& rb = m_records[b];
        if (ra.added != rb.added)
            return ra.added > rb.added;
        if (int c = ra.sortKey.compare(rb.sortKey); c != 0)
            return c < 0;
        return a < b;
    };
    // The rows kept are in that order already, by their last places: only
    // the new ones are sorted, then the two merged.
    std::vector<std::size_t> kept, fresh;
    if (m_valid) {
        std::vector<std::size_t> byPlace(m_published, kNoRow);
        for (std::size_t i = 0; i < sources.size(); ++i) {
            if (sources[i].fresh)
                fresh.push_back(i);
            else if (sources[i].index < byPlace.size())
                byPlace[sources[i].index] = i;
        }
        for (std::size_t i : byPlace)
            if (i != kNoRow)
                kept.push_back(i);
    }
    if (kept.size() + fresh.size() != m_records.size() ||
        !std::is_sorted(kept.begin(), kept.end(), before)) {
        kept.clear();
        fresh.resize(m_records.size());
        for (std::size_t i = 0; i < fresh.size(); ++i)
            fresh[i] = i;
    }
    std::sort(fresh.begin(), fresh.end(), before);
    std::vector<std::size_t> keys(m_records.size());
    std::merge(kept.begin(), kept.end(), fresh.begin(), fresh.end(), keys.begin(), before);
    m_display.assign(m_records.size(), 0);
    out.whole = true;
    out.positions.clear();
    out.previousSize = m_valid ? m_published : 0;
    out.order.clear();
    out.order.reserve(keys.size());
    for (std::size_t p = 0; p < keys.size(); ++p) {
        m_display[keys[p]] = p;
        out.order.push_back(sources[keys[p]]);
    }
    m_published = keys.size();
}

} // namespace tevro
