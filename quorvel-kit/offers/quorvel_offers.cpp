#include "quorvel-kit/offers/quorvel_offers.h"

#include <QProcess>

#include "quorvel-kit/offers/offer_images.h"

namespace quorvel {

namespace {

constexpr double kPictureWaitSeconds = 6;

bool openWithDesktop(const QUrl& url) {
    return QProcess::startDetached(QStringLiteral("xdg-open"), {url.toString(QUrl::FullyEncoded)});
}

} // namespace

QuorvelOffers::QuorvelOffers() : m_opener(openWithDesktop) {}

QuorvelOffers& QuorvelOffers::shared() {
    // Never destroyed: engine threads must not be stopped after the
    // application object is gone at exit.
    static QuorvelOffers* facade = new QuorvelOffers;
    return *facade;
}

void QuorvelOffers::configure(const OffersConfiguration& configuration) {
    configure(configuration, OffersDependencies::live());
}

void QuorvelOffers::configure(const OffersConfiguration& configuration,
                              OffersDependencies dependencies) {
    auto engine = std::make_shared<OffersEngine>(configuration, std::move(dependencies));
    std::lock_guard guard(m_lock);
    if (m_engine)
        m_retired.push_back(std::move(m_engine));
    m_engine = std::move(engine);
}

std::shared_ptr<OffersEngine> QuorvelOffers::engine() {
    std::lock_guard guard(m_lock);
    return m_engine;
}

void QuorvelOffers::available(bool refresh, std::function<void(OffersEngine::Answer)> done) {
    auto current = engine();
    if (!current) {
        done(std::nullopt);
        return;
    }
    current->available(refresh, [done = std::move(done)](OffersEngine::Answer answer) {
        if (!answer) {
            done(std::nullopt);
            return;
        }
        std::vector<QUrl> pictures;
        for (const Offer& offer : *answer)
            for (QUrl& url : offer.imageURLs())
                pictures.push_back(std::move(url));
        if (pictures.empty()) {
            done(std::move(answer));
            return;
        }
        // The pictures come first, so the views draw them in their first frame,
        // but never for longer than a short while.
        OfferImages::shared().prefetch(pictures, kPictureWaitSeconds,
                                       [done, answer = std::move(answer)] { done(answer); });
    });
}

void QuorvelOffers::markShown(const std::vector<Offer>& offers) {
    std::vector<std::string> ids;
    for (const auto& offer : offers)
        ids.push_back(offer.id);
    if (auto current = engine())
        current->markShown(std::move(ids));
}

void QuorvelOffers::dismiss(const Offer& offer) {
    if (auto current = engine())
        current->dismiss(offer.id);
}

bool QuorvelOffers::open(const Offer& offer) {
    if (!OffersEngine::isSafe(offer.ctaURL))
        return false;
    std::function<bool(const QUrl&)> opener;
    {
        std::lock_guard guard(m_lock);
        opener = m_opener;
    }
    return opener && opener(offer.ctaURL);
}

void QuorvelOffers::setOpener(std::function<bool(const QUrl&)> opener) {
    std::lock_guard guard(m_lock);
    m_opener = std::move(opener);
}

} // namespace quorvel
