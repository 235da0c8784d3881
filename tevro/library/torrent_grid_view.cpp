#include "tevro/library/torrent_grid_view.h"

#include <algorithm>

#include <QResizeEvent>
#include <QCoreApplication>
#include <QScrollArea>
#include <QScrollBar>
#include <QWheelEvent>

#include "tevro/library/torrent_card_item_delegate.h"

namespace tevro {

TorrentGridView::TorrentGridView(QWidget* parent)
    : LibraryItemView(new TorrentCardItemDelegate, parent),
      m_cards(static_cast<TorrentCardItemDelegate*>(itemDelegate())) {
    setViewMode(QListView::IconMode);
    setFlow(QListView::LeftToRight);
    setWrapping(true);
    setMovement(QListView::Static);
    setResizeMode(QListView::Adjust);
    setSpacing(kSpacing);
    // The spacing already lies before the first column and after the last.
    setViewportMargins(kSidePadding - kSpacing, 0, kSidePadding - kSpacing, 0);
    setUniformItemSizes(false);
    setLayoutMode(QListView::SinglePass);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    setAccessibleName(QStringLiteral("Медиатека"));
}

int TorrentGridView::cardWidth() const {
    return m_cards->cardWidth();
}

QSize TorrentGridView::sizeHint() const {
    return {LibraryItemView::sizeHint().width(), m_contentHeight};
}

QSize TorrentGridView::minimumSizeHint() const {
    return {LibraryItemView::minimumSizeHint().width(), m_contentHeight};
}

void TorrentGridView::fitColumns() {
    // The spacing lies before each card and after the last one.
    const int width = viewport()->width() - 1;
    const int columns = std::max(1, (width - kSpacing) / (kMinCardWidth + kSpacing));
    const int rounded =
        std::clamp((width - (columns + 1) * kSpacing) / columns, 120, kMaxCardWidth);
    if (columns == m_columns && rounded == m_cards->cardWidth())
        return;
    m_columns = columns;
    m_cards->setCardWidth(rounded);
    scheduleDelayedItemsLayout();
}

void TorrentGridView::resizeEvent(QResizeEvent* event) {
    fitColumns();
    LibraryItemView::resizeEvent(event);
}

void TorrentGridView::updateGeometries() {
    LibraryItemView::updateGeometries();
    const int height = model() && model()->rowCount() > 0 ? contentsSize().height() : 0;
    if (height != m_contentHeight) {
        m_contentHeight = height;
        updateGeometry();
    }
}

void TorrentGridView::dataChanged(const QModelIndex& topLeft, const QModelIndex& bottomRight,
                                  const QList<int>& roles) {
    // Asking a card's place would lay out thousands of cards now, where the
    // layout already due does it once.
    bool resized = m_layoutPending;
    const QStyleOptionViewItem option;
    for (int row = topLeft.row(); row <= bottomRight.row() && !resized; ++row) {
        const QModelIndex index = model()->index(row, 0);
        resized = rectForIndex(index).height() != m_cards->sizeHint(option, index).height();
    }
    LibraryItemView::dataChanged(topLeft, bottomRight, roles);
    if (resized)
        scheduleDelayedItemsLayout();
}

void TorrentGridView::rowsInserted(const QModelIndex& parent, int start, int end) {
    m_layoutPending = true;
    LibraryItemView::rowsInserted(parent, start, end);
}

void TorrentGridView::rowsAboutToBeRemoved(const QModelIndex& parent, int start, int end) {
    m_layoutPending = true;
    LibraryItemView::rowsAboutToBeRemoved(parent, start, end);
}

void TorrentGridView::reset() {
    m_layoutPending = true;
    LibraryItemView::reset();
}

void TorrentGridView::doItemsLayout() {
    m_layoutPending = false;
    LibraryItemView::doItemsLayout();
}

QScrollArea* TorrentGridView::scrollView() const {
    QWidget* w = parentWidget();
    while (w && !qobject_cast<QScrollArea*>(w))
        w = w->parentWidget();
    return qobject_cast<QScrollArea*>(w);
}

void TorrentGridView::wheelEvent(QWheelEvent* event) {
    if (QScrollArea* area = scrollView()) {
        QCoreApplication::sendEvent(area->verticalScrollBar(), event);
        return;
    }
    LibraryItemView::wheelEvent(event);
}

void TorrentGridView::scrollTo(const QModelIndex& index, ScrollHint hint) {
    LibraryItemView::scrollTo(index, hint);
    QScrollArea* area = scrollView();
    if (!area || !area->widget() || !index.isValid())
        return;
    const QRect r = visualRect(index);
    const QPoint centre = viewport()->mapTo(area->widget(), r.center());
    area->ensureVisible(centre.x(), centre.y(), r.width() / 2 + 8, r.height() / 2 + 8);
}

} // namespace tevro
