#include "tevro/shell/torrent_table.h"

#include <algorithm>

#include <QContextMenuEvent>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QStyleOptionViewItem>

#include "tevro/shell/library_model.h"
#include "tevro/shell/main_ui_state.h"
#include "tevro/shell/main_view.h"
#include "tevro/library/library_style.h"
#include "tevro/library/symbols.h"
#include "tevro/library/torrent_status_text.h"

namespace tevro {

namespace {

std::optional<TableSortKey> sortKey(int column) {
    switch (column) {
    case LibraryModel::nameColumn:
        return TableSortKey::name;
    case LibraryModel::sizeColumn:
        return TableSortKey::wanted;
    case LibraryModel::progressColumn:
        return TableSortKey::progress;
    case LibraryModel::statusColumn:
        return TableSortKey::state;
    default:
        return std::nullopt;
    }
}

} // namespace

TorrentTable::TorrentTable(MainView& view, QWidget* parent) : QTableView(parent), m_view(view) {
    setAccessibleName(QStringLiteral("Таблица"));
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setAlternatingRowColors(false);
    setShowGrid(false);
    setFrameShape(QFrame::NoFrame);
    setWordWrap(false);
    setFont(LibraryStyle::font(11));
    verticalHeader()->hide();
    verticalHeader()->setDefaultSectionSize(40);
    horizontalHeader()->setHighlightSections(false);
    horizontalHeader()->setSectionsClickable(true);
    horizontalHeader()->setSortIndicatorShown(false);
    horizontalHeader()->setStretchLastSection(false);
    QPalette pal = palette();
    QColor highlight = LibraryStyle::accent();
    highlight.setAlphaF(0.22f);
    pal.setColor(QPalette::Highlight, highlight);
    pal.setColor(QPalette::HighlightedText, Qt::white);
    pal.setColor(QPalette::Base, LibraryStyle::background());
    setPalette(pal);
    setModel(view.model());
    connect(horizontalHeader(), &QHeaderView::sectionClicked, this, &TorrentTable::sortBy);
    connect(selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &TorrentTable::pushSelection);
    connect(view.model(), &QAbstractItemModel::modelReset, this, &TorrentTable::syncFromState);
    connect(this, &QAbstractItemView::doubleClicked, this, [this](const QModelIndex& index) {
        if (index.isValid())
            m_view.inspect(index.data(LibraryModel::IdRole).toString().toStdString());
    });
    updateColumnWidths();
}

int TorrentTable::statusColumnWidth() const {
    // The status cell as the delegate draws it: a 12-point symbol and the word.
    QStyleOptionViewItem o;
    o.initFrom(this);
    o.font = LibraryStyle::font(11);
    o.fontMetrics = QFontMetrics(o.font);
    o.features = QStyleOptionViewItem::HasDisplay | QStyleOptionViewItem::HasDecoration;
    o.decorationSize = QSize(12, 12);
    o.icon = Symbols::icon("clock", LibraryStyle::muted(), 12);
    int widest = 125;
    for (const std::string& word : TorrentStatusText::statusTexts()) {
        o.text = QString::fromStdString(word);
        widest = std::max(
            widest,
            style()->sizeFromContents(QStyle::CT_ItemViewItem, &o, QSize(), this).width() + 4);
    }
    return widest;
}

void TorrentTable::updateColumnWidths() {
    static const int widths[] = {0, 65, 75, 125, 85, 95};
    int others = 0;
    for (int c = 1; c < LibraryModel::columnCount_; ++c) {
        const int w = c == LibraryModel::statusColumn ? statusColumnWidth() : widths[c];
        setColumnWidth(c, w);
        others += w;
    }
    // Qt's columns carry no spacing of their own, so the name takes all that is left.
    setColumnWidth(LibraryModel::nameColumn, std::max(140, viewport()->width() - others));
}

void TorrentTable::resizeEvent(QResizeEvent* event) {
    QTableView::resizeEvent(event);
    updateColumnWidths();
}

std::set<std::string> TorrentTable::selectedIds() const {
    std::set<std::string> ids;
    for (const QModelIndex& index : selectionModel()->selectedRows())
        ids.insert(index.data(LibraryModel::IdRole).toString().toStdString());
    return ids;
}

void TorrentTable::pushSelection() {
    if (m_syncing)
        return;
    m_view.ui().setSelection(selectedIds());
}

void TorrentTable::syncFromState() {
    if (selectedIds() == m_view.ui().selection())
        return;
    m_syncing = true;
    QItemSelection selection;
    auto* m = m_view.model();
    for (const auto& id : m_view.ui().selection())
        if (int row = m->rowOf(id); row >= 0)
            selection.select(m->index(row, 0), m->index(row, LibraryModel::columnCount_ - 1));
    selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
    m_syncing = false;
}

void TorrentTable::sortBy(int column) {
    auto key = sortKey(column);
    if (!key)
        return;
    TableSortOrder order = m_view.sortOrder();
    bool ascending = true;
    if (!order.empty() && order.front().key == *key)
        ascending = !order.front().ascending;
    std::erase_if(order, [&](const TableSortComparator& c) { return c.key == *key; });
    order.insert(order.begin(), {*key, ascending});
    horizontalHeader()->setSortIndicatorShown(true);
    horizontalHeader()->setSortIndicator(column,
                                         ascending ? Qt::AscendingOrder : Qt::DescendingOrder);
    m_view.setSortOrder(order);
}

void TorrentTable::contextMenuEvent(QContextMenuEvent* event) {
    QModelIndex index = indexAt(event->pos());
    std::set<std::string> ids;
    if (index.isValid()) {
        std::string id = index.data(LibraryModel::IdRole).toString().toStdString();
        ids = m_view.contextSelection(id);
    }
    if (QMenu* menu = m_view.contextMenu(ids, this)) {
        menu->setAttribute(Qt::WA_DeleteOnClose);
        menu->popup(event->globalPos());
    }
    event->accept();
}

void TorrentTable::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::RightButton) {
        event->accept();
        return;
    }
    QTableView::mousePressEvent(event);
}

void TorrentTable::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Delete || event->key() == Qt::Key_Backspace) {
        if (!m_view.ui().selection().empty())
            m_view.requestRemoval(m_view.ui().selection());
        event->accept();
        return;
    }
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        auto rows = selectionModel()->selectedRows();
        if (!rows.empty()) {
            std::ranges::sort(rows, {}, &QModelIndex::row);
            m_view.inspect(rows.front().data(LibraryModel::IdRole).toString().toStdString());
        }
        event->accept();
        return;
    }
    QTableView::keyPressEvent(event);
}

} // namespace tevro
