#pragma once

// A torrent's files as an outline table with check marks, sizes, progress and
// priorities, a toolbar (filter, quick selection, priorities, play) and a
// context menu. Refreshes its file list and piece map every 2 s while shown;
// a refresh that changes a few files updates those rows in place.

#include <cstdint>
#include <optional>
#include <string>
#include <unordered_set>
#include <vector>

#include <QWidget>

#include "tevro/core/file_priority.h"
#include "tevro/core/piece_map.h"
#include "tevro/core/torrent_file.h"
#include "tevro/media/file_node.h"

class QLabel;
class QLineEdit;
class QMenu;
class QToolButton;
class QTreeView;

namespace tevro {

class EmptyState;
class FileRowDelegate;
class FileTreeModel;
class FileTreeView;
class PlayerModel;
class RefreshLoop;
class TorrentEngine;

class FilesView : public QWidget {
    Q_OBJECT
public:
    explicit FilesView(TorrentEngine& engine, QWidget* parent = nullptr);

    void setTorrentID(const QString& id);
    QString torrentID() const { return m_torrentID; }
    // Extra controls placed at the toolbar's left end (the detail pane's tabs).
    void setLeadingControls(QWidget* controls);
    // Shows a close button at the toolbar's right end that emits closeRequested.
    void setCloseAction(bool shown);
    // The player that plays files; without one only playRequested is emitted.
    void setPlayer(PlayerModel* player) { m_player = player; }

    const std::vector<TorrentFile>& files() const;
    bool loaded() const { return m_loaded; }
    const PieceMap& pieceMap() const;
    QString query() const;
    void setQuery(const QString& text);
    std::unordered_set<std::string> selection() const;
    void setSelection(const std::unordered_set<std::string>& ids);

    std::vector<FileNode> tree() const;
    std::vector<std::int64_t> selectedIndices() const;
    std::optional<TorrentFile> selectedVideo() const;
    QString selectionSummary() const;

    void setPriority(FilePriority priority);
    void toggle(const FileNode& node);
    void refreshSoon();
    void play(const TorrentFile& file);
    // The toolbar's play action: the selected video, else the first video.
    void playSelectedOrFirst();
    // The primary action (double click) for the given rows.
    void activate(const std::unordered_set<std::string>& ids);
    // The context menu for the given rows (the selection when empty); the caller owns it.
    QMenu* menu(const std::unordered_set<std::string>& ids);
    // Stores a fetched file list as a refresh pass does (changed rows in place).
    void storeFiles(std::vector<TorrentFile> files);

    FileTreeModel* model() const { return m_model; }
    QTreeView* treeView() const;

signals:
    void playRequested(const QString& torrentID, const tevro::TorrentFile& file);
    // The player window should come up.
    void playerWindowRequested();
    void closeRequested();
    // A refresh pass stored its results.
    void refreshed();

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void pass(std::uint64_t ticket);
    void refreshToolbar();
    void refreshPlaceholder();
    void layoutColumns();
    void setIndicesPriority(const std::vector<std::int64_t>& indices, FilePriority priority);
    void priorityMenu(const QModelIndex& index);
    std::string rootName() const;

    TorrentEngine& m_engine;
    PlayerModel* m_player = nullptr;
    QString m_torrentID;
    bool m_loaded = false;
    // Whether the torrent has a video to play; only a new shape of the tree changes it.
    bool m_hasVideo = false;
    RefreshLoop* m_loop = nullptr;

    QWidget* m_toolbar = nullptr;
    QWidget* m_leading = nullptr;
    QWidget* m_leadingDivider = nullptr;
    QLineEdit* m_filter = nullptr;
    QToolButton* m_quick = nullptr;
    QToolButton* m_want = nullptr;
    QToolButton* m_skip = nullptr;
    QToolButton* m_priority = nullptr;
    QLabel* m_summary = nullptr;
    QToolButton* m_play = nullptr;
    QToolButton* m_close = nullptr;
    FileTreeView* m_tree = nullptr;
    FileTreeModel* m_model = nullptr;
    FileRowDelegate* m_delegate = nullptr;
    EmptyState* m_placeholder = nullptr;
};

} // namespace tevro
