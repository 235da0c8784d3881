#pragma once

// One torrent's details under four tabs: files, info, peers, trackers. The
// current tab belongs to the window (every pane shows the same one): the pane
// shows what setTab gives it and reports a click on another tab through
// tabChosen; without an owner it follows its own clicks.

#include <QWidget>

#include <array>

class QStackedWidget;

namespace tevro {

class FilesView;
class InfoView;
class PeersView;
class PlayerModel;
class TabButton;
class TorrentEngine;
class TrackersView;

class DetailPane : public QWidget {
    Q_OBJECT
public:
    // The tabs in order (the window model's tab has the same cases in the same order).
    enum class Tab { files, info, peers, trackers };
    static constexpr std::array<Tab, 4> kTabs = {Tab::files, Tab::info, Tab::peers, Tab::trackers};
    // "Файлы", "Общее", "Пиры", "Трекеры".
    static QString title(Tab tab);

    // `closable` shows the close button ("Закрыть сведения"), which emits closeRequested.
    DetailPane(TorrentEngine& engine, bool closable, QWidget* parent = nullptr);

    void setTorrentID(const QString& id);
    QString torrentID() const { return m_torrentID; }
    void setTab(Tab tab);
    Tab tab() const { return m_tab; }
    // When set, a click on a tab only emits tabChosen and the owner calls setTab.
    void setTabOwned(bool owned) { m_tabOwned = owned; }
    void setPlayer(PlayerModel* player);

    FilesView* filesView() const { return m_files; }
    InfoView* infoView() const { return m_info; }
    PeersView* peersView() const { return m_peers; }
    TrackersView* trackersView() const { return m_trackers; }
    // The tab buttons in view now (the files toolbar's or the header's).
    TabButton* tabButton(Tab tab) const;

signals:
    void tabChosen(tevro::DetailPane::Tab tab);
    void closeRequested();

private:
    QWidget* makeTabs(std::array<TabButton*, 4>& buttons);
    void choose(Tab tab);

    TorrentEngine& m_engine;
    QString m_torrentID;
    Tab m_tab = Tab::files;
    bool m_tabOwned = false;
    std::array<TabButton*, 4> m_filesTabs{};
    std::array<TabButton*, 4> m_headerTabs{};
    QStackedWidget* m_outer = nullptr;
    QStackedWidget* m_inner = nullptr;
    FilesView* m_files = nullptr;
    InfoView* m_info = nullptr;
    PeersView* m_peers = nullptr;
    TrackersView* m_trackers = nullptr;
};

} // namespace tevro
