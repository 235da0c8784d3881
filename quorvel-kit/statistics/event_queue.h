#pragma once

// Statistics events waiting for the service, oldest first, kept in memory and
// mirrored in one append-only file of "id TAB json LF" lines. Bounded to 2000
// entries and 2 MiB of JSON. Owned by the statistics engine's queue; no lock.

#include <cstdint>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

namespace quorvel {

class EventQueue {
public:
    struct Entry {
        std::string id;   // no TAB, no line feed
        std::string json; // one JSON text, no line feed
        bool operator==(const Entry&) const = default;
    };

    static constexpr size_t kMaxEntries = 2000;
    static constexpr int64_t kMaxBytes = 2'097'152;

    // Loads the file; a missing or unreadable one gives an empty queue and
    // creates nothing. A torn last line (no final line feed) is dropped.
    explicit EventQueue(std::filesystem::path url);

    const std::filesystem::path& url() const { return m_url; }
    const std::vector<Entry>& entries() const { return m_entries; }
    int64_t bytes() const { return m_bytes; }

    void append(Entry entry);
    // The oldest entries that fit `limit` and `maxBytes`; the first always fits.
    std::vector<Entry> batch(size_t limit, int64_t maxBytes) const;
    void remove(const std::set<std::string>& ids);
    void clear();

private:
    bool trim();
    void rewrite();
    bool appendLine(const std::string& line);

    std::filesystem::path m_url;
    std::vector<Entry> m_entries;
    int64_t m_bytes = 0;
};

} // namespace quorvel
