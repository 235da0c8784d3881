#include "tevro/library/torrent_grid_view.h"

#include <algorithm>
#include <climits>

#include <QAccessible>
#include <QCoreApplication>
#include <QPainter>
#include <QResizeEvent>
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

void TorrentGridView::setModel(QAbstractItemModel* model) {
    if (QAbstractItemModel* old = this->model())
        disconnect(old, nullptr, this, nullptr);
    LibraryItemView::setModel(model);
    m_remeasure = true;
    if (!model)
        return;
    // Rows that moved keep no count of which ones have their own height.
    auto again = [this] {
        m_remeasure = true;
        scheduleDelayedItemsLayout();
    };
    connect(model, &QAbstractItemModel::layoutChanged, this, again);
    connect(model, &QAbstractItemModel::rowsMoved, this, again);
    connect(model, &QAbstractItemModel::rowsRemoved, this,
            [this](const QModelIndex& parent, int start, int end) {
                if (parent == rootIndex())
                    shiftRows(end + 1, start - end - 1);
            });
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
    if (rounded != m_cards->cardWidth())
        m_remeasure = true;
    m_cards->setCardWidth(rounded);
    scheduleDelayedItemsLayout();
}

void TorrentGridView::resizeEvent(QResizeEvent* event) {
    fitColumns();
    LibraryItemView::resizeEvent(event);
}

void TorrentGridView::updateGeometries() {
    LibraryItemView::updateGeometries();
    layOut();
    const int height = rowCount() > 0 ? m_laidHeight : 0;
    if (height != m_contentHeight) {
        m_contentHeight = height;
        updateGeometry();
    }
}

int TorrentGridView::rowCount() const {
    return model() ? model()->rowCount(rootIndex()) : 0;
}

bool TorrentGridView::remeasure(int first, int last) const {
    bool changed = false;
    for (int row = first; row <= last; ++row) {
        const auto own = m_cards->ownHeight(model()->index(row, modelColumn(), rootIndex()));
        auto it = std::ranges::lower_bound(m_own, row, {}, &OwnHeight::row);
        const bool listed = it != m_own.end() && it->row == row;
        if (own && listed) {
            changed = changed || it->height != *own;
            it->height = *own;
        } else if (own) {
            m_own.insert(it, {row, *own});
            changed = true;
        } else if (listed) {
            m_own.erase(it);
            changed = true;
        }
    }
    if (changed)
        m_stale = true;
    return changed;
}

void TorrentGridView::shiftRows(int from, int by) {
    m_stale = true;
    if (m_remeasure)
        return;
    auto first = std::ranges::lower_bound(m_own, from, {}, &OwnHeight::row);
    if (by < 0) // the rows before `from` that go
        first = m_own.erase(std::ranges::lower_bound(m_own, from + by, {}, &OwnHeight::row), first);
    for (auto it = first; it != m_own.end(); ++it)
        it->row += by;
}

void TorrentGridView::layOut() const {
    if (m_remeasure) {
        m_remeasure = false;
        m_own.clear();
        remeasure(0, rowCount() - 1);
        m_stale = true;
    }
    const int rows = rowCount();
    if (!m_stale && rows == m_laidRows)
        return;
    m_stale = false;
    m_laidRows = rows;
    // Cards flow left to right and wrap where the next one would pass the
    // right edge, as the list view's icon mode places them.
    const int s = kSpacing;
    const int w = m_cards->cardWidth();
    const int right = maximumViewportSize().width() - 1;
    m_perRow = 1;
    while (s + m_perRow * (w + s) + w + s <= right)
        ++m_perRow;
    m_commonHeight = m_cards->commonHeight();
    m_tallRows.clear();
    int above = 0;
    for (auto it = m_own.begin(); it != m_own.end();) {
        const int gridRow = it->row / m_perRow;
        int height = 0;
        int own = 0;
        for (; it != m_own.end() && it->row / m_perRow == gridRow; ++it, ++own)
            height = std::max(height, it->height);
        const int cards = std::min(m_perRow, rows - gridRow * m_perRow);
        if (own < cards)
            height = std::max(height, m_commonHeight);
        m_tallRows.push_back({gridRow, height, above});
        above += height - m_commonHeight;
    }
    const int last = gridRows() - 1;
    m_laidHeight = rows > 0 ? rowTop(last) + rowHeight(last) + s : 0;
    m_contentWidth = std::min(m_perRow, rows) * (w + s);
}

int TorrentGridView::gridRows() const {
    return (m_laidRows + m_perRow - 1) / m_perRow;
}

int TorrentGridView::rowTop(int gridRow) const {
    auto it = std::ranges::lower_bound(m_tallRows, gridRow, {}, &TallRow::row);
    int above = 0;
    if (it != m_tallRows.end())
        above = it->above;
    else if (!m_tallRows.empty())
        above = m_tallRows.back().above + m_tallRows.back().height - m_commonHeight;
    return kSpacing + gridRow * (m_commonHeight + kSpacing) + above;
}

int TorrentGridView::rowHeight(int gridRow) const {
    auto it = std::ranges::lower_bound(m_tallRows, gridRow, {}, &TallRow::row);
    return it != m_tallRows.end() && it->row == gridRow ? it->height : m_commonHeight;
}

int TorrentGridView::gridRowAt(int y) const {
    int low = 0, high = gridRows() - 1;
    while (low < high) {
        const int mid = (low + high + 1) / 2;
        if (rowTop(mid) <= y)
            low = mid;
        else
            high = mid - 1;
    }
    return low;
}

QRect TorrentGridView::cardRect(int row) const {
    if (row < 0 || row >= m_laidRows)
        return {};
    auto own = std::ranges::lower_bound(m_own, row, {}, &OwnHeight::row);
    const int height = own != m_own.end() && own->row == row ? own->height : m_commonHeight;
    const int w = m_cards->cardWidth();
    return QRect(kSpacing + (row % m_perRow) * (w + kSpacing), rowTop(row / m_perRow), w, height);
}

std::vector<int> TorrentGridView::rowsIn(const QRect& area) const {
    std::vector<int> rows;
    if (m_laidRows == 0 || area.isEmpty())
        return rows;
    for (int gridRow = gridRowAt(area.top()); gridRow < gridRows(); ++gridRow) {
        if (rowTop(gridRow) > area.bottom())
            break;
        const int end = std::min(m_laidRows, (gridRow + 1) * m_perRow);
        for (int row = gridRow * m_perRow; row < end; ++row)
            if (cardRect(row).intersects(area))
                rows.push_back(row);
    }
    return rows;
}

QRect TorrentGridView::visualRect(const QModelIndex& index) const {
    if (!index.isValid() || index.model() != model() || index.parent() != rootIndex() ||
        index.column() != modelColumn() || isIndexHidden(index))
        return {};
    // As the list view does: a layout that is due happens before a card is placed.
    const_cast<TorrentGridView*>(this)->executeDelayedItemsLayout();
    layOut();
    return cardRect(index.row()).translated(-horizontalOffset(), -verticalOffset());
}

QModelIndex TorrentGridView::indexAt(const QPoint& point) const {
    layOut();
    const auto rows =
        rowsIn(QRect(point.x() + horizontalOffset(), point.y() + verticalOffset(), 1, 1));
    if (rows.empty())
        return {};
    const QModelIndex index = model()->index(rows.back(), modelColumn(), rootIndex());
    return visualRect(index).contains(point) ? index : QModelIndex();
}

void TorrentGridView::paintEvent(QPaintEvent* event) {
    if (!model())
        return;
    layOut();
    QStyleOptionViewItem option;
    initViewItemOption(&option);
    QPainter painter(viewport());
    const QModelIndex current = currentIndex();
    const QItemSelectionModel* selections = selectionModel();
    const bool focus = (hasFocus() || viewport()->hasFocus()) && current.isValid();
    const QStyle::State state = option.state;
    const bool enabledView = state & QStyle::State_Enabled;
    const int maxHeight = std::max(viewport()->height(), m_laidHeight) - 2 * kSpacing;
    const QPoint offset(horizontalOffset(), verticalOffset());
    for (int row : rowsIn(event->rect().translated(offset))) {
        const QModelIndex index = model()->index(row, modelColumn(), rootIndex());
        option.rect = cardRect(row).translated(-offset);
        option.rect.setHeight(std::min(maxHeight, option.rect.height()));
        option.state = state;
        if (selections && selections->isSelected(index))
            option.state |= QStyle::State_Selected;
        if (enabledView) {
            const bool on = model()->flags(index) & Qt::ItemIsEnabled;
            option.state.setFlag(QStyle::State_Enabled, on);
            option.palette.setCurrentColorGroup(on ? QPalette::Normal : QPalette::Disabled);
        }
        if (focus && current == index) {
            option.state |= QStyle::State_HasFocus;
            if (this->state() == EditingState)
                option.state |= QStyle::State_Editing;
        }
        option.state.setFlag(QStyle::State_MouseOver, index == m_hover);
        itemDelegateForIndex(index)->paint(&painter, option, index);
    }
}

bool TorrentGridView::viewportEvent(QEvent* event) {
    // The card under the pointer, as the item view tracks it for its own repaints.
    switch (event->type()) {
    case QEvent::HoverMove:
    case QEvent::HoverEnter:
        m_hover = indexAt(static_cast<QHoverEvent*>(event)->position().toPoint());
        break;
    case QEvent::HoverLeave:
    case QEvent::Leave:
        m_hover = QPersistentModelIndex();
        break;
    default:
        break;
    }
    return LibraryItemView::viewportEvent(event);
}

bool TorrentGridView::enabled(int row) const {
    return model()->flags(model()->index(row, modelColumn(), rootIndex())) & Qt::ItemIsEnabled;
}

QModelIndex TorrentGridView::closest(const QRect& target, const std::vector<int>& rows) const {
    // The list view's measure: along one axis when one card's centre lies
    // across the other, else the Manhattan length between the centres.
    int shortest = INT_MAX;
    int best = -1;
    for (int row : rows) {
        const QRect r = cardRect(row);
        int distance;
        if ((target.center().x() >= r.x() && target.center().x() < r.right()) ||
            (r.center().x() >= target.x() && r.center().x() < target.right()))
            distance = std::abs(r.center().y() - target.center().y());
        else if ((target.center().y() >= r.y() && target.center().y() < r.bottom()) ||
                 (r.center().y() >= target.y() && r.center().y() < target.bottom()))
            distance = std::abs(r.center().x() - target.center().x());
        else
            distance = (r.center() - target.center()).manhattanLength();
        if (distance < shortest) {
            shortest = distance;
            best = row;
        }
    }
    return best < 0 ? QModelIndex() : model()->index(best, modelColumn(), rootIndex());
}

QModelIndex TorrentGridView::moveCursor(CursorAction action, Qt::KeyboardModifiers) {
    if (!model())
        return {};
    const int rows = rowCount();
    auto at = [this](int row) { return model()->index(row, modelColumn(), rootIndex()); };
    auto available = [&](int row, int step) {
        while (row >= 0 && row < rows && !enabled(row))
            row += step;
        return row >= 0 && row < rows ? row : -1;
    };
    const QModelIndex current = currentIndex();
    if (!current.isValid()) {
        const int row = available(0, 1);
        return row < 0 ? QModelIndex() : at(row);
    }
    if (action == MoveLeft || action == MoveRight) {
        const int row =
            action == MoveLeft ? available(current.row() - 1, -1) : available(current.row() + 1, 1);
        return row < 0 ? current : at(row);
    }
    executeDelayedItemsLayout();
    layOut();
    const QRect initial = cardRect(current.row());
    QRect rect = initial;
    if (rect.isEmpty())
        return at(0);
    const int contentHeight = m_laidHeight;
    auto others = [&](const QRect& area) {
        std::vector<int> found = rowsIn(area);
        std::erase_if(found, [&](int row) { return row == current.row() || !enabled(row); });
        return found;
    };
    std::vector<int> found;
    switch (action) {
    case MovePageUp:
        rect.moveTop(rect.top() - viewport()->height() + 2 * rect.height());
        if (rect.top() < rect.height())
            rect.moveTop(rect.height());
        [[fallthrough]];
    case MovePrevious:
    case MoveUp:
        while (found.empty()) {
            rect.translate(0, -rect.height());
            if (rect.bottom() <= 0)
                return current;
            if (rect.top() < 0)
                rect.setTop(0);
            found = others(rect);
        }
        return closest(initial, found);
    case MovePageDown:
        rect.moveTop(rect.top() + viewport()->height() - 2 * rect.height());
        if (rect.bottom() > contentHeight - rect.height())
            rect.moveBottom(contentHeight - rect.height());
        [[fallthrough]];
    case MoveNext:
    case MoveDown:
        while (found.empty()) {
            rect.translate(0, rect.height());
            if (rect.top() >= contentHeight)
                return current;
            if (rect.bottom() > contentHeight)
                rect.setBottom(contentHeight);
            found = others(rect);
        }
        return closest(initial, found);
    case MoveHome:
        return at(0);
    case MoveEnd:
        return at(rows - 1);
    default:
        return current;
    }
}

void TorrentGridView::setSelection(const QRect& rect, QItemSelectionModel::SelectionFlags command) {
    if (!selectionModel() || !model())
        return;
    layOut();
    QItemSelection selection;
    const std::vector<int> rows =
        rowsIn(rect.normalized().translated(horizontalOffset(), verticalOffset()));
    if (rect.width() == 1 && rect.height() == 1) {
        // A press: the card under it only.
        if (!rows.empty() && enabled(rows.back()))
            selection.select(model()->index(rows.back(), modelColumn(), rootIndex()),
                             model()->index(rows.back(), modelColumn(), rootIndex()));
    } else {
        for (int row : rows)
            if (enabled(row))
                selection.select(model()->index(row, modelColumn(), rootIndex()),
                                 model()->index(row, modelColumn(), rootIndex()));
    }
    selectionModel()->select(selection, command);
}

QRegion TorrentGridView::visualRegionForSelection(const QItemSelection& selection) const {
    QRegion region;
    const QRect shown = viewport()->rect();
    for (const QItemSelectionRange& range : selection) {
        if (!range.isValid() || range.parent() != rootIndex())
            continue;
        for (int row = range.top(); row <= range.bottom(); ++row) {
            const QRect r = visualRect(model()->index(row, modelColumn(), rootIndex()));
            if (shown.intersects(r))
                region += r;
        }
    }
    return region;
}

void TorrentGridView::currentChanged(const QModelIndex& current, const QModelIndex& previous) {
    // The list view's own report names the item by its place in a layout
    // the grid does not make: the row is that place.
    if (QAccessible::isActive() && current.isValid()) {
        QAccessibleEvent event(this, QAccessible::Focus);
        event.setChild(current.row());
        QAccessible::updateAccessibility(&event);
    }
    QAbstractItemView::currentChanged(current, previous);
}

void TorrentGridView::dataChanged(const QModelIndex& topLeft, const QModelIndex& bottomRight,
                                  const QList<int>& roles) {
    const bool resized =
        !m_remeasure && topLeft.isValid() && remeasure(topLeft.row(), bottomRight.row());
    LibraryItemView::dataChanged(topLeft, bottomRight, roles);
    if (resized)
        scheduleDelayedItemsLayout();
}

void TorrentGridView::rowsInserted(const QModelIndex& parent, int start, int end) {
    if (parent == rootIndex()) {
        shiftRows(start, end - start + 1);
        if (!m_remeasure)
            remeasure(start, end);
    }
    LibraryItemView::rowsInserted(parent, start, end);
}

void TorrentGridView::rowsAboutToBeRemoved(const QModelIndex& parent, int start, int end) {
    // The rows keep their places until they are gone (see setModel).
    LibraryItemView::rowsAboutToBeRemoved(parent, start, end);
}

void TorrentGridView::reset() {
    m_remeasure = true;
    LibraryItemView::reset();
}

void TorrentGridView::doItemsLayout() {
    // Not the list view's layout, which measures every card: the grid's own.
    m_stale = true;
    layOut();
    QAbstractItemView::doItemsLayout();
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
