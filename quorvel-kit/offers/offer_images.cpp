#include "quorvel-kit/offers/offer_images.h"

#include <algorithm>
#include <cmath>
#include <set>

#include <QBuffer>
#include <QCoreApplication>
#include <QImageReader>
#include <QStandardPaths>
#include <QTimer>

#include "quorvel-kit/offers/offers_engine.h"
#include "quorvel-kit/offers/url_session_offers_transport.h"
#include "quorvel-kit/statistics/bundle.h"
#include "quorvel-kit/statistics/serial_queue.h"

namespace quorvel {

namespace {

constexpr double kRequestSeconds = 12;
// A day is far beyond any wait a caller means.
constexpr double kLongestWaitSeconds = 86'400;

} // namespace

OfferImages& OfferImages::shared() {
    // Never destroyed, like the facade: its thread must not stop after the
    // application object is gone.
    static OfferImages* images = [] {
        auto* made = new OfferImages;
        // Downloads must not run on while the process ends: the network
        // libraries are torn down then.
        qAddPostRoutine([] { shared().stop(); });
        return made;
    }();
    return *images;
}

std::filesystem::path OfferImages::cacheDirectory() {
    const QString root = qEnvironmentVariable("QUORVEL_TEST_ROOT");
    if (!root.isEmpty())
        return std::filesystem::path(root.toStdString()) / "quorvel-kit" / "offer-images";
    std::filesystem::path caches =
        QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation).toStdString();
    std::string owner = Bundle::main().string("CFBundleIdentifier").value_or("QuorvelKit");
    return caches / owner / "QuorvelKit" / "OfferImages";
}

OfferImages::OfferImages(std::shared_ptr<OffersTransport> transport)
    : m_transport(std::move(transport)),
      m_queue(std::make_unique<SerialQueue>("quorvel.offer-images")) {
    if (!m_transport)
        m_transport = std::make_shared<URLSessionOffersTransport>(cacheDirectory());
}

OfferImages::~OfferImages() {
    stop();
}

void OfferImages::stop() {
    if (!m_queue)
        return;
    // The transport's session belongs to the loader's thread: end it there.
    m_queue->sync([this] {
        {
            std::lock_guard guard(m_lock);
            m_waiting.clear();
        }
        m_transport.reset();
    });
    m_queue.reset();
}

void OfferImages::post(std::function<void()> task) {
    // Once stopped, nothing runs any more.
    if (m_queue)
        m_queue->post(std::move(task));
}

QImage OfferImages::cached(const QUrl& url) const {
    std::lock_guard guard(m_lock);
    auto it = m_images.find(url);
    return it == m_images.end() ? QImage() : it->second;
}

size_t OfferImages::downloadsRunning() const {
    std::lock_guard guard(m_lock);
    return m_running;
}

void OfferImages::load(const QUrl& url, std::function<void(QImage)> done) {
    if (!OffersEngine::isSafe(url)) {
        post([done = std::move(done)] { done(QImage()); });
        return;
    }
    {
        std::lock_guard guard(m_lock);
        if (auto hit = m_images.find(url); hit != m_images.end()) {
            post([image = hit->second, done = std::move(done)] { done(image); });
            return;
        }
        auto joined = m_loading.find(url);
        if (joined != m_loading.end()) {
            joined->second.push_back(std::move(done));
            return;
        }
        m_loading[url].push_back(std::move(done));
        m_waiting.push_back(url);
    }
    post([this] { pump(); });
}

void OfferImages::pump() {
    std::vector<QUrl> starting;
    {
        std::lock_guard guard(m_lock);
        while (m_running < kMaximumDownloads && !m_waiting.empty()) {
            starting.push_back(m_waiting.front());
            m_waiting.pop_front();
            ++m_running;
        }
    }
    for (const QUrl& url : starting)
        download(url);
}

void OfferImages::download(const QUrl& url) {
    if (!m_transport) {
        finish(url, QImage());
        return;
    }
    OffersRequest request;
    request.url = url;
    request.timeout = kRequestSeconds;
    request.ignoresCache = false;
    request.maximumBytes = kMaximumBytes;
    request.headers = {{"Accept", "image/webp,image/png,image/jpeg"}};
    m_transport->send(request, [this, url](OffersTransport::Result result) {
        QImage image;
        if (result && result->status == 200 && int64_t(result->body.size()) <= kMaximumBytes)
            image = decode(QByteArray::fromStdString(result->body));
        finish(url, image);
    });
}

void OfferImages::finish(const QUrl& url, const QImage& image) {
    std::vector<std::function<void(QImage)>> waiters;
    {
        std::lock_guard guard(m_lock);
        if (auto node = m_loading.extract(url))
            waiters = std::move(node.mapped());
        --m_running;
        if (!image.isNull() && !m_images.contains(url)) {
            m_images.emplace(url, image);
            m_order.push_back(url);
            if (m_order.size() > kCapacity) {
                m_images.erase(m_order.front());
                m_order.pop_front();
            }
        }
    }
    for (auto& waiter : waiters)
        waiter(image);
    pump();
}

void OfferImages::prefetch(const std::vector<QUrl>& urls, double timeout,
                           std::function<void()> done) {
    // In the order given: the first page's pictures come first and start
    // first, as only a few downloads run at once.
    std::vector<QUrl> pending;
    std::set<QUrl> seen;
    for (const QUrl& url : urls)
        if (seen.insert(url).second && cached(url).isNull())
            pending.push_back(url);
    if (pending.empty()) {
        done();
        return;
    }
    if (!(timeout > 0))
        timeout = 0;
    const auto wait =
        std::chrono::milliseconds(int64_t(std::min(timeout, kLongestWaitSeconds) * 1000));

    // Touched only on the loader's thread.
    struct Progress {
        size_t remaining;
        bool over = false;
        std::function<void()> done;
        void end() {
            if (!over) {
                over = true;
                done();
            }
        }
    };
    auto progress = std::make_shared<Progress>(Progress{pending.size(), false, std::move(done)});
    post([this, progress, pending = std::move(pending), wait] {
        QTimer::singleShot(wait, [progress] { progress->end(); });
        for (const QUrl& url : pending)
            load(url, [progress](const QImage&) {
                if (--progress->remaining == 0)
                    progress->end();
            });
    });
}

QImage OfferImages::decode(const QByteArray& data) {
    QByteArray bytes = data;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    reader.setDecideFormatFromContent(true);
    reader.setAutoTransform(true);
    // The header alone says how large the bitmap would be: a small file may
    // declare enormous dimensions, and those are refused before decoding.
    const QSize declared = reader.size();
    if (!declared.isValid() || declared.isEmpty() ||
        int64_t(declared.width()) * declared.height() > kMaximumPixels)
        return {};
    if (std::max(declared.width(), declared.height()) > kLongestSide)
        reader.setScaledSize(declared.scaled(kLongestSide, kLongestSide, Qt::KeepAspectRatio));
    QImage image = reader.read();
    if (image.isNull())
        return {};
    return image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

} // namespace quorvel
