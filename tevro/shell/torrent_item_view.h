#pragma once

// The grid of cards or the list of rows over the library model. The view
// keeps no selection of its own: clicks, right-clicks and the Delete key go
// out as signals with the keyboard modifiers, and the window decides.

#include <string>

#include <QListView>

namespace tevro {

class TorrentItemView : public QListView {
    Q_OBJECT
public:
    enum class Mode { grid, list };

    explicit TorrentItemView(Mode mode, QWidget* parent = nullptr);

    Mode mode() const { return m_mode; }
    // The height that shows every item without scrolling.
    int contentHeight() const;
    // The rectangle of the item with `id`, in viewport coordinates.
    QRect itemRect(const std::string& id) const;

signals:
    void itemClicked(const std::string& id, Qt::KeyboardModifiers modifiers);
    void itemActivated(const std::string& id);
    void contextMenuAt(const std::string& id, const QPoint& globalPos);
    void deletePressed();
    void contentHeightChanged();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void updateGeometries() override;

private:
    void layoutItems();
    std::string idAt(const QPoint& pos) const;

    Mode m_mode;
    int m_lastHeight = -1;
};

} // namespace tevro
