#pragma once

// The library's hero item: one torrent shown large, with an upper-case line
// saying what is going on with it, its title, the watch and open buttons, a
// compact progress line and a large picture.

#include "tevro/core/torrent_status.h"
#include "tevro/library/library_item_text.h"

#include <QWidget>

class QLabel;
class QPushButton;

namespace tevro {

class ArtworkStore;
class CheckingMetrics;
class MediaArtwork;
class TorrentEngine;
class TransferProgress;

class FeaturedTorrent : public QWidget {
    Q_OBJECT
public:
    explicit FeaturedTorrent(ArtworkStore* store = nullptr, TorrentEngine* engine = nullptr,
                             QWidget* parent = nullptr);

    void setTorrent(const TorrentStatus& torrent);
    const TorrentStatus& torrent() const { return m_torrent; }

signals:
    void playRequested();
    void detailsRequested();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    TorrentStatus m_torrent;
    LibraryItemText m_text;
    QLabel* m_eyebrow;
    QLabel* m_title;
    QLabel* m_caption;
    QPushButton* m_play;
    QPushButton* m_details;
    TransferProgress* m_progress;
    QLabel* m_progressText;
    CheckingMetrics* m_metrics;
    MediaArtwork* m_artwork;
};

} // namespace tevro
