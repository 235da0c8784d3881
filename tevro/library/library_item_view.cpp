#include "tevro/library/library_item_view.h"

#include <QMenu>

#include "tevro/library/library_item_delegate.h"
#include "tevro/library/library_style.h"
#include "tevro/library/torrent_list_model.h"
#include "tevro/library/torrent_list_row.h"

namespace tevro {

LibraryItemView::LibraryItemView(LibraryItemDelegate* delegate, QWidget* parent)
    : QListView(parent), m_delegate(delegate) {
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
}

void LibraryItemView::setTorrentModel(TorrentListModel* model) {
    m_model = model;
    setModel(model);
    connect(model, &TorrentListModel::rowHeightChanged, this,
            [this](const QModelIndex& index) { emit m_delegate->sizeHintChanged(index); });
}

void LibraryItemView::activate(const QString& id, PaintedElement::Action action,
                               Qt::KeyboardModifiers modifiers) {
    QRect where;
    if (m_model) {
        const QModelIndex index = m_model->indexOf(id.toStdString());
        where = visualRect(index);
    }
    onAction(id, action, modifiers, where);
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
            this, m_model->item(*row).text, [this, id] { emit pauseRequested(id); },
            [this, id] { emit detailsRequested(id); });
        menu->popup(viewport()->mapToGlobal(where.bottomLeft()));
        break;
    }
    case A::none:
        break;
    }
}

} // namespace tevro
