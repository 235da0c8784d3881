#include "quorvel-kit/offers/offers_model.h"

#include <algorithm>

#include <QCoreApplication>
#include <QPointer>

namespace quorvel {

OffersModel::OffersModel(QuorvelOffers& source, QObject* parent)
    : QObject(parent), m_source(&source, [](QuorvelOffers*) {}) {}

OffersModel::OffersModel(std::vector<Offer> previewOffers, QObject* parent)
    : QObject(parent), m_source(std::make_shared<QuorvelOffers>()),
      m_offers(std::move(previewOffers)) {}

int OffersModel::pageCount() const {
    return std::max<int>(1, int((m_offers.size() + kPageSize - 1) / kPageSize));
}

std::vector<Offer> OffersModel::pageOffers() const {
    size_t first = size_t(m_pageIndex) * kPageSize;
    if (first >= m_offers.size())
        return {};
    size_t last = std::min(m_offers.size(), first + kPageSize);
    return {m_offers.begin() + long(first), m_offers.begin() + long(last)};
}

void OffersModel::setOffers(std::vector<Offer> offers) {
    m_offers = std::move(offers);
    emit offersChanged();
}

void OffersModel::setPageIndex(int index) {
    m_pageIndex = index;
    emit pageIndexChanged();
}

void OffersModel::refresh(bool force, std::function<void()> done) {
    QPointer<OffersModel> self(this);
    // The facade answers on the engine's queue; the model changes only here.
    m_source->available(force, [self, done = std::move(done)](OffersEngine::Answer answer) {
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [self, answer = std::move(answer), done] {
                if (!self)
                    return;
                self->setOffers(answer.value_or(std::vector<Offer>{}));
                self->setPageIndex(std::min(self->m_pageIndex, self->pageCount() - 1));
                if (done)
                    done();
            },
            Qt::QueuedConnection);
    });
}

void OffersModel::markShown() {
    m_source->markShown(m_offers);
}

void OffersModel::markPageShown() {
    m_source->markShown(pageOffers());
}

void OffersModel::showPage(int index) {
    setPageIndex(m_offers.empty() ? 0 : std::min(pageCount() - 1, std::max(index, 0)));
}

void OffersModel::hide(const Offer& offer) {
    std::vector<Offer> rest = m_offers;
    std::erase_if(rest, [&](const Offer& o) { return o.id == offer.id; });
    setOffers(std::move(rest));
    setPageIndex(std::min(m_pageIndex, pageCount() - 1));
    m_source->dismiss(offer);
}

void OffersModel::open(const Offer& offer) {
    m_source->open(offer);
}

} // namespace quorvel
