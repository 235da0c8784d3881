#include "tevro/library/library_item_view.h"

#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMenu>

#include "tevro/library/library_item_accessible.h"
#include "tevro/library/library_item_delegate.h"
#include "tevro/library/library_style.h"
#include "tevro/library/piece_map_loader.h"
#include "tevro/library/torrent_list_model.h"
#include "tevro/library/torrent_list_row.h"

namespace tevro {

namespace {
// No item is taller than this: where the search for the items on screen starts.
constexpr int kTallestItem = 800;
} // namespace

LibraryItemView::LibraryItemView(LibraryItemDelegate* delegate, QWidget* parent)
    : QListView(parent), m_delegate(delegate) {
    LibraryItemAccessible::install();
    m_delegate->setParent(this);
    setItemDelegate(m_delegate);
    setSelectionMode(QAbstractItemView::NoSelection); // the window model holds the selection
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setMouseTracking(true);
    viewport()->setAttribute(Qt::WA_Hover);
    setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    setFrameShape(QFrame::NoFrame);
    QPalette p = palette();
    p.setColor(QPalette::Base, LibraryStyle::background());
    setPalette(p);
    connect(m_delegate, &LibraryItemDelegate::actionRequested, this, &LibraryItemView::onAction);
    m_pieces.setInterval(PieceMapLoader::kRefreshMs);
    connect(&m_pieces, &QTimer::timeout, this, &LibraryItemView::refreshPieces);
}

void LibraryItemView::setTorrentModel(TorrentListModel* model) {
    m_model = model;
    setModel(model);
}

PaintedElements LibraryItemView::elementsOf(const QModelIndex& index) const {
    if (!index.isValid())
        return {};
    return m_delegate->elements(index, visualRect(index));
}

std::pair<int, int> LibraryItemView::shownRows() const {
    const int rows = m_model ? m_model->rowCount() : 0;
    const QRect shown = isVisible() ? viewport()->visibleRegion().boundingRect() : QRect();
    if (rows == 0 || shown.isEmpty())
        return {0, -1};
    // Items stand in row order from the top: find the first that may reach
    // into view, then walk on while they do.
    int low = 0, high = rows;
    while (low < high) {
        const int mid = (low + high) / 2;
        if (visualRect(m_model->index(mid)).top() < shown.top() - kTallestItem)
            low = mid + 1;
        else
            high = mid;
    }
    int first = -1, last = -2;
    for (int row = low; row < rows; ++row) {
        const QRect r = visualRect(m_model->index(row));
        if (r.top() > shown.bottom())
            break;
        if (!r.intersects(shown))
            continue;
        if (first < 0)
            first = row;
        last = row;
    }
    return first < 0 ? std::pair{0, -1} : std::pair{first, last};
}

void LibraryItemView::refreshPieces() {
    if (!m_model)
        return;
    const auto [first, last] = shownRows();
    if (first <= last)
        m_model->refreshPieces(first, last);
}

void LibraryItemView::showEvent(QShowEvent* event) {
    QListView::showEvent(event);
    m_pieces.start();
}

void LibraryItemView::hideEvent(QHideEvent* event) {
    QListView::hideEvent(event);
    m_pieces.stop();
}

void LibraryItemView::activate(const QString& id, PaintedElement::Action action,
                               Qt::KeyboardModifiers modifiers) {
    QRect where;
    if (m_model) {
        const QModelIndex index = m_model->indexOf(id.toStdString());
        where = visualRect(index);
        for (const PaintedElement& e : elementsOf(index))
            if (e.action == action)
                where = e.rect.toAlignedRect();
    }
    onAction(id, action, modifiers, where);
}

void LibraryItemView::requestContextMenu(const QModelIndex& index) {
    if (!index.isValid())
        return;
    const QRect r = visualRect(index);
    emit contextMenuRequested(index.data(TorrentListModel::IdRole).toString(),
                              QPoint(r.left() + r.width() / 2, r.top() + r.height() / 3));
}

void LibraryItemView::contextMenuEvent(QContextMenuEvent* event) {
    if (event->reason() == QContextMenuEvent::Keyboard) {
        requestContextMenu(currentIndex());
    } else {
        const QModelIndex index = indexAt(event->pos());
        if (index.isValid())
            emit contextMenuRequested(index.data(TorrentListModel::IdRole).toString(),
                                      event->pos());
    }
    event->accept();
}

void LibraryItemView::keyPressEvent(QKeyEvent* event) {
    const QModelIndex current = currentIndex();
    if (!current.isValid() || !m_model) {
        QListView::keyPressEvent(event);
        return;
    }
    using A = PaintedElement::Action;
    const QString id = current.data(TorrentListModel::IdRole).toString();
    const Qt::KeyboardModifiers mods =
        event->modifiers() & (Qt::ControlModifier | Qt::ShiftModifier | Qt::AltModifier);
    const int key = event->key();
    if (key == Qt::Key_Space && !(mods & Qt::AltModifier)) {
        activate(id, A::select, mods);
    } else if ((key == Qt::Key_Return || key == Qt::Key_Enter) && mods == Qt::NoModifier) {
        activate(id, A::play);
    } else if ((key == Qt::Key_Return || key == Qt::Key_Enter) && mods == Qt::ControlModifier) {
        activate(id, A::details);
    } else if (key == Qt::Key_P && mods == Qt::ControlModifier) {
        activate(id, A::pause);
    } else if (key == Qt::Key_Menu || (key == Qt::Key_F10 && mods == Qt::ShiftModifier)) {
        requestContextMenu(current);
    } else {
        QListView::keyPressEvent(event);
        return;
    }
    event->accept();
}

void LibraryItemView::onAction(const QString& id, PaintedElement::Action action,
                               Qt::KeyboardModifiers modifiers, const QRect& where) {
    using A = PaintedElement::Action;
    switch (action) {
    case A::select:
        emit selectRequested(id, modifiers);
        break;
    case A::play:
        emit playRequested(id);
        break;
    case A::pause:
        emit pauseRequested(id);
        break;
    case A::details:
        emit detailsRequested(id);
        break;
    case A::menu: {
        if (!m_model)
            break;
        const auto row = m_model->row(id.toStdString());
        if (!row)
            break;
        QMenu* menu = TorrentListRow::menu(
            this, m_model->item(*row).text(), [this, id] { emit pauseRequested(id); },
            [this, id] { emit detailsRequested(id); });
        menu->popup(viewport()->mapToGlobal(where.bottomLeft()));
        break;
    }
    case A::none:
        break;
    }
}

} // namespace tevro
