#pragma once

// The window "main": the library view under a menu bar with a "Tevro" menu
// (about, settings, quit), the File menu (open a torrent, a magnet link) and
// the "Торренты" menu (resume, pause, alternative limits).

#include <QMainWindow>

#include "tevro/shell/main_view.h"

namespace tevro {

class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    MainWindow(TorrentEngine& engine, MainUIState& ui, PlayerModel* player, ArtworkStore* artwork,
               MainView::Parts parts, QWidget* parent = nullptr);

    MainView* view() const { return m_view; }
    // A menu action by its title, for tests and the accessibility tree.
    QAction* action(const QString& title) const;
    // The menu commands with a shortcut: they are the application's, so the
    // other windows add them to answer their keys even while "main" is closed.
    QList<QAction*> commandActions() const;

signals:
    void shown();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void buildMenus();

    TorrentEngine& m_engine;
    MainUIState& m_ui;
    MainView* m_view = nullptr;
};

} // namespace tevro
