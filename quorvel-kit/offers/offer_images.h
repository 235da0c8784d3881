#pragma once

// The kit's one loader of offer pictures: https downloads through an offers
// transport, decoded into bitmaps of at most 1400 pixels on the longer side,
// 48 of them kept in memory. Concurrent askers of one address share one
// download, and only a few downloads run at once.

#include <cstdint>
#include <deque>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

#include <QImage>
#include <QUrl>

#include "quorvel-kit/offers/offers_transport.h"

class QByteArray;

namespace quorvel {

class SerialQueue;

class OfferImages {
public:
    static constexpr size_t kCapacity = 48;
    static constexpr int64_t kMaximumBytes = 2'097'152;
    static constexpr int kLongestSide = 1400;
    // A picture declaring more pixels than this is refused before decoding.
    static constexpr int64_t kMaximumPixels = 24'000'000;
    static constexpr size_t kMaximumDownloads = 4;

    // The process-wide loader over its own transport with a disk cache.
    static OfferImages& shared();

    // Without a transport the loader makes its own over `cacheDirectory()`.
    explicit OfferImages(std::shared_ptr<OffersTransport> transport = nullptr);
    // Waits for nothing: downloads still under way are cancelled.
    ~OfferImages();
    OfferImages(const OfferImages&) = delete;
    OfferImages& operator=(const OfferImages&) = delete;

    // The picture held in memory, or a null image. Never starts a load; any thread.
    QImage cached(const QUrl& url) const;
    // The picture from memory or the network; a null image on any failure.
    // `done` runs later on the loader's own thread.
    void load(const QUrl& url, std::function<void(QImage)> done);
    // Loads what is not in memory yet, in the order given; `done` runs once,
    // when all of them have finished or `timeout` seconds have passed. With nothing to load it
    // runs at once on the calling thread. The downloads go on after a timeout.
    void prefetch(const std::vector<QUrl>& urls, double timeout, std::function<void()> done);

    // A bitmap of the downloaded bytes, upright and at most `kLongestSide`
    // pixels on its longer side; null when the data is no picture or
    // declares more than `kMaximumPixels`.
    static QImage decode(const QByteArray& data);
    // Where the disk cache of the shared loader lives.
    static std::filesystem::path cacheDirectory();

    // Addresses being fetched right now (tests watch the limit).
    size_t downloadsRunning() const;

private:
    // Cancels what runs and ends the loader's thread; nothing loads afterwards.
    void stop();
    void post(std::function<void()> task);
    void pump();
    void download(const QUrl& url);
    void finish(const QUrl& url, const QImage& image);

    std::shared_ptr<OffersTransport> m_transport;
    mutable std::mutex m_lock;
    std::map<QUrl, QImage> m_images;
    std::deque<QUrl> m_order;
    std::map<QUrl, std::vector<std::function<void(QImage)>>> m_loading;
    std::deque<QUrl> m_waiting;
    size_t m_running = 0;
    std::unique_ptr<SerialQueue> m_queue;
};

} // namespace quorvel
