#include "tevro/library/library_item_delegate.h"

#include <QAbstractItemView>
#include <QHelpEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QToolTip>

#include "tevro/library/library_style.h"
#include "tevro/library/torrent_list_model.h"

namespace tevro {

LibraryItemDelegate::LibraryItemDelegate(QObject* parent) : QStyledItemDelegate(parent) {}

const TorrentListModel* LibraryItemDelegate::modelOf(const QModelIndex& index) {
    return qobject_cast<const TorrentListModel*>(index.model());
}

void LibraryItemDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                                const QModelIndex& index) const {
    const TorrentListModel* model = modelOf(index);
    if (!model)
        return;
    model->prepare(index.row());
    const TorrentListModel::Item& item = model->item(index.row());
    LibraryItemPaint paint = item.paint();
    paint.hovered = option.state & QStyle::State_MouseOver;
    const QRectF rect = itemRect(option.rect);
    painter->save();
    paintItem(*painter, rect, paint);
    painter->restore();
    // The item the keyboard acts on, while the view has the focus: a white
    // ring just inside the item's border (a repaint covers only the item).
    if (option.state & QStyle::State_HasFocus) {
        painter->save();
        painter->setRenderHint(QPainter::Antialiasing);
        painter->setPen(QPen(QColor(255, 255, 255, 210), 2));
        painter->setBrush(Qt::NoBrush);
        const qreal r = itemRadius() - 3;
        painter->drawRoundedRect(rect.adjusted(3, 3, -3, -3), r, r);
        painter->restore();
    }
}

PaintedElements LibraryItemDelegate::elements(const QModelIndex& index, const QRect& cell) const {
    const TorrentListModel* model = modelOf(index);
    if (!model)
        return {};
    return itemElements(itemRect(cell), model->item(index.row()).paint());
}

bool LibraryItemDelegate::editorEvent(QEvent* event, QAbstractItemModel*,
                                      const QStyleOptionViewItem& option,
                                      const QModelIndex& index) {
    const TorrentListModel* model = modelOf(index);
    if (!model)
        return false;
    const auto type = event->type();
    if (type != QEvent::MouseButtonPress && type != QEvent::MouseButtonRelease &&
        type != QEvent::MouseButtonDblClick)
        return false;
    auto* mouse = static_cast<QMouseEvent*>(event);
    if (mouse->button() != Qt::LeftButton)
        return false;
    const PaintedElements parts = elements(index, option.rect);
    const PaintedElement* hit = clickableAt(parts, mouse->position());
    if (type == QEvent::MouseButtonPress || type == QEvent::MouseButtonDblClick) {
        m_pressedIndex = index;
        m_pressed = hit ? hit->action : PaintedElement::Action::none;
        return hit != nullptr;
    }
    const bool same = m_pressedIndex == index && hit && hit->action == m_pressed;
    m_pressedIndex = QPersistentModelIndex();
    m_pressed = PaintedElement::Action::none;
    if (!same)
        return hit != nullptr;
    emit actionRequested(QString::fromStdString(model->item(index.row()).torrent.id), hit->action,
                         mouse->modifiers(), hit->rect.toAlignedRect());
    return true;
}

bool LibraryItemDelegate::helpEvent(QHelpEvent* event, QAbstractItemView* view,
                                    const QStyleOptionViewItem& option, const QModelIndex& index) {
    if (event->type() != QEvent::ToolTip || !modelOf(index))
        return QStyledItemDelegate::helpEvent(event, view, option, index);
    const PaintedElements parts = elements(index, option.rect);
    if (const PaintedElement* e = toolTipAt(parts, event->pos())) {
        QToolTip::showText(event->globalPos(), e->toolTip, view->viewport(),
                           e->rect.toAlignedRect());
        return true;
    }
    QToolTip::hideText();
    return true;
}

} // namespace tevro
