#pragma once

// Painting of the table's name and progress cells over the library model.
// Covers come from the artwork store; a missing cover is the library's
// pattern placeholder.

#include <map>
#include <optional>
#include <string>

#include <QImage>
#include <QPointer>
#include <QStyledItemDelegate>

namespace tevro {

class ArtworkStore;
class TorrentEngine;
struct TorrentStatus;

// Covers by torrent id, asked once per progress step and kept in memory.
class CoverCache : public QObject {
    Q_OBJECT
public:
    explicit CoverCache(ArtworkStore* store, QObject* parent = nullptr);
    const QImage* cover(const TorrentStatus& torrent);

signals:
    void coverArrived();

private:
    QPointer<ArtworkStore> m_store;
    std::map<std::string, std::optional<QImage>> m_covers;
    std::map<std::string, std::string> m_asked;
};

// Name cell (cover, title, subtitle) and progress cell (percentage and bar) of the table.
class TorrentTableDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    explicit TorrentTableDelegate(CoverCache* covers, QObject* parent = nullptr);
    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

private:
    CoverCache* m_covers;
};

} // namespace tevro
