#pragma once

// A streaming reader on one file of a torrent: reads block until the pieces
// under the read position are on disk, while deadlines and top priority
// around that position steer the download. The player's media thread reads
// and seeks; any thread may cancel.

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include <boost/shared_array.hpp>
#include <libtorrent/torrent_handle.hpp>

namespace tevro::bridge {

class PieceCache;
class ReaderRegistry;

// TEVRO_READER_LOG present at program start (any value) turns on the reader's lines.
bool readerLogEnabled();

class StreamReader {
public:
    struct FileSpan {
        int index = 0;
        std::int64_t offset = 0; // inside the torrent
        std::int64_t size = 0;
        int pieceLength = 0;
        int firstPiece = 0;
        int lastPiece = 0; // 0 for an empty file
        std::string path;  // on disk, for log lines only
    };

    StreamReader(lt::torrent_handle handle, std::string id, FileSpan file,
                 std::shared_ptr<PieceCache> cache, std::shared_ptr<ReaderRegistry> registry);
    StreamReader(const StreamReader&) = delete;
    StreamReader& operator=(const StreamReader&) = delete;

    // Gives the first pieces their deadlines and registers the reader.
    void start();

    // Bytes copied (1...length), 0 at the end of the file, -1 on failure or cancel.
    std::int64_t read(char* buffer, std::uint64_t length);
    std::int64_t seek(std::int64_t offset);
    std::int64_t size() const { return m_file.size; }
    void cancel();
    // Unregisters and hands the reader's pieces back to the file's priority.
    void close();

    void markCancelled() { m_cancelled = true; }
    const std::string& id() const { return m_id; }
    int fileIndex() const { return m_file.index; }
    int waitingPiece() const { return m_waitingPiece; }
    const lt::torrent_handle& handle() const { return m_handle; }

    // Deadline window in pieces for a piece length: 64 MiB of pieces, at least 4.
    static int windowPieces(int pieceLength);

private:
    using Clock = std::chrono::steady_clock;

    void prioritize(int piece, bool force);
    // The pieces a read waiting for `piece` needs soon: that piece, the next
    // kLeadBytes and the file's last piece.
    std::vector<int> neededAfter(int piece) const;
    static constexpr std::int64_t kLeadBytes = 2 << 20;
    // Waits until `piece` is held and its bytes are the current piece; false
    // when the read must fail.
    bool loadPiece(int piece);
    enum class Fetch { ok, failed, cancelled };
    Fetch fetch(int piece);
    void readAhead(int piece);
    void release();

    const lt::torrent_handle m_handle;
    const std::string m_id;
    const FileSpan m_file;
    const std::shared_ptr<PieceCache> m_cache;
    const std::shared_ptr<ReaderRegistry> m_registry;

    std::atomic<std::int64_t> m_position{0};
    std::atomic<bool> m_cancelled{false};
    std::atomic<int> m_waitingPiece{-1};

    std::mutex m_lock; // deadline set and prioritize throttle
    std::set<int> m_deadlines;
    int m_lastPrioritized = -1;
    Clock::time_point m_lastPrioritizeTime{};

    // Only the reading thread touches these.
    int m_currentPiece = -1;
    boost::shared_array<char> m_currentData;
    int m_currentSize = 0;
};

} // namespace tevro::bridge

// The C interface's opaque reader handle.
struct tb_reader final : tevro::bridge::StreamReader {
    using StreamReader::StreamReader;
};
