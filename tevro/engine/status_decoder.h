#pragma once

// Decodes the bridge's status text poll after poll into what changed since
// the last poll, in display order (newest added first, then by name). A row
// whose text is the same as last time is not decoded again, and the list goes
// out whole only when torrents came or went or a name or add time changed:
// with thousands of torrents most rows are the same from one second to the
// next. Used on the engine queue only.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "tevro/core/session_info.h"
#include "tevro/core/torrent_status.h"

namespace tevro {

struct StatusDelta {
    SessionInfo session;
    // The list anew (torrents came, went or moved); else only the rows that changed.
    bool whole = false;
    // Partial: the rows that changed. Whole: the rows decoded anew.
    std::vector<TorrentStatus> rows;
    // With a partial delta, each row's place in the list last given whole.
    std::vector<std::size_t> positions;
    // With a whole delta, the list in display order: each entry a row of
    // `rows`, or the place of an unchanged row in the list as last published
    // (`previousSize` rows long), which the receiver keeps.
    struct Entry {
        bool fresh = false;
        std::size_t index = 0;
    };
    std::vector<Entry> order;
    std::size_t previousSize = 0;
};

class StatusDecoder {
public:
    // Nothing when the text does not decode (one bad row fails it whole);
    // the next text is then compared with the last good one.
    std::optional<StatusDelta> decode(std::string_view text);
    // The next decode gives the whole list.
    void reset() {
        m_valid = false;
        m_revision = 0;
    }
    // What a poll gives when the bridge's report is the last one again:
    // nothing changed, the session as last decoded; nothing before a decode.
    std::optional<StatusDelta> same() const;
    // The number of the report last decoded (tb_status_json_since).
    std::uint64_t& revision() { return m_revision; }

private:
    // What the order needs of a row: the decoding itself is the receiver's.
    struct Record {
        std::string id;
        std::string sortKey; // of the name
        std::int64_t added = 0;
    };
    static Record record(const TorrentStatus& t);
    // Sorts m_records into display order and gives it; `reused` is each row's
    // place in the last published list, or the index of its row in out.rows.
    void publishWhole(StatusDelta& out, const std::vector<StatusDelta::Entry>& sources);

    struct Row {
        std::size_t length = 0;
        std::uint64_t hash = 0; // of its bytes
    };
    // Whether the rows from text[at] on are those of the last good text.
    bool sameRows(std::string_view text, std::size_t at) const;

    bool m_valid = false;
    std::uint64_t m_revision = 0;
    SessionInfo m_session;              // of the last good text
    std::size_t m_published = 0;        // rows in the list last published
    std::vector<Row> m_rows;            // its rows, in the bridge's order
    std::vector<Record> m_records;      // their order keys
    std::vector<std::size_t> m_display; // each row's place in display order
    // id -> row, keyed by views of m_records' ids (made again with them)
    std::unordered_map<std::string_view, std::size_t> m_index;
};

} // namespace tevro
