#include "tevro/bridge/reader_registry.h"

#include "tevro/bridge/piece_cache.h"
#include "tevro/bridge/stream_reader.h"

namespace tevro::bridge {

void ReaderRegistry::add(StreamReader* reader) {
    std::lock_guard lock(m_mutex);
    m_readers.insert(reader);
    if (m_shut)
        reader->markCancelled();
}

void ReaderRegistry::remove(StreamReader* reader) {
    std::lock_guard lock(m_mutex);
    m_readers.erase(reader);
}

std::optional<std::pair<lt::torrent_handle, int>>
ReaderRegistry::waitingPiece(const std::string& id, int file) {
    std::lock_guard lock(m_mutex);
    for (StreamReader* r : m_readers) {
        int piece = r->waitingPiece();
        if (r->id() == id && r->fileIndex() == file && piece >= 0)
            return std::pair{r->handle(), piece};
    }
    return std::nullopt;
}

ReaderRegistry::Call::Call(ReaderRegistry& registry)
    : m_registry(registry), m_entered(registry.enter()) {}

ReaderRegistry::Call::~Call() {
    if (m_entered)
        m_registry.leave();
}

bool ReaderRegistry::enter() {
    std::lock_guard lock(m_mutex);
    if (m_shut)
        return false;
    ++m_calls;
    return true;
}

void ReaderRegistry::leave() {
    std::lock_guard lock(m_mutex);
    if (--m_calls == 0)
        m_idle.notify_all();
}

void ReaderRegistry::shutDown(PieceCache& cache) {
    std::unique_lock lock(m_mutex);
    m_shut = true;
    for (StreamReader* r : m_readers)
        r->markCancelled();
    lock.unlock();
    // Cancelled readers leave their waits at the next wake-up.
    cache.wakeAll();
    lock.lock();
    m_idle.wait(lock, [&] { return m_calls == 0; });
}

} // namespace tevro::bridge
