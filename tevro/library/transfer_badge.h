#pragma once

// The status label of a torrent with its symbol, on a dark capsule: tinted
// light red when the torrent has an error, mint when it is finished or
// seeding, else white; the error is its tooltip. Accessible name: the status.

#include <QWidget>

#include "tevro/core/torrent_status.h"

namespace tevro {

class TransferBadge : public QWidget {
    Q_OBJECT
public:
    explicit TransferBadge(QWidget* parent = nullptr);

    void setTorrent(const TorrentStatus& torrent);

    static QColor tint(const TorrentStatus& torrent);
    static QSizeF size(const TorrentStatus& torrent);
    // The badge with its top-left corner at `topLeft`.
    static void paint(QPainter& painter, const QPointF& topLeft, const TorrentStatus& torrent);

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    TorrentStatus m_torrent;
};

} // namespace tevro
