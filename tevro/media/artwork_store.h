#pragma once

// The picture the library shows for a torrent or one of its files: a 512 x 288
// frame of one of its videos, answered from memory, from the "thumbnails" disk
// cache in the data folder, or by running the Glimmet frame extractor a few
// times and keeping the best-looking frame. Used on the main thread only.

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <QCache>
#include <QImage>
#include <QObject>
#include <QString>

#include "tevro/core/serial_queue.h"
#include "tevro/core/torrent_file.h"
#include "tevro/core/torrent_status.h"
#include "tevro/media/process_runner.h"

namespace tevro {

class ArtworkStore : public QObject {
    Q_OBJECT
public:
    using ImageReply = std::function<void(std::optional<QImage>)>;
    using FilesReply = std::function<void(std::optional<std::vector<TorrentFile>>)>;

    // What the store takes from the rest of the application.
    struct Dependencies {
        // A torrent's files by id, answered on the main thread (nothing when
        // the engine has none). Unset: every whole-torrent request finds no
        // files.
        std::function<void(const std::string& torrentId, FilesReply)> files;
        // The playable videos among a torrent's files in viewing order.
        // Unset: MediaMatcher::videos (episode order, samples left out).
        std::function<std::vector<TorrentFile>(const std::vector<TorrentFile>&)> videos;
        // The disk cache folder; empty: "thumbnails" in the data folder.
        std::filesystem::path directory;
        // The frame extractor; empty: "Helpers/Glimmet" beside the running
        // executable.
        std::filesystem::path extractor;
    };

    explicit ArtworkStore(Dependencies dependencies, QObject* parent = nullptr);
    // Kills a running extractor and waits for the worker to wind down.
    ~ArtworkStore() override;

    // The picture for the whole torrent (no file) or one of its files, handed
    // to `reply` on the main thread, always after this call returns; nothing
    // means there is nothing to show now. Concurrent requests for the same
    // picture share one extraction; a request whose attempt failed is not
    // retried for 30 s unless the torrent's progress tenth or metadata changed.
    void image(const TorrentStatus& torrent, const std::optional<TorrentFile>& file,
               ImageReply reply);

    // Called once while the application quits: kills a running extractor and
    // starts no other. Memory and disk answers keep working.
    void shutdown();

    const std::filesystem::path& directory() const { return m_directory; }

    // The 64 hex digits naming a picture in memory and on disk: the SHA-256 of
    // "frames-v2|<torrent id>|<file index or "cover">".
    static std::string cacheKey(std::string_view torrentId, std::optional<std::int64_t> fileIndex);
    // The cache key plus the progress tenth (0...10) and the metadata flag:
    // a new attempt is allowed as soon as either changes.
    static std::string attemptKey(std::string_view cacheKey, const TorrentStatus& torrent,
                                  const std::optional<TorrentFile>& file);
    // "<folder of the running executable>/Helpers/Glimmet".
    static std::filesystem::path defaultExtractor();

private:
    struct Job {
        std::string key;
        std::filesystem::path source;
        std::filesystem::path target;
        double available = 0;
    };

    void choose(const std::string& key, const std::string& savePath,
                const std::vector<TorrentFile>& files);
    void complete(const std::string& key, std::optional<QImage> image);
    void completeLater(const std::string& key);
    void deliver(const ImageReply& reply, std::optional<QImage> image);
    void remember(const std::string& key, const QImage& image);

    // Worker side: runs the extractor, keeps the best frame on disk and
    // returns its bytes.
    static std::optional<std::string>
    extract(ProcessRunner& runner, const std::filesystem::path& extractor, const Job& job);
    static std::optional<double> quality(const std::string& jpeg);
    static void trim(const std::filesystem::path& folder);

    Dependencies m_dependencies;
    std::filesystem::path m_directory;
    std::filesystem::path m_extractor;
    QCache<QString, QImage> m_memory;
    std::map<std::string, std::vector<ImageReply>> m_pending;
    std::map<std::string, std::chrono::steady_clock::time_point> m_attempts;
    // Declared before the queue so that it outlives the queue's last task.
    ProcessRunner m_runner;
    SerialQueue m_worker{"tevro.artwork"};
};

} // namespace tevro
