#pragma once

// The picture of a torrent, or of one of its files: a frame from the artwork
// store, cropped to fill, and until one exists the pattern cover with the
// media kind's symbol (and on tall tiles the title). It asks the store again
// each time the progress passes another tenth and when the metadata arrive;
// the picture on screen stays until the next one of the same identity is in
// hand, so nothing blinks.

#include <optional>
#include <string>

#include <QImage>
#include <QWidget>

#include "tevro/core/media_kind.h"
#include "tevro/core/torrent_file.h"
#include "tevro/core/torrent_status.h"
#include "tevro/library/artwork_loader.h"

namespace tevro {

class ArtworkStore;

class MediaArtwork : public QWidget {
    Q_OBJECT
public:
    // Without a store the view takes the one of LibraryContext.
    explicit MediaArtwork(ArtworkStore* store = nullptr, QWidget* parent = nullptr);

    void setTorrent(const TorrentStatus& torrent, const std::optional<TorrentFile>& file = {});
    void setShowsTitle(bool showsTitle);
    // Rounds the picture's corners (0: square).
    void setCornerRadius(qreal radius);

    // The store's picture on screen; null while the placeholder shows.
    const QImage& image() const { return m_loader.image(); }

    // "<id>-<file index or cover><save path>": a picture belongs to one identity.
    static std::string identity(const TorrentStatus& torrent,
                                const std::optional<TorrentFile>& file);
    // The identity plus the progress tenth and the metadata flag: a new
    // request goes out whenever it changes.
    static std::string requestId(const TorrentStatus& torrent,
                                 const std::optional<TorrentFile>& file);
    static std::string symbol(MediaKind kind);

    // The picture, or without one the placeholder, into `rect`.
    static void paint(QPainter& painter, const QRectF& rect, const TorrentStatus& torrent,
                      const std::optional<TorrentFile>& file, bool showsTitle, const QImage& image);
    // The identity's placeholder: pattern cover, symbol and (when allowed) the title.
    static void paintPlaceholder(QPainter& painter, const QRectF& rect, const std::string& identity,
                                 const std::string& name, bool showsTitle);
    static void paintImage(QPainter& painter, const QRectF& rect, const QImage& image);

    void setSizeHint(QSize size);
    QSize sizeHint() const override { return m_sizeHint; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    ArtworkLoader m_loader;
    TorrentStatus m_torrent;
    std::optional<TorrentFile> m_file;
    bool m_showsTitle = false;
    qreal m_radius = 0;
    QSize m_sizeHint{160, 100};
};

} // namespace tevro
