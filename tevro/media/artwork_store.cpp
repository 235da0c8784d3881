#include "tevro/media/artwork_store.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <span>

#include <unistd.h>

#include <openssl/evp.h>

#include <QBuffer>
#include <QByteArray>
#include <QImageReader>
#include <QMetaObject>
#include <QPointer>

#include "tevro/core/storage.h"
#include "tevro/media/frame_selection.h"
#include "tevro/media/media_matcher.h"

namespace tevro {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

constexpr qsizetype kMemoryCost = 16'777'216;
constexpr int kMemoryCount = 40;
constexpr int kImageCost = 512 * 288 * 4;
// QCache bounds cost only; at this cost per image the cost bound is the
// tighter of the two.
static_assert(kMemoryCost / kImageCost <= kMemoryCount);

constexpr auto kRetryAfter = std::chrono::seconds(30);
constexpr auto kAttemptMemory = std::chrono::seconds(120);
constexpr std::size_t kMaxAttempts = 512;

constexpr std::int64_t kUsableBytes = 1'048'576;
constexpr double kExtractionBudget = 6.0;
constexpr double kDurationTimeout = 1.5;
constexpr double kFrameTimeout = 1.6;
constexpr double kLastChance = 0.1;
constexpr std::uintmax_t kDiskLimit = 33'554'432;

constexpr int kScoreWidth = 96;
constexpr int kScoreHeight = 54;

double fraction(std::int64_t done, std::int64_t size) {
    return size < 1 ? 1.0 : static_cast<double>(done) / static_cast<double>(size);
}

bool isComplete(const TorrentFile& file) {
    return file.done >= 1 && file.done == file.size;
}

// The file under the save folder, symbolic links resolved; nothing when the
// relative path leads outside the folder or no file is there.
std::optional<fs::path> locate(const std::string& savePath, const std::string& relative) {
    std::error_code ec;
    const fs::path root = fs::weakly_canonical(fs::path(savePath), ec);
    if (ec || root.empty())
        return std::nullopt;
    const fs::path source = fs::weakly_canonical(root / relative, ec);
    if (ec)
        return std::nullopt;
    const auto rootLength = std::distance(root.begin(), root.end());
    const auto sourceLength = std::distance(source.begin(), source.end());
    if (sourceLength <= rootLength || !std::equal(root.begin(), root.end(), source.begin()))
        return std::nullopt;
    if (!fs::is_regular_file(source, ec))
        return std::nullopt;
    return source;
}

std::string formatSeconds(double seconds) {
    // Independent of the process locale, unlike printf.
    char buffer[64];
    const auto end =
        std::to_chars(buffer, buffer + sizeof buffer, seconds, std::chars_format::fixed, 3);
    return std::string(buffer, end.ptr);
}

double parseDuration(const std::string& text) {
    const auto first = text.find_first_not_of(" \t\r\n");
    if (first == std::string::npos)
        return 0;
    const auto last = text.find_last_not_of(" \t\r\n");
    double value = 0;
    const char* begin = text.data() + first;
    const char* end = text.data() + last + 1;
    const auto parsed = std::from_chars(begin, end, value);
    return parsed.ec == std::errc() && parsed.ptr == end ? value : 0;
}

} // namespace

ArtworkStore::ArtworkStore(Dependencies dependencies, QObject* parent)
    : QObject(parent), m_dependencies(std::move(dependencies)),
      m_directory(m_dependencies.directory.empty() ? Storage::home() / "thumbnails"
                                                   : m_dependencies.directory),
      m_extractor(m_dependencies.extractor.empty() ? defaultExtractor() : m_dependencies.extractor),
      m_memory(kMemoryCost) {}

ArtworkStore::~ArtworkStore() {
    m_runner.shutdown();
    m_worker.stop();
}

std::string ArtworkStore::cacheKey(std::string_view torrentId,
                                   std::optional<std::int64_t> fileIndex) {
    std::string text = "frames-v2|";
    text += torrentId;
    text += '|';
    text += fileIndex ? std::to_string(*fileIndex) : std::string("cover");

    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    EVP_Digest(text.data(), text.size(), digest, &length, EVP_sha256(), nullptr);
    std::string hex;
    for (unsigned int i = 0; i < length; ++i) {
        char pair[3];
        std::snprintf(pair, sizeof pair, "%02x", digest[i]);
        hex += pair;
    }
    return hex;
}

std::string ArtworkStore::attemptKey(std::string_view cacheKey, const TorrentStatus& torrent,
                                     const std::optional<TorrentFile>& file) {
    double progress = 0;
    if (file)
        progress = fraction(file->done, file->size);
    else if (torrent.wanted >= 1)
        progress = fraction(torrent.wantedDone, torrent.wanted);
    else
        progress = torrent.hasMetadata ? 1 : 0;
    if (!(progress >= 0))
        progress = 0;
    const int tenth = static_cast<int>(10 * std::min(progress, 1.0));
    return std::string(cacheKey) + "-" + std::to_string(tenth) + "-" +
           (torrent.hasMetadata ? "true" : "false");
}

fs::path ArtworkStore::defaultExtractor() {
    std::error_code ec;
    const fs::path executable = fs::read_symlink("/proc/self/exe", ec);
    if (ec || executable.empty())
        return {};
    return executable.parent_path() / "Helpers" / "Glimmet";
}

void ArtworkStore::image(const TorrentStatus& torrent, const std::optional<TorrentFile>& file,
                         ImageReply reply) {
    const std::string key =
        cacheKey(torrent.id, file ? std::optional<std::int64_t>(file->i) : std::nullopt);
    if (const QImage* hit = m_memory.object(QString::fromStdString(key))) {
        deliver(reply, *hit);
        return;
    }
    if (auto joined = m_pending.find(key); joined != m_pending.end()) {
        joined->second.push_back(std::move(reply));
        return;
    }
    // The disk comes before the retry throttle: a picture already on disk must
    // never be held back as a placeholder.
    QImage disk(QString::fromStdString((m_directory / (key + ".jpg")).string()));
    if (!disk.isNull()) {
        remember(key, disk);
        deliver(reply, disk);
        return;
    }

    const std::string attempt = attemptKey(key, torrent, file);
    const auto now = Clock::now();
    if (auto last = m_attempts.find(attempt);
        last != m_attempts.end() && now - last->second < kRetryAfter) {
        deliver(reply, std::nullopt);
        return;
    }
    m_attempts[attempt] = now;
    if (m_attempts.size() > kMaxAttempts)
        std::erase_if(m_attempts,
                      [&](const auto& entry) { return now - entry.second >= kAttemptMemory; });

    m_pending[key].push_back(std::move(reply));
    if (!torrent.hasMetadata) {
        completeLater(key);
        return;
    }
    if (file) {
        choose(key, torrent.savePath, {*file});
        return;
    }
    if (!m_dependencies.files) {
        choose(key, torrent.savePath, {});
        return;
    }
    QPointer<ArtworkStore> self(this);
    m_dependencies.files(torrent.id, [self, key, savePath = torrent.savePath](
                                         std::optional<std::vector<TorrentFile>> files) {
        if (self)
            self->choose(key, savePath, files.value_or(std::vector<TorrentFile>{}));
    });
}

void ArtworkStore::choose(const std::string& key, const std::string& savePath,
                          const std::vector<TorrentFile>& files) {
    std::vector<TorrentFile> usable;
    for (const TorrentFile& video :
         m_dependencies.videos ? m_dependencies.videos(files) : MediaMatcher::videos(files))
        if (video.done > kUsableBytes || isComplete(video))
            usable.push_back(video);
    if (usable.empty()) {
        completeLater(key);
        return;
    }
    auto chosen = std::find_if(usable.begin(), usable.end(), isComplete);
    if (chosen == usable.end())
        chosen = usable.begin();

    const auto source = locate(savePath, chosen->path);
    if (!source) {
        completeLater(key);
        return;
    }
    Job job{key, *source, m_directory / (key + ".jpg"), fraction(chosen->done, chosen->size)};
    const bool posted = m_worker.post([this, job = std::move(job)] {
        std::optional<QImage> image;
        if (auto bytes = extract(m_runner, m_extractor, job)) {
            QImage decoded = QImage::fromData(reinterpret_cast<const uchar*>(bytes->data()),
                                              static_cast<int>(bytes->size()));
            if (!decoded.isNull())
                image = std::move(decoded);
        }
        // The store outlives this task (its destructor joins the worker), and
        // Qt drops the call if the store is gone by the time it would run.
        QMetaObject::invokeMethod(
            this, [this, key = job.key, image = std::move(image)] { complete(key, image); },
            Qt::QueuedConnection);
    });
    if (!posted)
        completeLater(key);
}

void ArtworkStore::complete(const std::string& key, std::optional<QImage> image) {
    auto node = m_pending.extract(key);
    if (image)
        remember(key, *image);
    if (!node.empty())
        for (const ImageReply& reply : node.mapped())
            reply(image);
}

void ArtworkStore::completeLater(const std::string& key) {
    QMetaObject::invokeMethod(
        this, [this, key] { complete(key, std::nullopt); }, Qt::QueuedConnection);
}

void ArtworkStore::deliver(const ImageReply& reply, std::optional<QImage> image) {
    QMetaObject::invokeMethod(
        this, [reply, image = std::move(image)] { reply(image); }, Qt::QueuedConnection);
}

void ArtworkStore::remember(const std::string& key, const QImage& image) {
    m_memory.insert(QString::fromStdString(key), new QImage(image), kImageCost);
}

void ArtworkStore::shutdown() {
    m_runner.shutdown();
}

std::optional<std::string> ArtworkStore::extract(ProcessRunner& runner, const fs::path& extractor,
                                                 const Job& job) {
    if (extractor.empty() || ::access(extractor.c_str(), X_OK) != 0)
        return std::nullopt;
    std::error_code ec;
    fs::create_directories(job.target.parent_path(), ec);
    const auto deadline = Clock::now() + std::chrono::duration_cast<Clock::duration>(
                                             std::chrono::duration<double>(kExtractionBudget));

    double duration = 0;
    if (auto out = runner.run(extractor, {"duration", job.source}, kDurationTimeout, true))
        duration = parseDuration(*out);

    fs::path candidate = job.target;
    candidate.replace_extension("candidate.jpg");
    std::optional<std::string> best;
    double bestScore = 0;
    for (double time : FrameSelection::times(duration, job.source.string(), job.available)) {
        const double remaining = std::chrono::duration<double>(deadline - Clock::now()).count();
        if (remaining <= kLastChance)
            break;
        fs::remove(candidate, ec);
        if (!runner.run(extractor, {"frame", job.source, formatSeconds(time), candidate},
                        std::min(remaining, kFrameTimeout), false))
            continue;
        auto bytes = Storage::read(candidate);
        if (!bytes)
            continue;
        const auto score = quality(*bytes);
        if (!score)
            continue;
        // On a tie the earlier time wins.
        if (!best || *score > bestScore) {
            best = std::move(bytes);
            bestScore = *score;
        }
    }
    if (best) {
        Storage::writeAtomically(job.target, *best);
        trim(job.target.parent_path());
    }
    fs::remove(candidate, ec);
    return best;
}

std::optional<double> ArtworkStore::quality(const std::string& jpeg) {
    // Decoding straight to thumbnail size lets the JPEG decoder do most of the
    // shrinking, as a thumbnail maker would.
    QByteArray bytes = QByteArray::fromRawData(jpeg.data(), static_cast<qsizetype>(jpeg.size()));
    QBuffer buffer(&bytes);
    QImageReader reader(&buffer, "jpeg");
    reader.setScaledSize(QSize(kScoreWidth, kScoreHeight));
    QImage small = reader.read();
    if (small.isNull())
        return std::nullopt;
    // Stretched to the full 96 x 54 whatever the picture's proportions.
    if (small.size() != QSize(kScoreWidth, kScoreHeight))
        small = small.scaled(kScoreWidth, kScoreHeight, Qt::IgnoreAspectRatio,
                             Qt::SmoothTransformation);
    small.convertTo(QImage::Format_RGBA8888_Premultiplied);
    if (small.size() != QSize(kScoreWidth, kScoreHeight))
        return std::nullopt;
    std::vector<std::uint8_t> rgba(static_cast<std::size_t>(kScoreWidth) * kScoreHeight * 4);
    for (int row = 0; row < kScoreHeight; ++row)
        std::copy_n(small.constScanLine(row), kScoreWidth * 4, rgba.data() + row * kScoreWidth * 4);
    return FrameSelection::score(rgba, kScoreWidth, kScoreHeight);
}

void ArtworkStore::trim(const fs::path& folder) {
    struct Entry {
        fs::path path;
        std::uintmax_t size;
        fs::file_time_type date;
    };
    std::vector<Entry> entries;
    std::error_code ec;
    fs::directory_iterator it(folder, ec);
    if (ec)
        return;
    for (const fs::directory_entry& entry : it) {
        if (entry.path().extension() != ".jpg")
            continue;
        std::error_code sizeError;
        std::error_code dateError;
        std::uintmax_t size = entry.file_size(sizeError);
        fs::file_time_type date = entry.last_write_time(dateError);
        entries.push_back(
            {entry.path(), sizeError ? 0 : size, dateError ? fs::file_time_type::min() : date});
    }
    std::stable_sort(entries.begin(), entries.end(),
                     [](const Entry& a, const Entry& b) { return a.date < b.date; });
    std::uintmax_t total = 0;
    for (const Entry& entry : entries)
        total += entry.size;
    for (const Entry& entry : entries) {
        if (total <= kDiskLimit)
            break;
        fs::remove(entry.path, ec);
        total -= entry.size;
    }
}

} // namespace tevro
