#pragma once

// The torrent rows of the status report, kept from one report to the next:
// a row is written again only when a value it shows changed. With thousands
// of torrents most rows are the same from one second to the next, and writing
// them costs more than the library's status query itself.

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace tevro::bridge {

class StatusRows {
public:
    // Everything one row shows, in the row's own terms.
    struct Values {
        std::string name;
        std::string state;
        bool paused = false;
        bool autoManaged = false;
        bool sequential = false;
        bool isPrivate = false;
        bool hasMetadata = false;
        bool finished = false;
        bool seeding = false;
        bool moving = false;
        float progress = 0;
        std::int64_t total = 0;
        std::int64_t totalDone = 0;
        std::int64_t wanted = 0;
        std::int64_t wantedDone = 0;
        std::int64_t downloadRate = 0;
        std::int64_t uploadRate = 0;
        std::int64_t peers = 0;
        std::int64_t seeds = 0;
        std::int64_t swarmPeers = 0;
        std::int64_t swarmSeeds = 0;
        std::int64_t connectCandidates = 0;
        std::int64_t uploaded = 0;
        std::int64_t downloaded = 0;
        std::int64_t added = 0;
        std::int64_t completed = 0;
        std::int64_t activeTime = 0;
        std::int64_t seedingTime = 0;
        std::int64_t downloadLimit = 0;
        std::int64_t uploadLimit = 0;
        std::int64_t connectionsLimit = 0;
        std::int64_t uploadsLimit = 0;
        std::int64_t queue = 0;
        std::int64_t pieces = 0;
        float availability = 0;
        std::string savePath;
        std::string tracker;
        std::string error;

        bool operator==(const Values&) const = default;
    };

    // What a row takes from the session's own record of the torrent rather
    // than from the library's status: a change here needs a new row even when
    // the library reports nothing new.
    struct Source {
        std::string missingText;
        std::string diskFullText;
        bool isPrivate = false;
        std::int64_t downloadLimit = 0;
        std::int64_t uploadLimit = 0;

        bool operator==(const Source&) const = default;
    };

    struct Entry;
    // Where a torrent's row was last found, so that the next question about
    // it needs no lookup among thousands; empty, or stale after rows were
    // erased, it is looked up again.
    struct Slot {
        Entry* entry = nullptr;
        std::uint64_t erasures = 0;
    };

    // The row of torrent `id` showing `values`, as one JSON object. Valid
    // until the next call for the same id or the next erase. A row whose
    // only change is its active and seeding times, by less than a minute,
    // stays as it was; `changed` says whether the text is new.
    std::string_view row(const std::string& id, Values values, Source source);
    std::string_view row(const std::string& id, Values values);
    std::string_view row(Slot& slot, const std::string& id, Values values, Source source,
                         bool* changed = nullptr);
    // The row of `id` as last written, when it was written from `source`;
    // null when there is none or the source changed.
    const std::string* kept(const std::string& id, const Source& source);
    const std::string* kept(Slot& slot, const std::string& id, const Source& source);
    // Forgets the row of a removed torrent; false when it had none.
    bool erase(const std::string& id);
    // Forgets every row whose id `keep` refuses, and gives their ids.
    template <class Keep> std::vector<std::string> eraseUnless(Keep keep) {
        std::vector<std::string> gone;
        for (const auto& [id, e] : m_rows)
            if (!keep(id))
                gone.push_back(id);
        for (const auto& id : gone)
            erase(id);
        return gone;
    }
    // The rates summed over the rows kept.
    std::int64_t downloadRate() const { return m_download; }
    std::int64_t uploadRate() const { return m_upload; }
    std::size_t size() const { return m_rows.size(); }

    static std::string write(const std::string& id, const Values& values);

    // What a row keeps besides its text: the values the text is compared without.
    struct Entry {
        Source source;
        std::string text;
        std::int64_t activeTime = 0;
        std::int64_t seedingTime = 0;
        std::int64_t downloadRate = 0;
        std::int64_t uploadRate = 0;
    };

private:
    Entry* find(Slot& slot, const std::string& id);

    std::unordered_map<std::string, Entry> m_rows;
    std::uint64_t m_erasures = 0;
    std::int64_t m_download = 0;
    std::int64_t m_upload = 0;
};

} // namespace tevro::bridge
