#include "tevro/library/torrent_grid_view.h"

#include <algorithm>

#include <QResizeEvent>
#include <QScrollBar>

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
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setAccessibleName(QStringLiteral("Медиатека"));
}

int TorrentGridView::cardWidth() const {
    return m_cards->cardWidth();
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

} // namespace tevro
