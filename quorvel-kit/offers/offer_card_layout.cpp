#include "quorvel-kit/offers/offer_card_layout.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <map>
#include <tuple>

#include <QBoxLayout>
#include <QEvent>
#include <QLinearGradient>
#include <QPainter>

#include "quorvel-kit/offers/offer_card_parts.h"
#include "quorvel-kit/offers/offer_card_text.h"
#include "quorvel-kit/offers/offer_picture.h"
#include "quorvel-kit/offers/pressable_card.h"
#include "quorvel-kit/offers/uneven_corners.h"

namespace quorvel {

using offer_card_parts::box;
using offer_card_parts::color;

namespace {

// The laid-out place of a picture: as tall as the picture is for its width.
class PictureSlot : public QWidget {
public:
    PictureSlot(std::function<int(int)> height, QWidget* parent)
        : QWidget(parent), m_height(std::move(height)) {
        setObjectName(QStringLiteral("pictureSlot"));
        QSizePolicy policy(QSizePolicy::Preferred, QSizePolicy::Minimum);
        policy.setHeightForWidth(true);
        setSizePolicy(policy);
    }
    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override { return m_height(width); }
    QSize sizeHint() const override {
        // Before the first layout the card's width stands in for the slot's.
        const QWidget* card = parentWidget() ? parentWidget() : this;
        return {0, m_height(width() > 0 ? width() : std::max(card->width(), 0))};
    }
    QSize minimumSizeHint() const override { return {0, 0}; }

private:
    std::function<int(int)> m_height;
};

// A soft black shadow of `shape` (in a box of `size` at the origin), blurred by
// `blur`, as an image `blur` larger on every side.
QImage shadowImage(const QPainterPath& shape, QSizeF size, qreal blur) {
    const int margin = int(std::ceil(blur));
    QImage alpha(QSize(int(std::ceil(size.width())), int(std::ceil(size.height()))) +
                     QSize(2 * margin, 2 * margin),
                 QImage::Format_Alpha8);
    alpha.fill(0);
    {
        QPainter p(&alpha);
        p.setRenderHint(QPainter::Antialiasing);
        p.translate(margin, margin);
        p.fillPath(shape, Qt::black);
    }
    // Three box passes each way come close to a gaussian.
    const int radius = std::max(1, int(std::lround(blur / 3)));
    const int w = alpha.width();
    const int h = alpha.height();
    std::vector<int> line(size_t(std::max(w, h)));
    auto pass = [&](bool horizontal) {
        const int count = horizontal ? w : h;
        const int lines = horizontal ? h : w;
        for (int l = 0; l < lines; ++l) {
            auto at = [&](int i) -> uchar& {
                return horizontal ? alpha.scanLine(l)[i] : alpha.scanLine(i)[l];
            };
            for (int i = 0; i < count; ++i)
                line[size_t(i)] = at(i);
            int sum = 0;
            for (int i = -radius; i <= radius; ++i)
                sum += (i >= 0 && i < count) ? line[size_t(i)] : 0;
            for (int i = 0; i < count; ++i) {
                at(i) = uchar(sum / (2 * radius + 1));
                const int out = i - radius;
                const int in = i + radius + 1;
                sum += (in < count ? line[size_t(in)] : 0) - (out >= 0 ? line[size_t(out)] : 0);
            }
        }
    };
    for (int i = 0; i < 3; ++i) {
        pass(true);
        pass(false);
    }
    QImage shadow(alpha.size(), QImage::Format_ARGB32_Premultiplied);
    for (int y = 0; y < h; ++y) {
        const uchar* a = alpha.constScanLine(y);
        auto* out = reinterpret_cast<QRgb*>(shadow.scanLine(y));
        for (int x = 0; x < w; ++x)
            out[x] = qRgba(0, 0, 0, a[x]);
    }
    return shadow;
}

// `kind` tells shapes of one size apart in the cache.
void paintShadow(QPainter& painter, int kind, const QPainterPath& shape, QSizeF size, qreal blur,
                 QPointF at, qreal opacity) {
    // Blurs of a card's few sizes repeat on every frame of a reveal.
    static std::map<std::tuple<int, int, int, int>, QImage> cache;
    const auto key = std::tuple(int(size.width()), int(size.height()), int(blur), kind);
    auto found = cache.find(key);
    if (found == cache.end()) {
        if (cache.size() > 64)
            cache.clear();
        found = cache.emplace(key, shadowImage(shape, size, std::floor(blur))).first;
    }
    const int margin = int(std::ceil(std::floor(blur)));
    painter.save();
    painter.setOpacity(painter.opacity() * opacity);
    painter.drawImage(at - QPointF(margin, margin), found->second);
    painter.restore();
}

// Rotation about the horizontal axis with perspective, the top leaning away.
QTransform tilt(qreal degrees, qreal depth) {
    const qreal a = qDegreesToRadians(degrees);
    return QTransform(1, 0, 0, 0, std::cos(a), -std::sin(a) / depth, 0, 0, 1);
}

} // namespace

OfferCardLayout::OfferCardLayout(Offer offer, bool wide, QWidget* parent)
    : QWidget(parent), m_offer(std::move(offer)), m_wide(wide) {
    setObjectName(wide ? QStringLiteral("wide") : QStringLiteral("narrow"));
    QSizePolicy policy(QSizePolicy::Preferred, QSizePolicy::Preferred);
    policy.setHeightForWidth(true);
    setSizePolicy(policy);
    QPalette pal = palette();
    pal.setColor(QPalette::WindowText, color(m_offer.design.foreground));
    setPalette(pal);
    auto* root = box(QBoxLayout::TopToBottom, this, 0);
    (void)root;
    rebuild();
}

qreal OfferCardLayout::scaled(qreal base, qreal textScale) {
    if (textScale <= 1)
        return base;
    return base * std::min(textScale, 1.5);
}

void OfferCardLayout::setTextScale(qreal scale) {
    if (scale == m_textScale)
        return;
    m_textScale = scale;
    rebuild();
}

qreal OfferCardLayout::reveal() const {
    return offerReveal(this);
}

qreal OfferCardLayout::wideColumnWidth() const {
    return scaled(m_offer.design.layout == OfferDesign::Layout::side ? 252 : 262);
}

QFont OfferCardLayout::cardFont(qreal base, int weight) const {
    QFont f = font();
    f.setPixelSize(std::max(1, int(std::lround(scaled(base)))));
    f.setWeight(QFont::Weight(weight));
    return f;
}

QWidget* OfferCardLayout::textLine(const QString& text, const QFont& font, bool wraps) {
    return new OfferCardText(text, font, wraps);
}

void OfferCardLayout::rebuild() {
    delete m_content;
    delete m_picture;
    m_picture = nullptr;
    if (hasPicture()) {
        const bool bottom = m_offer.design.layout == OfferDesign::Layout::bottom;
        m_picture = new OfferPicture(m_offer.imageURL,
                                     bottom ? std::nullopt : std::optional<qreal>(12), this);
        m_picture->setObjectName(QStringLiteral("picture"));
        m_picture->setAttribute(Qt::WA_TransparentForMouseEvents);
        m_picture->installEventFilter(this);
        connect(m_picture, &OfferPicture::loaded, this, [this] {
            // The picture's height changes the card's at once, not a few
            // layout passes later.
            if (m_slot)
                m_slot->updateGeometry();
            if (m_content && m_content->layout())
                m_content->layout()->invalidate();
            layout()->invalidate();
            updateGeometry();
            update();
        });
    }
    switch (m_offer.design.layout) {
    case OfferDesign::Layout::corner:
        m_content = corner();
        break;
    case OfferDesign::Layout::side:
        m_content = side();
        break;
    case OfferDesign::Layout::bottom:
        m_content = bottom();
        break;
    }
    m_content->setParent(this);
    layout()->addWidget(m_content);
    if (m_picture)
        m_picture->lower();
    updateGeometry();
}

qreal OfferCardLayout::pictureHeight(qreal width) const {
    const QImage image = m_picture ? m_picture->image() : QImage();
    if (image.isNull() || image.width() <= 0)
        return 0;
    return width * image.height() / image.width();
}

QWidget* OfferCardLayout::wideForm(QWidget* content, QWidget* text, int leastHeight) {
    // The column at its own width; the picture has the rest of the card.
    auto* row = box(QBoxLayout::LeftToRight, content, 0);
    row->setContentsMargins(22, 22, 22, 22);
    text->setFixedWidth(int(std::lround(wideColumnWidth())));
    row->addWidget(text, 0, Qt::AlignTop);
    row->addStretch();
    row->addStrut(leastHeight);
    return content;
}

QWidget* OfferCardLayout::corner() {
    auto* content = new QWidget;
    content->setObjectName(QStringLiteral("corner"));
    QWidget* text = column(hero(), bullets());
    text->setObjectName(QStringLiteral("column"));
    if (m_wide)
        return wideForm(content, text, 356);
    auto* stack = box(QBoxLayout::TopToBottom, content, 0);
    stack->setContentsMargins(22, 22, 22, hasPicture() ? 36 : 22);
    stack->addWidget(text);
    if (hasPicture()) {
        stack->addSpacing(26);
        m_slot =
            new PictureSlot([this](int) { return int(std::ceil(pictureHeight(270))); }, content);
        stack->addWidget(m_slot);
    }
    return content;
}

QWidget* OfferCardLayout::side() {
    auto* content = new QWidget;
    content->setObjectName(QStringLiteral("side"));
    QWidget* text = column(chips(), bullets());
    text->setObjectName(QStringLiteral("column"));
    if (m_wide)
        return wideForm(content, text, 348);
    auto* stack = box(QBoxLayout::TopToBottom, content, 0);
    auto* band = new QWidget(content);
    band->setObjectName(QStringLiteral("pictureSlot"));
    band->setFixedHeight(hasPicture() ? 184 : 22);
    m_slot = band;
    stack->addWidget(band);
    stack->addSpacing(2);
    auto* padded = box(QBoxLayout::TopToBottom, nullptr, 0);
    padded->setContentsMargins(22, 0, 22, 22);
    padded->addWidget(text);
    stack->addLayout(padded);
    return content;
}

QWidget* OfferCardLayout::bottom() {
    auto* content = new QWidget;
    content->setObjectName(QStringLiteral("bottom"));
    QWidget* text = column(hero(), tiles());
    text->setObjectName(QStringLiteral("column"));
    auto* stack = box(QBoxLayout::TopToBottom, content, 0);
    auto* padded = box(QBoxLayout::TopToBottom, nullptr, 0);
    padded->setContentsMargins(22, 22, 22, hasPicture() ? 0 : 22);
    padded->addWidget(text);
    stack->addLayout(padded);
    if (hasPicture()) {
        stack->addSpacing(4 + 14);
        const int inset = m_wide ? 40 : 20;
        m_slot = new PictureSlot(
            [this, inset](int width) {
                return int(std::ceil(pictureHeight(std::max(0, width - 2 * inset))));
            },
            content);
        stack->addWidget(m_slot);
    }
    return content;
}

std::optional<OfferCardLayout::PicturePlacement> OfferCardLayout::picturePlacement() const {
    if (!m_picture)
        return std::nullopt;
    const qreal r = reveal();
    const qreal P = width();
    const qreal H = height();
    const qreal W = wideColumnWidth();
    QRectF slot;
    if (m_slot)
        slot = QRectF(m_slot->mapTo(this, QPoint(0, 0)), QSizeF(m_slot->size()));
    if (layoutDirection() == Qt::RightToLeft && m_slot) // measured left to right below
        slot.moveLeft(P - slot.right());

    QRectF frame;
    qreal angle = 0;
    qreal endAngle = 0;
    qreal grow = 1;
    QPointF anchor;
    switch (m_offer.design.layout) {
    case OfferDesign::Layout::corner: {
        const qreal w = m_wide ? std::clamp(P - W - 12, qreal(200), qreal(380)) : 270;
        const qreal h = pictureHeight(w);
        if (m_wide)
            frame = QRectF(P + 24 + 10 * r - w, H - 22 - 16 * r - h, w, h);
        else
            frame = QRectF(slot.x() + slot.width() + 42 - 20 * r - w, slot.y() - 10 * r, w, h);
        angle = -6;
        endAngle = -2;
        grow = m_wide ? 1.05 : 1.06;
        anchor = {1, 1};
        break;
    }
    case OfferDesign::Layout::side: {
        const qreal w = m_wide ? 340 : 330;
        const qreal h = pictureHeight(w);
        if (m_wide)
            frame = QRectF(std::max(P - 228, W + 40) - 14 * r, 70 - 14 * r, w, h);
        else
            frame = QRectF(slot.x() + 86 - 16 * r, slot.y() - 56 + 16 * r, w, h);
        angle = m_wide ? 5 : 6;
        endAngle = 2;
        grow = 1.04;
        anchor = m_wide ? QPointF(0, 0) : QPointF(0.5, 0);
        break;
    }
    case OfferDesign::Layout::bottom: {
        const qreal inset = m_wide ? 40 : 20;
        const qreal w = std::max<qreal>(0, slot.width() - 2 * inset);
        frame = QRectF(slot.x() + inset, slot.y(), w, pictureHeight(w));
        break;
    }
    }

    QTransform t;
    if (m_offer.design.layout == OfferDesign::Layout::bottom) {
        // Tilted back at rest, nearly upright when revealed, grown a little,
        // all about the bottom centre.
        const QPointF base(frame.center().x(), frame.bottom());
        const qreal depth = std::max(frame.width(), frame.height()) / 0.6;
        t.translate(base.x(), base.y());
        t.scale(1 + 0.04 * r, 1 + 0.04 * r);
        t = tilt(14 - 11 * r, std::max(depth, qreal(1))) * t;
        t.translate(-base.x(), -base.y());
    } else {
        const QPointF at(frame.left() + anchor.x() * frame.width(),
                         frame.top() + anchor.y() * frame.height());
        const qreal s = 1 + (grow - 1) * r;
        t.translate(at.x(), at.y());
        t.scale(s, s);
        t.translate(-at.x(), -at.y());
        t.translate(frame.center().x(), frame.center().y());
        t.rotate(angle + (endAngle - angle) * r);
        t.translate(-frame.center().x(), -frame.center().y());
    }
    if (layoutDirection() == Qt::RightToLeft) {
        // Placed as in a left-to-right card, then mirrored; the picture itself
        // is not turned over.
        QTransform flip = QTransform::fromTranslate(-frame.center().x(), 0) *
                          QTransform::fromScale(-1, 1) *
                          QTransform::fromTranslate(frame.center().x(), 0);
        QTransform mirror = QTransform::fromTranslate(-P / 2, 0) * QTransform::fromScale(-1, 1) *
                            QTransform::fromTranslate(P / 2, 0);
        t = flip * t * mirror;
    }
    return PicturePlacement{frame, t};
}

QPainterPath OfferCardLayout::outline() const {
    QPainterPath path;
    path.addRoundedRect(QRectF(rect()), kCornerRadius, kCornerRadius);
    return path;
}

int OfferCardLayout::heightForWidth(int width) const {
    return QWidget::heightForWidth(width);
}

QSize OfferCardLayout::sizeHint() const {
    return QWidget::sizeHint();
}

QSize OfferCardLayout::minimumSizeHint() const {
    return QWidget::minimumSizeHint();
}

bool OfferCardLayout::eventFilter(QObject* watched, QEvent* event) {
    // The picture is drawn by the card, turned and scaled; never by itself.
    if (watched == m_picture && event->type() == QEvent::Paint)
        return true;
    return QWidget::eventFilter(watched, event);
}

void OfferCardLayout::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.setClipPath(outline());
    const QRectF bounds = rect();
    const bool rtl = layoutDirection() == Qt::RightToLeft;
    QLinearGradient gradient(rtl ? bounds.topRight() : bounds.topLeft(),
                             rtl ? bounds.bottomLeft() : bounds.bottomRight());
    gradient.setColorAt(0, color(m_offer.design.background.first));
    gradient.setColorAt(1, color(m_offer.design.background.second));
    painter.fillRect(bounds, gradient);

    const auto placement = picturePlacement();
    if (!placement || placement->frame.isEmpty())
        return;
    painter.setTransform(placement->transform, true);
    if (m_offer.design.layout == OfferDesign::Layout::bottom)
        paintBottomPicture(painter, *placement);
    else
        paintScreenshot(painter, *placement);
}

void OfferCardLayout::paintScreenshot(QPainter& painter, const PicturePlacement& placement) const {
    const qreal r = reveal();
    const QRectF frame = placement.frame;
    QPainterPath shape;
    shape.addRoundedRect(QRectF(QPointF(0, 0), frame.size()), 12, 12);
    paintShadow(painter, 0, shape, frame.size(), 20 + 8 * r,
                frame.topLeft() + QPointF(0, 12 + 6 * r), 0.35 + 0.10 * r);
    OfferPicture::paint(painter, frame, m_picture->image(), m_picture->corner());
}

void OfferCardLayout::paintBottomPicture(QPainter& painter,
                                         const PicturePlacement& placement) const {
    const qreal r = reveal();
    const QRectF frame = placement.frame;
    const QPainterPath shape = UnevenCorners{14}.path(QRectF(QPointF(0, 0), frame.size()));
    paintShadow(painter, 1, shape, frame.size(), 15 + 7 * r, frame.topLeft() + QPointF(0, -4),
                0.30 + 0.12 * r);
    painter.setClipPath(shape.translated(frame.topLeft()), Qt::IntersectClip);
    OfferPicture::paint(painter, frame, m_picture->image(), m_picture->corner());
}

} // namespace quorvel
