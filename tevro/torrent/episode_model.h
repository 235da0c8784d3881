#pragma once

// The episodes of the contents page: the videos that match the search, in
// episode order, with each one's title and picture. A refresh with the same
// episodes changes the rows that changed; another list replaces the rows.

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include <QAbstractListModel>
#include <QImage>

#include "tevro/core/piece_map.h"
#include "tevro/core/torrent_file.h"
#include "tevro/core/torrent_status.h"

namespace tevro {

class ArtworkStore;

class EpisodeModel : public QAbstractListModel {
    Q_OBJECT
public:
    explicit EpisodeModel(QObject* parent = nullptr);

    // Pictures come from `store`; none are asked for without one.
    void setArtworkStore(ArtworkStore* store) { m_store = store; }
    void setTorrent(const TorrentStatus& torrent);
    void setEpisodes(std::vector<TorrentFile> episodes);
    void setPieceMap(PieceMap map);
    void clear();

    const TorrentStatus& torrent() const { return m_torrent; }
    const std::vector<TorrentFile>& episodes() const { return m_episodes; }
    const TorrentFile* file(const QModelIndex& index) const;
    const PieceMap& pieceMap() const { return m_pieceMap; }
    // The picture of an episode, or a null image while there is none.
    QImage image(std::int64_t fileIndex) const;

    // "Серия 3" when the file name carries an episode number, else the cleaned-up title.
    static QString episodeTitle(const TorrentFile& file);
    // "Готово" when done, else the percentage (the card's badge).
    static QString badgeText(const TorrentFile& file);
    static double fraction(const TorrentFile& file);

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

private:
    void request(const TorrentFile& file);

    ArtworkStore* m_store = nullptr;
    TorrentStatus m_torrent;
    std::vector<TorrentFile> m_episodes;
    PieceMap m_pieceMap;
    std::map<std::int64_t, QImage> m_images;
    std::map<std::int64_t, std::string> m_requested; // file index -> progress key asked for
};

} // namespace tevro
