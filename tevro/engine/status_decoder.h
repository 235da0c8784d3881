#pragma once

// Decodes the bridge's status text poll after poll into what changed since
// the last poll, in display order (newest added first, then by name, then by
// id, the bridge's own order). The text is every row, or only the rows
// changed since the report last decoded and the ids of those gone; a row
// whose text is the same as last time is not decoded again, and the list
// goes out whole only when torrents came or went or a name or add time
// changed: with thousands of torrents most rows are the same from one second
// to the next. Used on the engine queue only.

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
    // Nothing when the text does not decode (one bad row fails it whole) or
    // its changes are not since the report last decoded; the next text is
    // then compared with the last good one.
    std::optional<StatusDelta> decode(std::string_view text);
    // The next decode gives the whole list.
    void reset() {
        m_valid = false;
        m_revision = 0;
    }
    // What a poll gives when the bridge's report is the last one again:
    // nothing changed, the session as last decoded; nothing before a decode.
    std::optional<StatusDelta> same() const;
    // The number of the report last asked for (tb_status_json_since).
    std::uint64_t& revision() { return m_revision; }

private:
    // A row of the list last published: what its order needs, and its bytes
    // as a length and a 64-bit hash (keeping the report itself would cost as
    // much again as the report).
    struct Known {
        std::string sortKey; // of the name
        std::int64_t added = 0;
        std::size_t length = 0;
        std::uint64_t hash = 0;
        std::size_t display = 0;   // its place in that list
        std::uint64_t seen = 0;    // the last decode whose text had it
    };
    using Node = std::pair<const std::string, Known>;
    // Lays out the rows decoded anew among those kept; fills `out`.
    void publish(StatusDelta& out, std::vector<TorrentStatus> decoded,
                 std::vector<std::pair<std::size_t, std::uint64_t>> bytes,
                 const std::vector<const std::string*>& removed, bool fromScratch);
    static bool before(const Node& a, const Node& b);

    bool m_valid = false;
    std::uint64_t m_revision = 0;
    std::uint64_t m_decoded = 0; // the revision of the last good text
    std::uint64_t m_round = 0;
    SessionInfo m_session; // of the last good text
    std::unordered_map<std::string, Known> m_known;
    std::vector<Node*> m_order; // display order
};

} // namespace tevro
