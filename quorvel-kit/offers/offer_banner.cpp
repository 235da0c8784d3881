#include "quorvel-kit/offers/offer_banner.h"

#include <QAbstractButton>
#include <QApplication>
#include <QHBoxLayout>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QTextLayout>
#include <QVBoxLayout>

#include "quorvel-kit/offers/offer_card_text.h"
#include "quorvel-kit/offers/offer_picture.h"

namespace quorvel {

namespace {

QFont bannerFont(qreal pixelSize, QFont::Weight weight) {
    QFont f = QApplication::font();
    f.setPixelSize(qRound(pixelSize));
    f.setWeight(weight);
    return f;
}

// Texts from the service are plain text, never markup. A wrapping one breaks
// inside a word that is wider than the banner (as the cards do), so no text
// widens its banner; a one-line one ends in an ellipsis where it is cut.
OfferCardText* plainText(const std::string& text, const QFont& f, bool wraps, QWidget* parent) {
    auto* label = new OfferCardText(QString::fromStdString(text), f, wraps, parent);
    label->setElides(!wraps);
    return label;
}

// The hero picture: as tall as asked while the banner has the room, lower
// (down to nothing) when the texts above need it, so it never runs under the
// call to action.
class Hero : public OfferPicture {
public:
    using OfferPicture::OfferPicture;
    void setPreferredHeight(int height) {
        m_height = height;
        setMaximumHeight(height);
        updateGeometry();
    }
    QSize sizeHint() const override { return {0, m_height}; }
    QSize minimumSizeHint() const override { return {0, 0}; }

private:
    int m_height = 0;
};

// Plain button feedback: dimmed while pressed.
qreal pressedOpacity(const QAbstractButton* button) {
    return button->isDown() ? 0.55 : 1.0;
}

// The small cross of the hide button, in the banner's text colour.
class HideButton : public QAbstractButton {
public:
    using QAbstractButton::QAbstractButton;
    QSize sizeHint() const override { return {24, 28}; }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        p.setOpacity(pressedOpacity(this));
        QPen pen(palette().color(QPalette::WindowText), 1.6);
        pen.setCapStyle(Qt::RoundCap);
        p.setPen(pen);
        const QPointF c = QRectF(rect()).center();
        const qreal r = 3.6;
        p.drawLine(c + QPointF(-r, -r), c + QPointF(r, r));
        p.drawLine(c + QPointF(-r, r), c + QPointF(r, -r));
    }
};

// The call to action: its label wraps and is never cut, with an arrow after
// it, on white in the offer's accent colour.
class CallToAction : public QAbstractButton {
public:
    static constexpr qreal kPadding = 10;
    static constexpr qreal kArrow = 9;
    static constexpr qreal kGap = 6;

    CallToAction(QColor accent, QWidget* parent) : QAbstractButton(parent), m_accent(accent) {
        setFont(bannerFont(12, QFont::Bold));
        setCursor(Qt::PointingHandCursor);
        QSizePolicy policy(QSizePolicy::Expanding, QSizePolicy::Fixed);
        policy.setHeightForWidth(true);
        setSizePolicy(policy);
    }

    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override {
        return std::max(40, qCeil(layoutText(textWidth(width)).height() + 2 * kPadding));
    }
    QSize sizeHint() const override { return {200, heightForWidth(200)}; }
    QSize minimumSizeHint() const override { return {60, 40}; }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        p.setOpacity(pressedOpacity(this));
        p.setPen(Qt::NoPen);
        p.setBrush(Qt::white);
        p.drawRoundedRect(QRectF(rect()), 10, 10);

        const qreal available = textWidth(width());
        QTextLayout layout(text(), font());
        QTextOption option(Qt::AlignHCenter);
        option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
        option.setTextDirection(layoutDirection());
        layout.setTextOption(option);
        layout.beginLayout();
        qreal y = 0, widest = 0;
        while (true) {
            QTextLine line = layout.createLine();
            if (!line.isValid())
                break;
            line.setLineWidth(available);
            line.setPosition({0, y});
            y += line.height();
            widest = std::max(widest, line.naturalTextWidth());
        }
        layout.endLayout();
        // Text and arrow are centred together, the arrow after the text.
        const qreal group = widest + kGap + kArrow;
        const qreal left = (width() - group) / 2;
        const bool rtl = layoutDirection() == Qt::RightToLeft;
        const qreal textLeft = rtl ? left + kArrow + kGap : left;
        const qreal top = (height() - y) / 2;
        p.setPen(m_accent);
        layout.draw(&p, {textLeft - (available - widest) / 2, top});

        const qreal arrowLeft = rtl ? left : left + widest + kGap;
        const QRectF arrow(arrowLeft, height() / 2.0 - kArrow / 2, kArrow, kArrow);
        QPen pen(m_accent, 1.8);
        pen.setCapStyle(Qt::RoundCap);
        pen.setJoinStyle(Qt::RoundJoin);
        p.setPen(pen);
        p.drawLine(arrow.bottomLeft(), arrow.topRight());
        p.drawPolyline(QPolygonF{arrow.topLeft() + QPointF(2, 0), arrow.topRight(),
                                 arrow.bottomRight() - QPointF(0, 2)});
    }

private:
    qreal textWidth(int width) const {
        return std::max<qreal>(1, width - 2 * kPadding - kGap - kArrow);
    }

    QSizeF layoutText(qreal width) const {
        QTextLayout layout(text(), font());
        QTextOption option;
        option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
        layout.setTextOption(option);
        layout.beginLayout();
        qreal y = 0;
        while (true) {
            QTextLine line = layout.createLine();
            if (!line.isValid())
                break;
            line.setLineWidth(width);
            y += line.height();
        }
        layout.endLayout();
        return {width, y};
    }

    QColor m_accent;
};

} // namespace

QColor OfferBanner::colour(const OfferDesign::RGB& rgb) {
    return QColor::fromRgbF(float(rgb.red), float(rgb.green), float(rgb.blue));
}

OfferBanner::OfferBanner(Offer offer, QString hideLabel, std::function<void()> open,
                         std::function<void()> hide, qreal imageHeight, QWidget* parent,
                         OfferImages* images)
    : QWidget(parent), m_offer(std::move(offer)), m_imageHeight(imageHeight) {
    const OfferDesign& design = m_offer.design;
    const QString id = QString::fromStdString(m_offer.id);
    // The offer's own direction, whatever the window's.
    setLayoutDirection(m_offer.isRightToLeft ? Qt::RightToLeft : Qt::LeftToRight);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    QPalette pal = palette();
    pal.setColor(QPalette::WindowText, colour(design.foreground));
    pal.setColor(QPalette::Text, colour(design.foreground));
    setPalette(pal);

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(14, 14, 14, 14);
    column->setSpacing(10);

    // Header: icon, name, the hide button at the far end.
    auto* header = new QHBoxLayout;
    header->setSpacing(8);
    m_icon = new OfferPicture(design.iconURL, std::nullopt, this, images);
    m_icon->setFixedSize(30, 30);
    header->addWidget(m_icon, 0, Qt::AlignVCenter);
    m_name = plainText(m_offer.appName(), bannerFont(12, QFont::Bold), false, this);
    header->addWidget(m_name, 0, Qt::AlignVCenter);
    header->addStretch(1);
    m_hide = new HideButton(this);
    m_hide->setObjectName(QStringLiteral("offer.hide.") + id);
    m_hide->setAccessibleName(hideLabel);
    m_hide->setFixedSize(24, 28);
    m_hide->setCursor(Qt::PointingHandCursor);
    connect(m_hide, &QAbstractButton::clicked, this, [hide = std::move(hide)] {
        if (hide)
            hide();
    });
    header->addWidget(m_hide, 0, Qt::AlignVCenter);
    column->addLayout(header);

    QFont titleFont = bannerFont(20, QFont::ExtraBold);
    titleFont.setLetterSpacing(QFont::AbsoluteSpacing, -0.3);
    m_title = plainText(m_offer.title, titleFont, true, this);
    m_title->setMinimumHeight(50);
    m_title->setVerticalAlignment(Qt::AlignTop);
    column->addWidget(m_title);

    if (!m_offer.body.empty()) {
        m_body = plainText(m_offer.body, bannerFont(11, QFont::Normal), true, this);
        column->addWidget(m_body);
    }

    // Statistics share the row's width equally; the row keeps its height when empty.
    m_statistics = new QWidget(this);
    m_statistics->setMinimumHeight(48);
    auto* stats = new QHBoxLayout(m_statistics);
    stats->setContentsMargins(0, 0, 0, 0);
    stats->setSpacing(10);
    for (const OfferStat& stat : m_offer.stats) {
        auto* item = new QVBoxLayout;
        item->setSpacing(2);
        item->addWidget(
            plainText(stat.value, bannerFont(23, QFont::ExtraBold), false, m_statistics));
        item->addWidget(plainText(stat.label, bannerFont(10, QFont::Medium), true, m_statistics));
        item->addStretch(1);
        stats->addLayout(item, 1);
    }
    column->addWidget(m_statistics);

    m_bullets = new QWidget(this);
    auto* bullets = new QVBoxLayout(m_bullets);
    bullets->setContentsMargins(0, 0, 0, 0);
    bullets->setSpacing(8);
    for (size_t i = 0; i < m_offer.bullets.size(); ++i) {
        auto* row = new QHBoxLayout;
        row->setSpacing(7);
        if (i < design.bulletIconURLs.size()) {
            auto* icon =
                new OfferPicture(design.bulletIconURLs[i], std::nullopt, m_bullets, images);
            icon->setFixedSize(24, 24);
            row->addWidget(icon, 0, Qt::AlignVCenter);
        }
        row->addWidget(
            plainText(m_offer.bullets[i], bannerFont(11, QFont::Medium), true, m_bullets), 1);
        bullets->addLayout(row);
    }
    column->addWidget(m_bullets);

    // Extra height goes here, so the picture and the button sit at the bottom.
    column->addStretch(1);

    auto* hero = new Hero(m_offer.imageURL, 8.0, this, images);
    hero->setPreferredHeight(qRound(m_imageHeight));
    hero->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    m_hero = hero;
    column->addWidget(m_hero);

    m_cta = new CallToAction(colour(design.accent), this);
    m_cta->setText(QString::fromStdString(m_offer.ctaLabel));
    m_cta->setObjectName(QStringLiteral("offer.") + id);
    m_cta->setAccessibleName(m_cta->text());
    connect(m_cta, &QAbstractButton::clicked, this, [open = std::move(open)] {
        if (open)
            open();
    });
    column->addWidget(m_cta);
}

void OfferBanner::setImageHeight(qreal height) {
    m_imageHeight = height;
    static_cast<Hero*>(m_hero)->setPreferredHeight(qRound(height));
}

void OfferBanner::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF area = rect();
    QLinearGradient gradient(
        layoutDirection() == Qt::RightToLeft ? area.topRight() : area.topLeft(),
        layoutDirection() == Qt::RightToLeft ? area.bottomLeft() : area.bottomRight());
    gradient.setColorAt(0, colour(m_offer.design.background.first));
    gradient.setColorAt(1, colour(m_offer.design.background.second));
    p.setPen(Qt::NoPen);
    p.setBrush(gradient);
    p.drawRoundedRect(area, 18, 18);
}

} // namespace quorvel
