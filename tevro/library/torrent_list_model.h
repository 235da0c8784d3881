#pragma once

// The library's torrents as one list model for the grid and the list: rows
// keyed by torrent id, fed with each published poll. Only rows whose shown
// values changed are signalled; pictures and piece maps are fetched for the
// rows that are painted, so a library of thousands costs what is on screen.

#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include <QAbstractListModel>
#include <QImage>
#include <QPointer>

#include "tevro/core/piece_map.h"
#include "tevro/core/torrent_status.h"
#include "tevro/library/library_item_paint.h"
#include "tevro/library/library_item_text.h"
#include "tevro/library/list_change.h"
#include "tevro/media/media_presentation.h"

namespace tevro {

class ArtworkStore;
class TorrentEngine;

class TorrentListModel : public QAbstractListModel {
    Q_OBJECT
public:
    enum Role {
        IdRole = Qt::UserRole + 1,
        TitleRole,
        CaptionRole,
        SizeTextRole,
        ProgressTextRole, // the card's meta line: checking %, "Готово" or the percentage
        PercentRole,
        FractionRole,
        RateTextRole, // the list row's rate line
        WatchTitleRole,
        ResumeWordingRole,
        StatusTextRole,
        StatusSymbolRole,
        BadgeTintRole, // the badge colour as "#rrggbb"
        CheckingRole,
        SelectedRole,
        HasArtworkRole,
    };

    struct Item {
        TorrentStatus torrent;
        MediaPresentation presentation;
        // Made when the row is first painted or asked for: of thousands of
        // rows most are never on screen, and their texts would be most of an item.
        const LibraryItemText& text() const {
            if (!shownText)
                shownText =
                    std::make_unique<LibraryItemText>(LibraryItemText::make(torrent, presentation));
            return *shownText;
        }
        mutable std::unique_ptr<LibraryItemText> shownText;
        bool selected = false;
        QImage artwork;
        std::string artworkIdentity;
        std::string artworkRequest; // the request last sent for this row
        quint64 artworkGeneration = 0;
        PieceMap map;
        qint64 mapFetched = 0; // ms since the epoch; 0: never
        bool mapInFlight = false;
        LibraryItemPaint paint() const { return {torrent, text(), selected, false, artwork, map}; }
    };

    // Without a store or engine the model takes those of LibraryContext.
    explicit TorrentListModel(ArtworkStore* store = nullptr, TorrentEngine* engine = nullptr,
                              QObject* parent = nullptr);

    // A new poll: rows are matched by id; new ones inserted, gone ones
    // removed, moved ones moved, changed ones signalled.
    // With `change` (from the rows last given to this model), only the rows
    // it names are looked at.
    void setTorrents(const std::vector<TorrentStatus>& torrents,
                     const ListChange* change = nullptr);
    void setSelection(const std::set<std::string>& ids);

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QHash<int, QByteArray> roleNames() const override;

    const Item& item(int row) const { return *m_items[std::size_t(row)]; }
    std::optional<int> row(const std::string& id) const;
    QModelIndex indexOf(const std::string& id) const;

    // A delegate painting `row` asks for what it shows besides the record:
    // the picture and the piece map, fetched later on the main thread.
    void prepare(int row) const;
    // The rows on screen fetch their piece maps again (every 2 s while a view
    // shows them, whatever else changes); a changed map repaints its row.
    void refreshPieces(int first, int last);

private:
    void refreshRow(std::size_t row, const TorrentStatus& torrent);
    // Follows a change of the rows last given; false, changing nothing, when
    // it does not fit them or the rows that stay move.
    bool follow(const std::vector<TorrentStatus>& torrents, ListChange change);
    void insertRows(std::size_t row, const TorrentStatus* first, std::size_t count);
    void removeRows(std::size_t row, std::size_t count);
    void fetchPending();
    void requestArtwork(const std::string& id);
    void requestPieces(const std::string& id);

    QPointer<ArtworkStore> m_store;
    QPointer<TorrentEngine> m_engine;
    // Items are held by pointer: a row inserted on top moves pointers only.
    std::vector<std::unique_ptr<Item>> m_items;
    // Each row's id hashed, to find a row without comparing every id.
    std::vector<std::size_t> m_keys;
    std::set<std::string> m_selection;
    mutable std::set<std::string> m_pendingArtwork;
    mutable std::set<std::string> m_pendingPieces;
    mutable bool m_fetchScheduled = false;
};

} // namespace tevro
