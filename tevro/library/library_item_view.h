#pragma once

// The item view of the library's grid or list over the torrent model: no
// widget per torrent, the delegate paints each visible one. It passes the
// painted buttons' clicks on as the main window's four actions.

#include <QListView>

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

signals:
    // A click on the picture or the title (the modifiers extend or toggle the selection).
    void selectRequested(const QString& id, Qt::KeyboardModifiers modifiers);
    void playRequested(const QString& id);
    void pauseRequested(const QString& id);
    void detailsRequested(const QString& id);

private:
    void onAction(const QString& id, PaintedElement::Action action, Qt::KeyboardModifiers modifiers,
                  const QRect& where);

    LibraryItemDelegate* m_delegate;
    TorrentListModel* m_model = nullptr;
};

} // namespace tevro
