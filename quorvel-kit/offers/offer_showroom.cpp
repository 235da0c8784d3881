#include "quorvel-kit/offers/offer_showroom.h"

#include <QAbstractButton>
#include <QBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QScrollArea>
#include <QScrollBar>
#include <QShortcut>
#include <QShowEvent>

#include "quorvel-kit/offers/offer_banner.h"
#include "quorvel-kit/offers/offer_card.h"
#include "quorvel-kit/offers/offer_card_glyphs.h"

namespace quorvel {

namespace {

constexpr int kBannerImageHeight = 96;

// The desktop's nearest to a standard purple.
const QColor kTitlePurple = QColor::fromRgb(175, 82, 222);

class GiftSymbol : public QWidget {
public:
    explicit GiftSymbol(QWidget* parent) : QWidget(parent) { setFixedSize(22, 22); }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        offer_glyphs::gift(p, QRectF(rect()), 18, kTitlePurple);
    }
};

class CloseButton : public QAbstractButton {
public:
    explicit CloseButton(QWidget* parent) : QAbstractButton(parent) {
        setFixedSize(30, 30);
        setFocusPolicy(Qt::TabFocus);
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        if (isDown() || underMouse()) {
            p.setPen(Qt::NoPen);
            QColor wash = palette().color(QPalette::WindowText);
            wash.setAlphaF(isDown() ? 0.16f : 0.08f);
            p.setBrush(wash);
            p.drawRoundedRect(QRectF(rect()), 7, 7);
        }
        offer_glyphs::cross(p, QRectF(rect()), 9, 1.9, palette().color(QPalette::WindowText));
    }
    void enterEvent(QEnterEvent* event) override {
        update();
        QAbstractButton::enterEvent(event);
    }
    void leaveEvent(QEvent* event) override {
        update();
        QAbstractButton::leaveEvent(event);
    }
};

class Divider : public QWidget {
public:
    explicit Divider(QWidget* parent) : QWidget(parent) { setFixedHeight(1); }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        QColor line = palette().color(QPalette::WindowText);
        line.setAlphaF(0.12f);
        p.fillRect(rect(), line);
    }
};

} // namespace

OffersShowroom::OffersShowroom(OffersModel& model, Labels labels, Layout layout,
                               std::function<void()> close, QWidget* parent)
    : QWidget(parent), m_model(model), m_labels(std::move(labels)), m_layout(layout),
      m_close(std::move(close)), m_empty(model.offers().empty()) {
    auto* stack = new QVBoxLayout(this);
    stack->setContentsMargins(0, 0, 0, 0);
    stack->setSpacing(0);

    auto* titleBar = new QHBoxLayout;
    titleBar->setContentsMargins(20, 20, 20, 20);
    titleBar->setSpacing(10);
    titleBar->addWidget(new GiftSymbol(this));
    auto* title = new QLabel(m_labels.title, this);
    title->setObjectName(QStringLiteral("title"));
    title->setTextFormat(Qt::PlainText);
    QFont titleFont = font();
    titleFont.setPixelSize(20);
    titleFont.setWeight(QFont::DemiBold);
    title->setFont(titleFont);
    titleBar->addWidget(title);
    titleBar->addStretch();
    m_closeButton = new CloseButton(this);
    m_closeButton->setObjectName(QStringLiteral("close"));
    m_closeButton->setAccessibleName(m_labels.close);
    m_closeButton->setToolTip(m_labels.close);
    connect(m_closeButton, &QAbstractButton::clicked, this, [this] {
        if (m_close)
            m_close();
    });
    titleBar->addWidget(m_closeButton);
    stack->addLayout(titleBar);
    auto* escape = new QShortcut(QKeySequence::Cancel, this);
    escape->setContext(Qt::WidgetWithChildrenShortcut);
    connect(escape, &QShortcut::activated, m_closeButton, &QAbstractButton::click);

    stack->addWidget(new Divider(this));

    if (m_layout == Layout::columns) {
        m_offersLayout = new QHBoxLayout;
        m_offersLayout->setContentsMargins(14, 14, 14, 14);
        m_offersLayout->setSpacing(12);
        stack->addLayout(m_offersLayout, 1);
    } else {
        m_scroll = new QScrollArea(this);
        m_scroll->setObjectName(QStringLiteral("offers"));
        m_scroll->setFrameShape(QFrame::NoFrame);
        m_scroll->setWidgetResizable(true);
        m_scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        m_scroll->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
        auto* list = new QWidget;
        list->setAutoFillBackground(false);
        m_offersLayout = new QVBoxLayout(list);
        m_offersLayout->setContentsMargins(20, 20, 20, 20);
        m_offersLayout->setSpacing(14);
        m_offersLayout->addStretch();
        m_scroll->setWidget(list);
        m_scroll->viewport()->setAutoFillBackground(false);
        stack->addWidget(m_scroll, 1);
    }

    connect(&m_model, &OffersModel::offersChanged, this, &OffersShowroom::sync);
    sync();
}

std::vector<QWidget*> OffersShowroom::offerViews() const {
    std::vector<QWidget*> views;
    for (const Offer& offer : m_model.offers()) {
        auto found = m_views.find(offer.id);
        if (found != m_views.end() && found->second)
            views.push_back(found->second);
    }
    return views;
}

QWidget* OffersShowroom::makeView(const Offer& offer) {
    auto open = [this, offer] { m_model.open(offer); };
    auto hide = [this, offer] { m_model.hide(offer); };
    if (m_layout == Layout::columns)
        return new OfferBanner(offer, m_labels.hide, open, hide, kBannerImageHeight);
    return new OfferCard(offer, m_labels.hide, open, hide);
}

void OffersShowroom::sync() {
    const auto& offers = m_model.offers();
    // Views of offers that left go later: a hide may come from their own button.
    for (auto it = m_views.begin(); it != m_views.end();) {
        const bool kept = std::any_of(offers.begin(), offers.end(),
                                      [&](const Offer& o) { return o.id == it->first; });
        if (kept && it->second) {
            ++it;
            continue;
        }
        if (it->second) {
            m_offersLayout->removeWidget(it->second);
            it->second->hide();
            it->second->deleteLater();
        }
        it = m_views.erase(it);
    }
    int index = 0;
    for (const Offer& offer : offers) {
        QPointer<QWidget>& view = m_views[offer.id];
        if (!view)
            view = makeView(offer);
        m_offersLayout->removeWidget(view);
        if (m_layout == Layout::columns)
            m_offersLayout->insertWidget(index, view, 1);
        else
            m_offersLayout->insertWidget(index, view);
        view->show();
        ++index;
    }

    const bool empty = offers.empty();
    if (empty != m_empty) {
        m_empty = empty;
        if (empty && m_close)
            m_close();
    }
}

void OffersShowroom::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (!event->spontaneous())
        m_model.markShown();
}

} // namespace quorvel
