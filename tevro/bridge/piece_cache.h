#pragma once

// The session's piece-read cache: piece bytes the library read for streaming
// readers, shared by every reader, bounded to 64 MiB. Its lock and signal are
// the piece lock and piece signal that blocked readers sleep on.

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <utility>

#include <boost/shared_array.hpp>

namespace tevro::bridge {

class PieceCache {
public:
    using Clock = std::chrono::steady_clock;
    static constexpr std::int64_t kCapacity = 64 * 1024 * 1024;

    struct Entry {
        bool ready = false;
        bool failed = false;
        boost::shared_array<char> data;
        int size = 0;
        Clock::time_point lastUse{};
    };

    std::mutex& mutex() { return m_mutex; }
    std::condition_variable& signal() { return m_signal; }
    // Wakes every waiter. Taking the lock first means a waiter that checked its
    // flags just before cannot miss the wake-up. Never call with mutex() held.
    void wakeAll();

    // With mutex() held.
    Entry* find(const std::string& id, int piece);
    void insertWaiting(const std::string& id, int piece);
    void erase(const std::string& id, int piece);

    // A read-piece result. Returns whether an entry was waiting for it. Trims,
    // then wakes every waiter.
    bool deliver(const std::string& id, int piece, boost::shared_array<char> data, int size,
                 bool failed);

    // Drops every entry of a torrent (removed, missing or reset).
    void forget(const std::string& id);

    std::int64_t totalSize();

private:
    void trim(); // with the lock held

    std::mutex m_mutex;
    std::condition_variable m_signal;
    std::map<std::pair<std::string, int>, Entry> m_entries;
    std::int64_t m_total = 0;
};

} // namespace tevro::bridge
