#pragma once

// The torrents on display as one model for the grid, the list and the table:
// rows follow MainView.visible by id, a changed torrent updates only its own
// row, and the table reads its six columns from it.

#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include <QAbstractTableModel>

#include "tevro/core/torrent_status.h"
#include "tevro/library/list_change.h"

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
    // With `change` (from the rows last given to these), only the rows it
    // names are looked at.
    void setTorrents(const std::vector<TorrentStatus>& torrents,
                     const ListChange* change = nullptr);
    std::vector<TorrentStatus> torrents() const;
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
    // Follows a change of the rows last given; false, changing nothing, when
    // it does not fit them or the rows that stay move.
    bool follow(const std::vector<TorrentStatus>& torrents, ListChange change);
    void insertRows(std::size_t row, const TorrentStatus* first, std::size_t count);
    void removeRows(std::size_t row, std::size_t count);
    // Rows are held by pointer: a row inserted on top moves pointers only.
    std::vector<std::unique_ptr<TorrentStatus>> m_torrents;
    // Each row's id hashed, to find a row without comparing every id.
    std::vector<std::size_t> m_keys;
    std::set<std::string> m_selection;
};

} // namespace tevro
