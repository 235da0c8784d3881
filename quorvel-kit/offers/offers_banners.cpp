#include "quorvel-kit/offers/offers_banners.h"

#include <algorithm>

#include <QAbstractButton>
#include <QApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QShowEvent>
#include <QVBoxLayout>

#include "quorvel-kit/offers/offer_banner.h"
#include "quorvel-kit/offers/offers_model.h"

namespace quorvel {

namespace {

QFont controlFont() {
    QFont f = QApplication::font();
    f.setPixelSize(12);
    f.setWeight(QFont::Medium);
    return f;
}

// A page button: its title with a chevron before (previous) or after (next).
class PageButton : public QAbstractButton {
public:
    static constexpr int kChevron = 8;
    static constexpr int kGap = 6;

    PageButton(const QString& title, bool chevronFirst, QWidget* parent)
        : QAbstractButton(parent), m_chevronFirst(chevronFirst) {
        setText(title);
        setAccessibleName(title);
        setFont(controlFont());
        setCursor(Qt::PointingHandCursor);
    }

    QSize sizeHint() const override {
        return {fontMetrics().horizontalAdvance(text()) + kGap + kChevron + 4, 28};
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        QColor colour = palette().color(QPalette::WindowText);
        if (!isEnabled())
            colour.setAlphaF(0.3f);
        else if (isDown())
            colour.setAlphaF(0.55f);
        const int textWidth = fontMetrics().horizontalAdvance(text());
        const int left = (width() - textWidth - kGap - kChevron) / 2;
        const bool chevronLeft = m_chevronFirst != (layoutDirection() == Qt::RightToLeft);
        const int textLeft = chevronLeft ? left + kChevron + kGap : left;
        p.setPen(colour);
        p.drawText(QRect(textLeft, 0, textWidth, height()), Qt::AlignVCenter | Qt::AlignLeft,
                   text());
        const qreal x = chevronLeft ? left : left + textWidth + kGap;
        const qreal cy = height() / 2.0;
        QPen pen(colour, 1.6);
        pen.setCapStyle(Qt::RoundCap);
        pen.setJoinStyle(Qt::RoundJoin);
        p.setPen(pen);
        // Pointing back for "previous", forward for "next".
        const bool pointsLeft = m_chevronFirst != (layoutDirection() == Qt::RightToLeft);
        const qreal tip = pointsLeft ? x + 2 : x + kChevron - 2;
        const qreal back = pointsLeft ? x + kChevron - 2 : x + 2;
        p.drawPolyline(QPolygonF{{back, cy - 4.5}, {tip, cy}, {back, cy + 4.5}});
    }

private:
    bool m_chevronFirst;
};

std::vector<std::string> idsOf(const std::vector<Offer>& offers) {
    std::vector<std::string> ids;
    for (const Offer& offer : offers)
        ids.push_back(offer.id);
    return ids;
}

} // namespace

OffersBanners::OffersBanners(OffersModel& model, QString hideLabel, QString previousLabel,
                             QString nextLabel, std::function<void()> close, QWidget* parent,
                             OfferImages* images)
    : QWidget(parent), m_model(model), m_hideLabel(std::move(hideLabel)), m_close(std::move(close)),
      m_images(images) {
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    m_row = new QHBoxLayout;
    m_row->setContentsMargins(18, 18, 18, 18);
    m_row->setSpacing(14);
    for (QWidget*& slot : m_slots) {
        slot = new QWidget(this);
        slot->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
        m_row->addWidget(slot, 1);
    }
    column->addLayout(m_row, 1);

    m_controls = new QWidget(this);
    m_controls->setFixedHeight(kControlsHeight);
    auto* controls = new QHBoxLayout(m_controls);
    controls->setContentsMargins(0, 0, 0, 0);
    controls->setSpacing(18);
    controls->addStretch(1);
    m_previous = new PageButton(previousLabel, true, m_controls);
    m_previous->setObjectName(QStringLiteral("offers.previous"));
    m_page = new QLabel(m_controls);
    m_page->setObjectName(QStringLiteral("offers.page"));
    m_page->setTextFormat(Qt::PlainText);
    m_page->setFont(controlFont());
    m_next = new PageButton(nextLabel, false, m_controls);
    m_next->setObjectName(QStringLiteral("offers.next"));
    controls->addWidget(m_previous);
    controls->addWidget(m_page);
    controls->addWidget(m_next);
    controls->addStretch(1);
    column->addWidget(m_controls);
    connect(m_previous, &QAbstractButton::clicked, this, [this] { m_model.previousPage(); });
    connect(m_next, &QAbstractButton::clicked, this, [this] { m_model.nextPage(); });

    connect(&m_model, &OffersModel::offersChanged, this, &OffersBanners::sync);
    connect(&m_model, &OffersModel::pageIndexChanged, this, &OffersBanners::sync);
    m_wasEmpty = m_model.offers().empty();
    sync();
}

OfferBanner* OffersBanners::banner(int slot) const {
    return qobject_cast<OfferBanner*>(m_slots[slot]);
}

QWidget* OffersBanners::pageControls() const {
    return m_controls->isHidden() ? nullptr : m_controls;
}

int OffersBanners::imageHeight() const {
    const int controls = m_model.pageCount() > 1 ? kControlsHeight : 0;
    return std::clamp(height() - controls - 400, 200, 280);
}

void OffersBanners::sync() {
    const std::vector<Offer> page = m_model.pageOffers();
    const bool several = m_model.pageCount() > 1;
    setMinimumSize(kMinimumWidth, several ? 664 : 620);
    m_controls->setHidden(!several);
    m_previous->setEnabled(m_model.pageIndex() > 0);
    m_next->setEnabled(m_model.pageIndex() + 1 < m_model.pageCount());
    m_page->setText(
        QStringLiteral("%1 / %2").arg(m_model.pageIndex() + 1).arg(m_model.pageCount()));

    for (int i = 0; i < 3; ++i) {
        OfferBanner* current = banner(i);
        const bool filled = i < int(page.size());
        // Another offer in a slot is a new banner, not an updated one.
        if (filled && current && current->offer() == page[size_t(i)])
            continue;
        if (!filled && !current)
            continue;
        QWidget* replacement;
        if (filled) {
            const Offer offer = page[size_t(i)];
            replacement = new OfferBanner(
                offer, m_hideLabel, [this, offer] { m_model.open(offer); },
                [this, offer] { m_model.hide(offer); }, imageHeight(), this, m_images);
        } else {
            replacement = new QWidget(this);
            replacement->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
        }
        delete m_row->replaceWidget(m_slots[i], replacement);
        m_slots[i]->hide();
        m_slots[i]->deleteLater();
        m_slots[i] = replacement;
        if (isVisible())
            replacement->show();
    }

    std::vector<std::string> ids = idsOf(page);
    const bool idsChanged = ids != m_pageIDs;
    m_pageIDs = std::move(ids);
    if (idsChanged && m_appeared)
        m_model.markPageShown();

    const bool empty = m_model.offers().empty();
    const bool becameEmpty = empty && !m_wasEmpty;
    m_wasEmpty = empty;
    if (becameEmpty && m_close)
        m_close();
}

void OffersBanners::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (event->spontaneous() || m_appeared)
        return;
    m_appeared = true;
    // The strip always opens on the first page and counts what it shows.
    m_model.showPage(0);
    m_model.markPageShown();
}

void OffersBanners::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    if (!event->spontaneous())
        m_appeared = false;
}

void OffersBanners::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    for (int i = 0; i < 3; ++i)
        if (OfferBanner* b = banner(i))
            b->setImageHeight(imageHeight());
}

} // namespace quorvel
