#include "tevro/bridge/stream_reader.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <utility>
#include <vector>

#include <libtorrent/download_priority.hpp>
#include <libtorrent/torrent_status.hpp>

#include "tevro/bridge/piece_cache.h"
#include "tevro/bridge/reader_registry.h"

namespace tevro::bridge {

namespace {

// Read once, before main: the variable counts only as it was at program start.
const bool kReaderLog = std::getenv("TEVRO_READER_LOG") != nullptr;

using namespace std::chrono_literals;
using PiecePriorities = std::vector<std::pair<lt::piece_index_t, lt::download_priority_t>>;

bool isChecking(lt::torrent_status::state_t s) {
    return s == lt::torrent_status::checking_files || s == lt::torrent_status::checking_resume_data;
}

// Which pieces the torrent holds, in one library query.
struct HeldPieces {
    lt::typed_bitfield<lt::piece_index_t> bits;
    bool all = false;

    explicit HeldPieces(const lt::torrent_handle& h) {
        lt::torrent_status st = h.status(lt::torrent_handle::query_pieces);
        all = st.is_seeding;
        bits = std::move(st.pieces);
    }
    bool operator()(int piece) const {
        if (all)
            return true;
        return piece >= 0 && piece < bits.size() && bits.get_bit(lt::piece_index_t(piece));
    }
};

} // namespace

bool readerLogEnabled() {
    return kReaderLog;
}

StreamReader::StreamReader(lt::torrent_handle handle, std::string id, FileSpan file,
                           std::shared_ptr<PieceCache> cache,
                           std::shared_ptr<ReaderRegistry> registry)
    : m_handle(std::move(handle)), m_id(std::move(id)), m_file(std::move(file)),
      m_cache(std::move(cache)), m_registry(std::move(registry)) {}

int StreamReader::windowPieces(int pieceLength) {
    int window = static_cast<int>(64LL * 1024 * 1024 / std::max(pieceLength, 1));
    return std::max(window, 4);
}

void StreamReader::start() {
    if (m_file.size > 0) {
        try {
            // Container indexes often sit at the end of a file.
            lt::piece_index_t last(m_file.lastPiece);
            if (!m_handle.have_piece(last)) {
                m_handle.set_piece_deadline(last, 1000);
                m_registry->hold().prioritize(m_handle, m_id,
                                              PiecePriorities{{last, lt::top_priority}});
            }
        } catch (const std::exception&) {
        }
        prioritize(m_file.firstPiece, true);
    }
    if (kReaderLog)
        std::fprintf(stderr, "reader open %s file=%d size=%lld path=%s\n", m_id.c_str(),
                     m_file.index, static_cast<long long>(m_file.size), m_file.path.c_str());
    m_registry->add(this);
}

std::vector<int> StreamReader::neededAfter(int piece) const {
    std::vector<int> out;
    int lead = std::max(1, static_cast<int>(kLeadBytes / std::max(m_file.pieceLength, 1)));
    for (int p = piece; p <= std::min(piece + lead, m_file.lastPiece); ++p)
        out.push_back(p);
    // Container indexes often sit at the end of a file.
    if (m_file.size > 0 && m_file.lastPiece > piece + lead)
        out.push_back(m_file.lastPiece);
    return out;
}

void StreamReader::prioritize(int piece, bool force) {
    std::lock_guard lock(m_lock);
    auto now = Clock::now();
    if (!force && piece == m_lastPrioritized && now - m_lastPrioritizeTime < 2s)
        return;
    m_lastPrioritized = piece;
    m_lastPrioritizeTime = now;
    int last = static_cast<int>(std::min<std::int64_t>(
        static_cast<std::int64_t>(piece) + windowPieces(m_file.pieceLength) - 1, m_file.lastPiece));
    try {
        HeldPieces held(m_handle);
        std::set<int> next;
        PiecePriorities priorities;
        for (int p = piece; p <= last; ++p) {
            if (held(p))
                continue;
            next.insert(p);
            m_handle.set_piece_deadline(lt::piece_index_t(p), (p - piece) * 250);
            priorities.emplace_back(lt::piece_index_t(p), lt::top_priority);
        }
        lt::download_priority_t filePriority =
            m_handle.file_priority(lt::file_index_t(m_file.index));
        for (int p : m_deadlines) {
            if (next.count(p) || held(p))
                continue;
            m_handle.reset_piece_deadline(lt::piece_index_t(p));
            priorities.emplace_back(lt::piece_index_t(p), filePriority);
        }
        m_registry->hold().prioritize(m_handle, m_id, priorities, this, neededAfter(piece));
        m_deadlines = std::move(next);
    } catch (const std::exception&) {
        // The torrent is gone; the read that follows fails on its own.
    }
}

std::int64_t StreamReader::read(char* buffer, std::uint64_t length) {
    if (m_cancelled)
        return -1;
    ReaderRegistry::Call call(*m_registry);
    if (!call || m_cancelled)
        return -1;
    std::int64_t position = m_position;
    if (position >= m_file.size)
        return 0;
    std::int64_t absolute = m_file.offset + position;
    int piece = static_cast<int>(absolute / m_file.pieceLength);
    prioritize(piece, false);
    if (piece != m_currentPiece && !loadPiece(piece))
        return -1;
    std::int64_t inPiece = absolute - static_cast<std::int64_t>(piece) * m_file.pieceLength;
    std::int64_t n = std::min<std::int64_t>(m_file.size - position, m_currentSize - inPiece);
    if (n < 1)
        return -1;
    if (length < static_cast<std::uint64_t>(n))
        n = static_cast<std::int64_t>(length);
    if (n < 1)
        return -1;
    std::memcpy(buffer, m_currentData.get() + inPiece, static_cast<std::size_t>(n));
    m_position = position + n;
    readAhead(piece);
    return n;
}

bool StreamReader::loadPiece(int piece) {
    m_waitingPiece = piece;
    struct ClearWaiting {
        std::atomic<int>& waiting;
        ~ClearWaiting() { waiting = -1; }
    } clearWaiting{m_waitingPiece};

    auto limit = Clock::now() + 600s;
    // While this read waits, the rest of the torrent waits too.
    struct Holding {
        StreamReader& reader;
        bool on = false;
        void start(int piece) {
            if (!on)
                reader.m_registry->hold().wait(reader.m_handle, reader.m_id, &reader,
                                               reader.neededAfter(piece));
            on = true;
        }
        void stop() {
            if (on)
                reader.m_registry->hold().served(reader.m_id, &reader);
            on = false;
        }
        ~Holding() { stop(); }
    } holding{*this};
    while (true) {
        auto forcedAt = Clock::now();
        while (true) {
            if (m_cancelled)
                return false;
            bool held = false;
            try {
                if (!m_handle.is_valid())
                    return false;
                held = m_handle.have_piece(lt::piece_index_t(piece));
            } catch (const std::exception&) {
                return false;
            }
            if (held)
                break;
            holding.start(piece);
            {
                std::unique_lock lock(m_cache->mutex());
                if (m_cancelled)
                    return false;
                m_cache->signal().wait_for(lock, 250ms);
            }
            if (Clock::now() - forcedAt > 2s) {
                prioritize(piece, true);
                forcedAt = Clock::now();
            }
        }

        holding.stop();
        Fetch result = fetch(piece);
        if (result == Fetch::ok)
            return true;
        if (kReaderLog)
            std::fprintf(stderr, "reader fetch failed piece=%d\n", piece);
        if (result == Fetch::cancelled || m_cancelled)
            return false;

        auto failedAt = Clock::now();
        while (true) {
            if (Clock::now() > limit)
                return false;
            try {
                auto state = m_handle.status({}).state;
                if (!isChecking(state) && Clock::now() - failedAt >= 3s)
                    break;
            } catch (const std::exception&) {
                return false;
            }
            std::unique_lock lock(m_cache->mutex());
            if (m_cancelled)
                return false;
            m_cache->signal().wait_for(lock, 500ms);
            if (m_cancelled)
                return false;
        }
    }
}

StreamReader::Fetch StreamReader::fetch(int piece) {
    auto started = Clock::now();
    bool cached = true;
    Fetch result = Fetch::failed;
    {
        std::unique_lock lock(m_cache->mutex());
        if (!m_cache->find(m_id, piece)) {
            cached = false;
            m_cache->insertWaiting(m_id, piece);
            lock.unlock();
            bool asked = true;
            try {
                m_handle.read_piece(lt::piece_index_t(piece));
            } catch (const std::exception&) {
                asked = false;
            }
            lock.lock();
            if (!asked)
                m_cache->erase(m_id, piece);
        }
        while (true) {
            PieceCache::Entry* e = m_cache->find(m_id, piece);
            if (!e)
                break;
            if (e->ready) {
                if (e->failed || !e->data) {
                    m_cache->erase(m_id, piece);
                    break;
                }
                e->lastUse = Clock::now();
                m_currentPiece = piece;
                m_currentData = e->data;
                m_currentSize = e->size;
                result = Fetch::ok;
                break;
            }
            if (m_cancelled) {
                m_cache->erase(m_id, piece);
                result = Fetch::cancelled;
                break;
            }
            if (Clock::now() - started > 30s) {
                m_cache->erase(m_id, piece);
                break;
            }
            m_cache->signal().wait_for(lock, 250ms);
        }
    }
    if (kReaderLog) {
        auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - started);
        std::fprintf(stderr, "fetch piece=%d ok=%d cached=%d ms=%lld\n", piece,
                     result == Fetch::ok ? 1 : 0, cached ? 1 : 0,
                     static_cast<long long>(ms.count()));
    }
    return result;
}

void StreamReader::readAhead(int piece) {
    if (piece >= m_file.lastPiece)
        return;
    int next = piece + 1;
    try {
        if (!m_handle.have_piece(lt::piece_index_t(next)))
            return;
        {
            std::lock_guard lock(m_cache->mutex());
            if (m_cache->find(m_id, next))
                return;
            m_cache->insertWaiting(m_id, next);
        }
        m_handle.read_piece(lt::piece_index_t(next));
    } catch (const std::exception&) {
        std::lock_guard lock(m_cache->mutex());
        m_cache->erase(m_id, next);
    }
}

std::int64_t StreamReader::seek(std::int64_t offset) {
    if (kReaderLog)
        std::fprintf(stderr, "reader seek %lld size=%lld\n", static_cast<long long>(offset),
                     static_cast<long long>(m_file.size));
    if (offset < 0 || m_cancelled || offset > m_file.size)
        return -1;
    ReaderRegistry::Call call(*m_registry);
    if (!call)
        return -1;
    m_position = offset;
    if (offset != m_file.size)
        prioritize(static_cast<int>((m_file.offset + offset) / m_file.pieceLength), true);
    return offset;
}

void StreamReader::cancel() {
    m_cancelled = true;
    m_cache->wakeAll();
}

void StreamReader::close() {
    m_registry->remove(this);
    ReaderRegistry::Call call(*m_registry);
    if (call)
        release();
}

void StreamReader::release() {
    std::lock_guard lock(m_lock);
    try {
        if (!m_handle.is_valid())
            return;
        HeldPieces held(m_handle);
        lt::download_priority_t filePriority =
            m_handle.file_priority(lt::file_index_t(m_file.index));
        PiecePriorities priorities;
        std::set<int> pieces = m_deadlines;
        if (m_file.size > 0)
            pieces.insert(m_file.lastPiece);
        for (int p : pieces) {
            if (held(p))
                continue;
            m_handle.reset_piece_deadline(lt::piece_index_t(p));
            priorities.emplace_back(lt::piece_index_t(p), filePriority);
        }
        m_registry->hold().forget(m_id, this);
        m_registry->hold().prioritize(m_handle, m_id, priorities);
    } catch (const std::exception&) {
    }
    m_deadlines.clear();
}

} // namespace tevro::bridge
