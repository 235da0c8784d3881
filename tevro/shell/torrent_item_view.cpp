#include "tevro/shell/torrent_item_view.h"

#include <algorithm>

#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QScrollBar>

#include "tevro/shell/library_model.h"

namespace tevro {

namespace {

constexpr int kCardMin = 220;
constexpr int kCardMax = 340;
constexpr int kColumnGap = 18;
constexpr int kRowGap = 20;
constexpr int kListGap = 10;
constexpr int kRowHeight = 86;

} // namespace

TorrentItemView::TorrentItemView(Mode mode, QWidget* parent) : QListView(parent), m_mode(mode) {
    setSelectionMode(QAbstractItemView::NoSelection);
    setFrameShape(QFrame::NoFrame);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setMouseTracking(true);
    setUniformItemSizes(true);
    setFocusPolicy(Qt::StrongFocus);
    viewport()->setAutoFillBackground(false);
    setStyleSheet(QStringLiteral("QListView { background: transparent; }"));
    if (mode == Mode::grid) {
        setViewMode(QListView::IconMode);
        setFlow(QListView::LeftToRight);
        setWrapping(true);
        setResizeMode(QListView::Adjust);
        setMovement(QListView::Static);
    } else {
        setViewMode(QListView::ListMode);
        setSpacing(kListGap / 2);
    }
    setAccessibleName(mode == Mode::grid ? QStringLiteral("Плитка") : QStringLiteral("Список"));
}

void TorrentItemView::layoutItems() {
    int width = viewport()->width();
    if (m_mode == Mode::grid) {
        int columns = std::max(1, (width + kColumnGap) / (kCardMin + kColumnGap));
        int cardWidth = std::min(kCardMax, (width - kColumnGap * (columns - 1)) / columns);
        int cardHeight = cardWidth * 9 / 16 + 74;
        setGridSize(QSize(cardWidth + kColumnGap, cardHeight + kRowGap));
    }
}

int TorrentItemView::contentHeight() const {
    int rows = model() ? model()->rowCount() : 0;
    if (rows == 0)
        return 0;
    if (m_mode == Mode::list)
        return rows * (kRowHeight + kListGap);
    QSize grid = gridSize();
    int columns = std::max(1, viewport()->width() / std::max(1, grid.width()));
    return ((rows + columns - 1) / columns) * grid.height();
}

QRect TorrentItemView::itemRect(const std::string& id) const {
    auto* m = qobject_cast<LibraryModel*>(model());
    if (!m)
        return {};
    return visualRect(m->index(m->rowOf(id), 0));
}

std::string TorrentItemView::idAt(const QPoint& pos) const {
    QModelIndex index = indexAt(pos);
    return index.isValid() ? index.data(LibraryModel::IdRole).toString().toStdString()
                           : std::string();
}

void TorrentItemView::mousePressEvent(QMouseEvent* event) {
    setFocus(Qt::MouseFocusReason);
    std::string id = idAt(event->position().toPoint());
    if (event->button() == Qt::LeftButton && !id.empty())
        emit itemClicked(id, event->modifiers());
    event->accept();
}

void TorrentItemView::mouseDoubleClickEvent(QMouseEvent* event) {
    std::string id = idAt(event->position().toPoint());
    if (event->button() == Qt::LeftButton && !id.empty())
        emit itemActivated(id);
    event->accept();
}

void TorrentItemView::contextMenuEvent(QContextMenuEvent* event) {
    std::string id = idAt(event->pos());
    if (!id.empty())
        emit contextMenuAt(id, event->globalPos());
    event->accept();
}

void TorrentItemView::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Delete || event->key() == Qt::Key_Backspace) {
        emit deletePressed();
        event->accept();
        return;
    }
    QListView::keyPressEvent(event);
}

void TorrentItemView::resizeEvent(QResizeEvent* event) {
    layoutItems();
    QListView::resizeEvent(event);
    updateGeometries();
}

void TorrentItemView::updateGeometries() {
    QListView::updateGeometries();
    int height = contentHeight();
    if (height != m_lastHeight) {
        m_lastHeight = height;
        emit contentHeightChanged();
    }
}

} // namespace tevro
