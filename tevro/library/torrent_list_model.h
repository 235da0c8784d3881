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
    // With `changed`, rows kept whose ids it does not name are as last given.
    void setTorrents(const std::vector<TorrentStatus>& torrents,
                     const std::unordered_set<std::string_view>* changed = nullptr);
    void setSelection(const std::set<std::string>& ids);

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QHash<int, QByteArray> roleNames() const override;

    const Item& item(int row) const { return m_items[std::size_t(row)]; }
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
    void fetchPending();
    void requestArtwork(const std::string& id);
    void requestPieces(const std::string& id);
    void rebuildIndex();
    // Rows at `from` and after move by `by`.
    void shiftRows(std::size_t from, std::ptrdiff_t by);

    QPointer<ArtworkStore> m_store;
    QPointer<TorrentEngine> m_engine;
    std::vector<Item> m_items;
    std::unordered_map<std::string, std::size_t> m_rows;
    bool m_indexStale = false;
    std::set<std::string> m_selection;
    mutable std::set<std::string> m_pendingArtwork;
    mutable std::set<std::string> m_pendingPieces;
    mutable bool m_fetchScheduled = false;
};

} // namespace tevro
