#pragma once

// The list of offers the user may see, three a page, and the user's gestures
// on it turned into facade calls. Main thread only.

#include <memory>
#include <vector>

#include <QObject>

#include "quorvel-kit/offers/quorvel_offers.h"

namespace quorvel {

class OffersModel : public QObject {
    Q_OBJECT
public:
    static constexpr int kPageSize = 3;

    // Over a facade that outlives the model (the application passes the shared one).
    explicit OffersModel(QuorvelOffers& source, QObject* parent = nullptr);
    // Over an unconfigured facade of its own, showing these offers.
    explicit OffersModel(std::vector<Offer> previewOffers, QObject* parent = nullptr);

    const std::vector<Offer>& offers() const { return m_offers; }
    int pageIndex() const { return m_pageIndex; }
    int pageCount() const;
    std::vector<Offer> pageOffers() const;

    // Asks the facade; the answer (none counts as empty) replaces the list and
    // the page is kept where it still exists. `done` runs after the update.
    void refresh(bool force, std::function<void()> done = {});
    void markShown();
    void markPageShown();
    void showPage(int index);
    void nextPage() { showPage(m_pageIndex + 1); }
    void previousPage() { showPage(m_pageIndex - 1); }
    // Removes every offer with this id and records the dismissal.
    void hide(const Offer& offer);
    // Opens the link; the list and the counts stay as they are.
    void open(const Offer& offer);

signals:
    void offersChanged();
    void pageIndexChanged();

private:
    void setOffers(std::vector<Offer> offers);
    void setPageIndex(int index);

    std::shared_ptr<QuorvelOffers> m_source;
    std::vector<Offer> m_offers;
    int m_pageIndex = 0;
};

} // namespace quorvel
