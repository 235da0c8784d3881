#pragma once

// The delegate of the library's grid and list: paints each torrent with the
// painting function its widget uses, and turns clicks on the painted parts
// into actions. The card and row delegates differ only in what they paint.

#include <QStyledItemDelegate>

#include "tevro/library/painted_element.h"

namespace tevro {

struct LibraryItemPaint;
class TorrentListModel;

class LibraryItemDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    explicit LibraryItemDelegate(QObject* parent = nullptr);

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    bool editorEvent(QEvent* event, QAbstractItemModel* model, const QStyleOptionViewItem& option,
                     const QModelIndex& index) override;
    bool helpEvent(QHelpEvent* event, QAbstractItemView* view, const QStyleOptionViewItem& option,
                   const QModelIndex& index) override;

    // The parts of the item at `index` whose cell is `cell` (viewport coordinates).
    PaintedElements elements(const QModelIndex& index, const QRect& cell) const;
    // The part of a cell the item takes (cells include the spacing).
    virtual QRectF itemRect(const QRect& cell) const { return QRectF(cell); }

signals:
    void actionRequested(const QString& id, tevro::PaintedElement::Action action,
                         Qt::KeyboardModifiers modifiers, const QRect& where);

protected:
    virtual void paintItem(QPainter& painter, const QRectF& rect,
                           const LibraryItemPaint& item) const = 0;
    virtual PaintedElements itemElements(const QRectF& rect,
                                         const LibraryItemPaint& item) const = 0;
    // The rounded outline of an item, where the keyboard focus ring goes.
    virtual qreal itemRadius() const = 0;

private:
    static const TorrentListModel* modelOf(const QModelIndex& index);

    QPersistentModelIndex m_pressedIndex;
    PaintedElement::Action m_pressed = PaintedElement::Action::none;
};

} // namespace tevro
