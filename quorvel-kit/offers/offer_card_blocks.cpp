// The building blocks of an offer card: the text column, the statistics as a
// big number or as chips, and the bullets as a list or as tiles.

#include "quorvel-kit/offers/offer_card_layout.h"

#include <algorithm>

#include <QGraphicsDropShadowEffect>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QPainter>
#include <QPainterPath>
#include <QVBoxLayout>

#include "quorvel-kit/offers/offer_card_glyphs.h"
#include "quorvel-kit/offers/offer_card_parts.h"
#include "quorvel-kit/offers/offer_card_text.h"
#include "quorvel-kit/offers/offer_flow.h"
#include "quorvel-kit/offers/offer_picture.h"
#include "quorvel-kit/offers/offers_engine.h"

namespace quorvel {

using offer_card_parts::box;
using offer_card_parts::color;

namespace {

QString qs(const std::string& text) {
    return QString::fromStdString(text);
}

// Chips and tiles stand out from the card: darker on light text, lighter on dark.
QColor plateColor(const OfferDesign& design) {
    return design.hasLightText() ? QColor::fromRgbF(0, 0, 0, 0.16) : QColor::fromRgbF(1, 1, 1, 0.5);
}

void dropShadow(QWidget* widget, qreal opacity, qreal radius, qreal down) {
    auto* effect = new QGraphicsDropShadowEffect(widget);
    effect->setColor(QColor::fromRgbF(0, 0, 0, opacity));
    effect->setBlurRadius(radius * 2);
    effect->setOffset(0, down);
    widget->setGraphicsEffect(effect);
}

// A statistic as a capsule: its value large, then its label.
class Chip : public QWidget {
public:
    Chip(QString value, QFont valueFont, QString label, QFont labelFont, QColor plate,
         QWidget* parent)
        : QWidget(parent), m_value(std::move(value)), m_label(" " + std::move(label)),
          m_valueFont(std::move(valueFont)), m_labelFont(std::move(labelFont)), m_plate(plate) {
        setAccessibleName(m_value + m_label);
        setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    }

    QSize sizeHint() const override {
        const QFontMetricsF v(m_valueFont);
        const QFontMetricsF l(m_labelFont);
        const qreal width = v.horizontalAdvance(m_value) + l.horizontalAdvance(m_label);
        const qreal height = std::max(v.height(), l.height());
        return QSizeF(width + 20, height + 10).toSize();
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        const QRectF r = rect();
        p.setPen(Qt::NoPen);
        p.setBrush(m_plate);
        p.drawRoundedRect(r, r.height() / 2, r.height() / 2);
        const QFontMetricsF v(m_valueFont);
        const QFontMetricsF l(m_labelFont);
        // Both runs on one baseline, centred as a line of the taller font.
        const qreal ascent = std::max(v.ascent(), l.ascent());
        const qreal descent = std::max(v.descent(), l.descent());
        const qreal baseline = r.center().y() + (ascent - descent) / 2;
        const bool rtl = layoutDirection() == Qt::RightToLeft;
        const qreal valueWidth = v.horizontalAdvance(m_value);
        const qreal labelWidth = l.horizontalAdvance(m_label);
        p.setPen(palette().color(QPalette::WindowText));
        qreal x = rtl ? r.right() - 10 - valueWidth : r.left() + 10;
        p.setFont(m_valueFont);
        p.drawText(QPointF(x, baseline), m_value);
        x = rtl ? x - labelWidth : x + valueWidth;
        p.setFont(m_labelFont);
        p.drawText(QPointF(x, baseline), m_label);
    }

private:
    QString m_value;
    QString m_label;
    QFont m_valueFont;
    QFont m_labelFont;
    QColor m_plate;
};

// A rounded plate behind a tile's content.
class Plate : public QWidget {
public:
    Plate(QColor color, qreal radius, QWidget* parent)
        : QWidget(parent), m_color(color), m_radius(radius) {}

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(Qt::NoPen);
        p.setBrush(m_color);
        const qreal r = std::min(m_radius, height() / 2.0);
        p.drawRoundedRect(QRectF(rect()), r, r);
    }

private:
    QColor m_color;
    qreal m_radius;
};

// The call to action: its caption and a forward arrow on a white capsule.
// A label only: the whole card is the button.
class Pill : public QWidget {
public:
    Pill(QString caption, QFont font, qreal arrowSize, QColor accent, QWidget* parent)
        : QWidget(parent), m_arrowSize(arrowSize), m_accent(accent) {
        auto* row = box(QBoxLayout::LeftToRight, this, 6);
        row->setContentsMargins(16, 9, 16, 9);
        auto* text = new OfferCardText(caption, font, true, this);
        text->setColor(accent);
        row->addWidget(text);
        // Room for the painted arrow and its gap: a layout puts no spacing
        // beside a spacer.
        row->addSpacing(row->spacing() + int(std::ceil(arrowSize)));
        setAccessibleName(caption);
        setSizePolicy(QSizePolicy::Maximum, QSizePolicy::Preferred);
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        const QRectF r = rect();
        p.setPen(Qt::NoPen);
        p.setBrush(Qt::white);
        const qreal radius = std::min(r.height(), r.width()) / 2;
        p.drawRoundedRect(r, radius, radius);
        const bool rtl = layoutDirection() == Qt::RightToLeft;
        const qreal glyph = m_arrowSize * 0.8;
        const qreal x = rtl ? r.left() + 16 : r.right() - 16 - m_arrowSize;
        const QRectF arrowBox(x, r.top(), m_arrowSize, r.height());
        offer_glyphs::arrow(p, arrowBox, glyph, m_arrowSize * 0.2, m_accent, rtl);
    }

private:
    qreal m_arrowSize;
    QColor m_accent;
};

} // namespace

QWidget* OfferCardLayout::column(QWidget* numbers, QWidget* list) {
    auto* column = new QWidget;
    auto* stack = box(QBoxLayout::TopToBottom, column, 11);

    auto* header = new QWidget(column);
    auto* headerRow = box(QBoxLayout::LeftToRight, header, 10);
    QWidget* icon = new OfferPicture(m_offer.design.iconURL, std::nullopt, header);
    icon->setFixedSize(40, 40);
    dropShadow(icon, 0.3, 4, 3);
    headerRow->addWidget(icon);
    const QString name = qs(m_offer.appName()).toUpper();
    QFont nameFont = cardFont(11, QFont::Bold);
    nameFont.setLetterSpacing(QFont::AbsoluteSpacing, 0.7);
    headerRow->addWidget(textLine(name, nameFont, false));
    headerRow->addStretch();
    header->setAccessibleName(name);
    stack->addWidget(header);

    // The title keeps clear of the hide button in the trailing corner.
    auto* titleRow = box(QBoxLayout::LeftToRight, nullptr, 0);
    QFont titleFont = cardFont(26, QFont::ExtraBold);
    titleFont.setLetterSpacing(QFont::AbsoluteSpacing, -0.6);
    QWidget* title = textLine(qs(m_offer.title), titleFont, true);
    title->setObjectName(QStringLiteral("title"));
    titleRow->addWidget(title, 1);
    titleRow->addSpacing(30);
    stack->addLayout(titleRow);

    if (!m_offer.body.empty()) {
        auto* body = new OfferCardText(qs(m_offer.body), cardFont(14, QFont::Normal), true);
        body->setObjectName(QStringLiteral("body"));
        QColor faded = color(m_offer.design.foreground);
        faded.setAlphaF(0.9f);
        body->setColor(faded);
        stack->addWidget(body);
    }
    for (QWidget* block : {numbers, list})
        if (block) {
            block->setParent(column);
            stack->addWidget(block);
        }

    auto* pillRow = box(QBoxLayout::LeftToRight, nullptr, 0);
    pillRow->setContentsMargins(0, 2, 0, 0);
    auto* pill = new Pill(qs(m_offer.ctaLabel), cardFont(13, QFont::Bold), scaled(13 * 0.85),
                          color(m_offer.design.accent), column);
    pill->setObjectName(QStringLiteral("cta"));
    pillRow->addWidget(pill);
    pillRow->addStretch();
    stack->addLayout(pillRow);
    return column;
}

QWidget* OfferCardLayout::hero() {
    if (m_offer.stats.empty())
        return nullptr;
    const OfferStat& first = m_offer.stats.front();
    auto* hero = new QWidget;
    hero->setObjectName(QStringLiteral("hero"));
    auto* row = box(QBoxLayout::LeftToRight, hero, 10);
    QFont numberFont = cardFont(58, QFont::Black);
    numberFont.setLetterSpacing(QFont::AbsoluteSpacing, -2);
    QWidget* number = textLine(qs(first.value), numberFont, false);
    number->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    row->addWidget(number);

    auto* lines = box(QBoxLayout::TopToBottom, nullptr, 1);
    const QFont lineFont = cardFont(13, QFont::Bold);
    lines->addStretch();
    lines->addWidget(textLine(qs(first.label), lineFont, true));
    QString rest;
    for (size_t i = 1; i < m_offer.stats.size(); ++i) {
        if (i > 1)
            rest += QStringLiteral(" · ");
        rest += qs(m_offer.stats[i].value) + ' ' + qs(m_offer.stats[i].label);
    }
    if (!rest.isEmpty())
        lines->addWidget(textLine(rest, lineFont, true));
    lines->addStretch();
    row->addLayout(lines, 1);

    QString spoken = qs(first.value) + ' ' + qs(first.label);
    if (!rest.isEmpty())
        spoken += QStringLiteral(", ") + rest;
    hero->setAccessibleName(spoken);
    return hero;
}

QWidget* OfferCardLayout::chips() {
    if (m_offer.stats.empty())
        return nullptr;
    auto* chips = new QWidget;
    chips->setObjectName(QStringLiteral("chips"));
    auto* flow = new OfferFlow(6, chips);
    for (const OfferStat& stat : m_offer.stats)
        flow->addWidget(new Chip(qs(stat.value), cardFont(15, QFont::Black), qs(stat.label),
                                 cardFont(12, QFont::Bold), plateColor(m_offer.design), chips));
    return chips;
}

QWidget* OfferCardLayout::bullets() {
    if (m_offer.bullets.empty())
        return nullptr;
    auto* list = new QWidget;
    list->setObjectName(QStringLiteral("bullets"));
    auto* stack = box(QBoxLayout::TopToBottom, list, 6);
    for (size_t i = 0; i < m_offer.bullets.size(); ++i) {
        auto* row = box(QBoxLayout::LeftToRight, nullptr, 9);
        if (QWidget* icon = bulletIcon(int(i))) {
            icon->setParent(list);
            dropShadow(icon, 0.25, 3, 2);
            row->addWidget(icon);
        }
        row->addWidget(textLine(qs(m_offer.bullets[i]), cardFont(13, QFont::DemiBold), true), 1);
        stack->addLayout(row);
    }
    return list;
}

QWidget* OfferCardLayout::bulletIcon(int index) {
    const auto& icons = m_offer.design.bulletIconURLs;
    if (index < 0 || size_t(index) >= icons.size())
        return nullptr;
    QWidget* icon = new OfferPicture(icons[size_t(index)]);
    icon->setFixedSize(32, 32);
    icon->setObjectName(QStringLiteral("bulletIcon"));
    return icon;
}

QWidget* OfferCardLayout::tiles() {
    if (m_offer.bullets.empty())
        return nullptr;
    auto* grid = new QWidget;
    grid->setObjectName(QStringLiteral("tiles"));
    auto* layout = new QGridLayout(grid);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setHorizontalSpacing(8);
    layout->setVerticalSpacing(8);
    const int columns = m_wide ? 2 : 1;
    for (int c = 0; c < columns; ++c) {
        layout->setColumnStretch(c, 1);
        layout->setColumnMinimumWidth(c, 10);
    }
    for (size_t i = 0; i < m_offer.bullets.size(); ++i) {
        auto* tile = new Plate(plateColor(m_offer.design), 14, grid);
        tile->setObjectName(QStringLiteral("tile"));
        tile->setMinimumHeight(48);
        auto* row = box(QBoxLayout::LeftToRight, tile, 8);
        row->setContentsMargins(10, 8, 10, 8);
        if (QWidget* icon = bulletIcon(int(i))) {
            icon->setParent(tile);
            row->addWidget(icon);
        }
        row->addWidget(textLine(qs(m_offer.bullets[i]), cardFont(13, QFont::DemiBold), true), 1);
        layout->addWidget(tile, int(i) / columns, int(i) % columns);
    }
    return grid;
}

} // namespace quorvel
