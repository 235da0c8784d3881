#include "quorvel-kit/offers/offer_card.h"

#include <algorithm>

#include <QAbstractButton>
#include <QPainter>
#include <QResizeEvent>

#include "quorvel-kit/offers/offer_card_glyphs.h"
#include "quorvel-kit/offers/offer_card_parts.h"
#include "quorvel-kit/offers/offer_card_layout.h"
#include "quorvel-kit/offers/pressable_card.h"

namespace quorvel {

using offer_card_parts::color;

namespace {

// Both forms of a card's content; shows the wide one whenever it fits.
class FitContent : public QWidget {
public:
    FitContent(OfferCardLayout* wide, OfferCardLayout* narrow) : m_wide(wide), m_narrow(narrow) {
        m_wide->setParent(this);
        m_narrow->setParent(this);
        QSizePolicy policy(QSizePolicy::Preferred, QSizePolicy::Preferred);
        policy.setHeightForWidth(true);
        setSizePolicy(policy);
        m_narrow->hide();
    }

    int wideMinimum() const {
        return std::max(OfferCard::kWideMinimumWidth, m_wide->minimumSizeHint().width());
    }
    OfferCardLayout* formFor(int width) const { return width >= wideMinimum() ? m_wide : m_narrow; }
    OfferCardLayout* shown() const { return formFor(width()); }

    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override { return formFor(width)->heightForWidth(width); }
    QSize sizeHint() const override {
        const int width = wideMinimum();
        return {width, heightForWidth(width)};
    }
    QSize minimumSizeHint() const override { return m_narrow->minimumSizeHint(); }

protected:
    bool event(QEvent* event) override {
        // A form's height changed (a picture arrived): tell the card.
        if (event->type() == QEvent::LayoutRequest)
            updateGeometry();
        return QWidget::event(event);
    }
    void resizeEvent(QResizeEvent*) override {
        OfferCardLayout* form = shown();
        OfferCardLayout* other = form == m_wide ? m_narrow : m_wide;
        other->hide();
        form->setGeometry(rect());
        form->show();
    }

private:
    OfferCardLayout* m_wide;
    OfferCardLayout* m_narrow;
};

// The round button that hides the offer.
class HideButton : public QAbstractButton {
public:
    HideButton(const OfferDesign& design, QWidget* parent)
        : QAbstractButton(parent), m_symbol(color(design.foreground)),
          m_circle(QColor::fromRgbF(1, 1, 1, design.hasLightText() ? 0.2 : 0.8)) {
        setFixedSize(28, 28);
        setFocusPolicy(Qt::TabFocus);
        setCursor(Qt::ArrowCursor);
    }

    QColor circleColor() const { return m_circle; }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(Qt::NoPen);
        p.setBrush(m_circle);
        p.drawEllipse(QRectF(rect()));
        offer_glyphs::cross(p, QRectF(rect()), 7.5, 1.9, m_symbol);
        if (hasFocus()) {
            p.setPen(QPen(m_symbol, 1.5));
            p.setBrush(Qt::NoBrush);
            p.drawEllipse(QRectF(rect()).adjusted(1, 1, -1, -1));
        }
    }

private:
    QColor m_symbol;
    QColor m_circle;
};

} // namespace

OfferCard::OfferCard(Offer offer, QString hideLabel, std::function<void()> open,
                     std::function<void()> hide, QWidget* parent)
    : QWidget(parent), m_offer(std::move(offer)), m_open(std::move(open)), m_hide(std::move(hide)) {
    setLayoutDirection(m_offer.isRightToLeft ? Qt::RightToLeft : Qt::LeftToRight);
    QSizePolicy policy(QSizePolicy::Preferred, QSizePolicy::Preferred);
    policy.setHeightForWidth(true);
    setSizePolicy(policy);

    m_wide = new OfferCardLayout(m_offer, true);
    m_narrow = new OfferCardLayout(m_offer, false);
    m_button = new PressableCard(new FitContent(m_wide, m_narrow), this);
    const QString id = QString::fromStdString(m_offer.id);
    m_button->setObjectName(QStringLiteral("offer.") + id);
    m_button->setAccessibleName(QString::fromStdString(m_offer.title));
    connect(m_button, &QAbstractButton::clicked, this, [this] {
        if (m_open)
            m_open();
    });

    // A child of the card button, so that moving onto it keeps the card revealed.
    m_hideButton = new HideButton(m_offer.design, m_button);
    m_hideButton->setObjectName(QStringLiteral("offer.hide.") + id);
    m_hideButton->setAccessibleName(hideLabel);
    m_hideButton->setToolTip(hideLabel);
    connect(m_hideButton, &QAbstractButton::clicked, this, [this] {
        if (m_hide)
            m_hide();
    });
}

OfferCardLayout* OfferCard::content() const {
    return static_cast<FitContent*>(m_button->label())->shown();
}

void OfferCard::setTextScale(qreal scale) {
    m_wide->setTextScale(scale);
    m_narrow->setTextScale(scale);
    updateGeometry();
}

int OfferCard::heightForWidth(int width) const {
    return m_button->label()->heightForWidth(width);
}

QSize OfferCard::sizeHint() const {
    return m_button->label()->sizeHint();
}

QSize OfferCard::minimumSizeHint() const {
    return m_button->label()->minimumSizeHint();
}

bool OfferCard::event(QEvent* event) {
    if (event->type() == QEvent::LayoutRequest)
        updateGeometry(); // the host lays the card out again at its new height
    return QWidget::event(event);
}

void OfferCard::resizeEvent(QResizeEvent*) {
    place();
}

void OfferCard::place() {
    m_button->setGeometry(rect());
    const int x = isRightToLeft() ? 12 : width() - 12 - m_hideButton->width();
    m_hideButton->move(x, 12);
    m_hideButton->raise();
}

} // namespace quorvel
