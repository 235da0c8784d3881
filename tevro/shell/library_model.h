#pragma once

// The torrents on display as one model for the grid, the list and the table:
// rows follow MainView.visible by id, a changed torrent updates only its own
// row, and the table reads its six columns from it.

#include <set>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include <QAbstractTableModel>

#include "tevro/core/torrent_status.h"

namespace tevro {

class LibraryModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column {
        nameColumn,
        sizeColumn,
        progressColumn,
        statusColumn,
        speedColumn,
        remainingColumn,
        columnCount_
    };
    enum Role {
        IdRole = Qt::UserRole + 1,
        SelectedRole,
        SubtitleRole,
        ProgressRole,
        StatusSymbolRole,
        ErrorRole
    };

    explicit LibraryModel(QObject* parent = nullptr);

    // Replaces the rows: unchanged ids keep their rows, changed torrents
    // redraw only their row, torrents that come or go insert or remove
    // theirs; only a new order of the rows that stay resets the model.
    // With `changed`, rows kept whose ids it does not name are as last given.
    void setTorrents(const std::vector<TorrentStatus>& torrents,
                     const std::unordered_set<std::string_view>* changed = nullptr);
    const std::vector<TorrentStatus>& torrents() const { return m_torrents; }
    // The selected ids, drawn as selected by the grid and list.
    void setSelection(const std::set<std::string>& selection);

    const TorrentStatus* status(int row) const;
    int rowOf(const std::string& id) const;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    // Texts of the table cells.
    static QString sizeText(const TorrentStatus& t);
    static QString speedText(const TorrentStatus& t);
    static QString remainingText(const TorrentStatus& t);

private:
    // Removes and inserts rows until the ids are those of `torrents`, in
    // order (`fresh` marks the rows it inserted); false, changing nothing,
    // when the rows that stay would move.
    bool followRows(const std::vector<TorrentStatus>& torrents, std::vector<bool>& fresh);

    std::vector<TorrentStatus> m_torrents;
    std::set<std::string> m_selection;
};

} // namespace tevro
