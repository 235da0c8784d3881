#pragma once

// The page of one opened torrent: breadcrumb, header with artwork and play
// button, transfer controls, and its videos as episode cards or rows to search,
// play and switch on or off, or its whole file tree. Refreshes the file list
// and piece map every 2 s while shown; a change of torrent clears everything
// of the previous one at once.

#include <cstdint>
#include <optional>
#include <vector>

#include <QWidget>

#include "tevro/core/piece_map.h"
#include "tevro/core/torrent_file.h"
#include "tevro/core/torrent_status.h"
#include "tevro/torrent/episode_list_view.h"

class QLabel;
class QLineEdit;
class QPushButton;
class QStackedWidget;
class QToolButton;

namespace tevro {

class ClampedLabel;
class ContentsTransferControls;
class DetailPane;
class ElidedLabel;
class EmptyState;
class EpisodeDelegate;
class EpisodeModel;
class FilesView;
class MediaArtwork;
class PlayerModel;
class RefreshLoop;
class TabButton;
class TorrentEngine;

class TorrentContentsView : public QWidget {
    Q_OBJECT
public:
    explicit TorrentContentsView(TorrentEngine& engine, QWidget* parent = nullptr);

    // The opened torrent's current record; the owner passes it on every poll.
    void setTorrent(const TorrentStatus& torrent);
    const TorrentStatus& torrent() const { return m_torrent; }
    void setPlayer(PlayerModel* player);

    // The page's switches (the window model keeps them in memory).
    QString query() const { return m_query; }
    void setQuery(const QString& query);
    bool allFiles() const { return m_allFiles; }
    void setAllFiles(bool on);
    bool compact() const { return m_compact; }
    void setCompact(bool on);

    const std::vector<TorrentFile>& files() const { return m_files; }
    bool loaded() const { return m_loaded; }
    const PieceMap& pieceMap() const { return m_pieceMap; }
    std::vector<TorrentFile> videos() const;
    std::vector<TorrentFile> filtered() const;
    std::optional<TorrentFile> playTarget() const;
    static QString episodeTitle(const TorrentFile& file);

    void play(const TorrentFile& file);
    void setDownload(const TorrentFile& file);

    // The information sheet ("Сведения о торренте") with its detail pane.
    QDialog* showInfo();

    FilesView* filesView() const { return m_filesView; }
    EpisodeListView* episodeView() const { return m_episodes; }
    EpisodeModel* episodeModel() const { return m_episodeModel; }
    ContentsTransferControls* transferControls() const { return m_transfer; }
    // What the main area shows now: "files", "loading", "empty" or "episodes".
    QString mainContent() const;

signals:
    void back();
    void limitsRequested();
    void moveRequested();
    void removeRequested();
    void queryChanged(const QString& query);
    void allFilesChanged(bool on);
    void compactChanged(bool on);
    void playRequested(const QString& torrentID, const tevro::TorrentFile& file);
    // The player has opened the file: the player window should come up.
    void playerWindowRequested();
    // A detail pane was created (for the information sheet), for the owner to wire its tab.
    void detailPaneCreated(tevro::DetailPane* pane);
    void refreshed();

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void pass(std::uint64_t ticket);
    void startLoop();
    void refreshContent();
    void refreshHeader();
    void layoutEpisodes();
    void episodeMenu(const QPoint& pos);

    TorrentEngine& m_engine;
    PlayerModel* m_player = nullptr;
    TorrentStatus m_torrent;
    QString m_query;
    bool m_allFiles = false;
    bool m_compact = false;
    std::vector<TorrentFile> m_files;
    bool m_loaded = false;
    PieceMap m_pieceMap;
    RefreshLoop* m_loop = nullptr;

    ElidedLabel* m_crumbTitle = nullptr;
    MediaArtwork* m_artwork = nullptr;
    ClampedLabel* m_title = nullptr;
    ClampedLabel* m_summary = nullptr;
    QPushButton* m_playButton = nullptr;
    ContentsTransferControls* m_transfer = nullptr;
    TabButton* m_videosTab = nullptr;
    TabButton* m_filesTab = nullptr;
    QWidget* m_search = nullptr;
    QLineEdit* m_searchField = nullptr;
    QToolButton* m_layoutSwitch = nullptr;
    QStackedWidget* m_main = nullptr;
    FilesView* m_filesView = nullptr;
    QWidget* m_loading = nullptr;
    QWidget* m_empty = nullptr;
    EpisodeListView* m_episodes = nullptr;
    QWidget* m_episodesBox = nullptr;
    EpisodeModel* m_episodeModel = nullptr;
    EpisodeDelegate* m_episodeDelegate = nullptr;
};

} // namespace tevro
