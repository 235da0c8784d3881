#include "quorvel-kit/offers/offer_flow.h"

#include <algorithm>
#include <limits>

#include <QStyle>
#include <QWidget>

namespace quorvel {

namespace {

// An item's ideal size, or its size when held to `available` if it is wider
// than that (a wrapping text then takes several lines; an item that cannot
// shrink stays wider).
QSize measure(const QLayoutItem* item, int available) {
    const QSize ideal = item->sizeHint();
    if (ideal.width() <= available)
        return ideal;
    const int width = std::max(available, item->minimumSize().width());
    const int height = item->hasHeightForWidth() ? item->heightForWidth(width) : ideal.height();
    return {width, height};
}

int innerWidth(const QLayout& layout, int width) {
    const QMargins m = layout.contentsMargins();
    return width - m.left() - m.right();
}

} // namespace

OfferFlow::OfferFlow(int spacing, QWidget* parent) : QLayout(parent), m_spacing(spacing) {
    setContentsMargins(0, 0, 0, 0);
}

OfferFlow::~OfferFlow() {
    for (QLayoutItem* item : m_items)
        delete item;
}

void OfferFlow::setFlowSpacing(int spacing) {
    m_spacing = spacing;
    invalidate();
}

QSize OfferFlow::sizeFor(std::optional<int> width) const {
    const int available = width.value_or(std::numeric_limits<int>::max());
    long x = 0;
    long y = 0;
    long lineHeight = 0;
    long widest = 0;
    for (const QLayoutItem* item : m_items) {
        if (item->isEmpty())
            continue;
        const QSize size = measure(item, available);
        if (x > 0 && x + size.width() > available) {
            y += lineHeight + m_spacing;
            lineHeight = 0;
            x = 0;
        }
        widest = std::max(widest, x + size.width());
        x += size.width() + m_spacing;
        lineHeight = std::max<long>(lineHeight, size.height());
    }
    return {int(std::min<long>(available, widest)), int(y + lineHeight)};
}

void OfferFlow::addItem(QLayoutItem* item) {
    m_items.push_back(item);
    invalidate();
}

int OfferFlow::count() const {
    return int(m_items.size());
}

QLayoutItem* OfferFlow::itemAt(int index) const {
    return index >= 0 && index < count() ? m_items[size_t(index)] : nullptr;
}

QLayoutItem* OfferFlow::takeAt(int index) {
    if (index < 0 || index >= count())
        return nullptr;
    QLayoutItem* item = m_items[size_t(index)];
    m_items.erase(m_items.begin() + index);
    invalidate();
    return item;
}

Qt::Orientations OfferFlow::expandingDirections() const {
    return {};
}

int OfferFlow::heightForWidth(int width) const {
    const QMargins m = contentsMargins();
    return sizeFor(innerWidth(*this, width)).height() + m.top() + m.bottom();
}

QSize OfferFlow::sizeHint() const {
    const QMargins m = contentsMargins();
    return sizeFor(std::nullopt).grownBy(m);
}

QSize OfferFlow::minimumSize() const {
    // Any width down to the widest item's least width works: lines break.
    QSize least;
    for (const QLayoutItem* item : m_items)
        if (!item->isEmpty())
            least = least.expandedTo(item->minimumSize());
    return least.grownBy(contentsMargins());
}

void OfferFlow::setGeometry(const QRect& rect) {
    QLayout::setGeometry(rect);
    const QRect bounds = contentsRect();
    int x = bounds.left();
    int y = bounds.top();
    int lineHeight = 0;
    const int right = bounds.left() + bounds.width(); // one past the last column
    const Qt::LayoutDirection direction =
        parentWidget() ? parentWidget()->layoutDirection() : Qt::LeftToRight;
    for (QLayoutItem* item : m_items) {
        if (item->isEmpty())
            continue;
        const QSize size = measure(item, bounds.width());
        if (x > bounds.left() && x + size.width() > right) {
            x = bounds.left();
            y += m_spacing + lineHeight;
            lineHeight = 0;
        }
        item->setGeometry(QStyle::visualRect(direction, bounds, QRect(QPoint(x, y), size)));
        x += size.width() + m_spacing;
        lineHeight = std::max(lineHeight, size.height());
    }
}

} // namespace quorvel
