#pragma once

// The item view of the library's grid or list over the torrent model: no
// widget per torrent, the delegate paints each visible one. It passes the
// painted buttons' clicks on as the main window's four actions, gives the
// item the keyboard is on the same actions by key, fetches the piece maps of
// the items on screen every 2 s, and shows assistive tools each item with
// the painted parts as its children.
//
// Keys on the current item: Space selects it as a click on its picture would
// (Ctrl and Shift as with the pointer), Return plays it, Ctrl+Return opens
// its files and details, Ctrl+P pauses or resumes it, and the menu key or
// Shift+F10 opens its context menu.

#include <utility>

#include <QListView>
#include <QTimer>

#include "tevro/library/painted_element.h"

namespace tevro {

class LibraryItemDelegate;
class TorrentListModel;

class LibraryItemView : public QListView {
    Q_OBJECT
public:
    // The space between the view's edges and its items, scroll bar aside.
    static constexpr int kSidePadding = 28;

    LibraryItemView(LibraryItemDelegate* delegate, QWidget* parent = nullptr);

    void setTorrentModel(TorrentListModel* model);
    TorrentListModel* torrentModel() const { return m_model; }
    LibraryItemDelegate* itemDelegate() const { return m_delegate; }

    // Clicks a painted part of the torrent's item, as the pointer would.
    void activate(const QString& id, PaintedElement::Action action,
                  Qt::KeyboardModifiers modifiers = {});
    // The parts of the item at `index` as laid out now, in viewport coordinates.
    PaintedElements elementsOf(const QModelIndex& index) const;
    // The first and last row with an item on screen; first > last when none is.
    std::pair<int, int> shownRows() const;
    // Asks for the context menu of the item at `index`, at the item.
    void requestContextMenu(const QModelIndex& index);

signals:
    // A click on the picture or the title (the modifiers extend or toggle the selection).
    void selectRequested(const QString& id, Qt::KeyboardModifiers modifiers);
    void playRequested(const QString& id);
    void pauseRequested(const QString& id);
    void detailsRequested(const QString& id);
    // The torrent's context menu, at `where` in viewport coordinates.
    void contextMenuRequested(const QString& id, const QPoint& where);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void onAction(const QString& id, PaintedElement::Action action, Qt::KeyboardModifiers modifiers,
                  const QRect& where);
    void refreshPieces();

    LibraryItemDelegate* m_delegate;
    TorrentListModel* m_model = nullptr;
    QTimer m_pieces;
};

} // namespace tevro
