#pragma once

// The sheet shown for a ".torrent" file: reads it without adding it, lets the
// user choose files, folder and start options, then adds it in one call.
// Emits `added` with the torrent's id (the existing one for a duplicate) just
// before it closes; a failed add keeps it open with the engine's message.

#include <cstdint>
#include <expected>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <unordered_set>
#include <vector>

#include <QDialog>

#include "tevro/core/torrent_file.h"
#include "tevro/core/torrent_preview.h"
#include "tevro/engine/engine_error.h"
#include "tevro/media/file_node.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QStackedWidget;
class QToolButton;
class QTreeView;

namespace tevro {

class ClampedLabel;
class ElidedLabel;
class FileTreeModel;
class FileTreeView;
class TorrentEngine;

class AddTorrentSheet : public QDialog {
    Q_OBJECT
public:
    AddTorrentSheet(TorrentEngine& engine, std::filesystem::path url, QWidget* parent = nullptr);

    // The preview once read (absent while reading).
    const std::optional<TorrentPreview>& preview() const { return m_preview; }
    // Every file of the torrent, pad files included, priority 4 when wanted and 0 when not.
    std::vector<TorrentFile> files() const;
    // Bytes of the wanted files that are not pad files.
    std::int64_t selectedSize() const;
    // The tree as shown (after the filter).
    std::vector<FileNode> tree() const;

    // Sets the download choice of every file below the nodes of `ids` within `roots`.
    void set(const std::unordered_set<std::string>& ids, const std::vector<FileNode>& roots,
             bool on);
    void setSavePath(const QString& path);
    QString savePath() const { return m_savePath; }
    // Starts the add; `added` (and closing) or the error follow when the
    // engine answers.
    void add();
    // The message of the last failed add, or empty.
    QString errorText() const;

    FileTreeModel* model() const { return m_model; }
    QTreeView* treeView() const;
    std::unordered_set<std::string> selection() const;
    void setSelection(const std::unordered_set<std::string>& ids);

signals:
    void added(const QString& id);
    // The preview was read (ready or unreadable).
    void loaded();

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void startLoading();
    void showPreview(TorrentPreview preview);
    void finishAdd(std::expected<AddResult, EngineError> result);
    void refreshTree();
    void refreshState();
    void toggle(const QModelIndex& index);
    void onlyVideo();
    void choosePath();
    QWidget* buildReady();

    TorrentEngine& m_engine;
    std::filesystem::path m_url;
    bool m_started = false;
    // An add is on its way (read and added off the main thread).
    bool m_adding = false;
    std::optional<TorrentPreview> m_preview;
    std::map<std::int64_t, bool> m_wanted;
    QString m_savePath;

    QStackedWidget* m_stack = nullptr;
    QLabel* m_unreadableText = nullptr;
    ClampedLabel* m_title = nullptr;
    QLabel* m_lock = nullptr;
    QLabel* m_sizeText = nullptr;
    QLineEdit* m_filter = nullptr;
    QPushButton* m_wantButton = nullptr;
    QPushButton* m_skipButton = nullptr;
    FileTreeView* m_tree = nullptr;
    FileTreeModel* m_model = nullptr;
    ElidedLabel* m_pathLabel = nullptr;
    QCheckBox* m_startNow = nullptr;
    QCheckBox* m_sequential = nullptr;
    QLabel* m_error = nullptr;
    QPushButton* m_addButton = nullptr;
};

} // namespace tevro
