#pragma once

// The speed and time left of a torrent whose files are being hash-checked:
// "Скорость: … Осталось: …" on one line when it fits, else two rows of
// caption and value. Object name "torrent.checkingMetrics"; the accessible
// name holds both values.

#include <QString>
#include <QWidget>

#include "tevro/core/torrent_status.h"

namespace tevro {

class CheckingMetrics : public QWidget {
    Q_OBJECT
public:
    explicit CheckingMetrics(QWidget* parent = nullptr);

    void setTorrent(const TorrentStatus& torrent);

    static QString speedText(const TorrentStatus& torrent);
    // "≈ 2 мин 5 с", or "—" without an estimate.
    static QString timeLeftText(const TorrentStatus& torrent);
    static QString accessibleText(const TorrentStatus& torrent);
    static QFont font();
    // The one-line width; wider than the space given means two rows.
    static qreal oneLineWidth(const TorrentStatus& torrent);
    static qreal height(const TorrentStatus& torrent, qreal width);
    static void paint(QPainter& painter, const QRectF& rect, const TorrentStatus& torrent);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;
    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    TorrentStatus m_torrent;
};

} // namespace tevro
