#include "tevro/library/transfer_progress.h"

#include <QPainter>
#include <QPainterPath>

#include "tevro/core/format.h"
#include "tevro/library/pieces_bar.h"

namespace tevro {

TransferProgress::TransferProgress(qreal height, TorrentEngine* engine, QWidget* parent)
    : QWidget(parent), m_loader(engine) {
    setFixedHeight(qRound(height));
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    connect(&m_loader, &PieceMapLoader::changed, this, [this] {
        updateTexts();
        update();
    });
    updateTexts();
}

bool TransferProgress::showsPieces(const TorrentStatus& torrent, const PieceMap& map,
                                   const std::string& mapId) {
    return !torrent.isChecking() && mapId == torrent.id && !map.bytes.empty();
}

bool TransferProgress::showsPieces() const {
    return showsPieces(m_torrent, m_loader.map(), m_loader.mapId());
}

QString TransferProgress::capsuleLabel(const TorrentStatus& torrent) {
    return torrent.isChecking() ? QStringLiteral("Проверено") : QStringLiteral("Загружено");
}

void TransferProgress::paintCapsule(QPainter& p, const QRectF& rect, double fraction) {
    if (rect.isEmpty())
        return;
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    const qreal radius = rect.height() / 2;
    QPainterPath track;
    track.addRoundedRect(rect, radius, radius);
    p.fillPath(track, PiecesBar::trackColor());
    const qreal width = rect.width() * std::clamp(fraction, 0.0, 1.0);
    if (width > 0) {
        const QRectF fill(rect.topLeft(), QSizeF(width, rect.height()));
        const qreal r = std::min(radius, width / 2);
        QPainterPath path;
        path.addRoundedRect(fill, r, radius);
        p.fillPath(path, PiecesBar::color(PieceState::downloaded));
    }
    p.restore();
}

void TransferProgress::paint(QPainter& p, const QRectF& rect, const TorrentStatus& torrent,
                             const PieceMap& map, const std::string& mapId) {
    if (showsPieces(torrent, map, mapId))
        PiecesBar::paint(p, rect, map, std::nullopt);
    else
        paintCapsule(p, rect, torrent.displayProgress());
}

void TransferProgress::setTorrent(const TorrentStatus& torrent) {
    if (torrent == m_torrent)
        return;
    m_torrent = torrent;
    m_loader.setTorrentId(m_torrent.id);
    updateTexts();
    update();
}

void TransferProgress::updateTexts() {
    if (showsPieces()) {
        setAccessibleName(QStringLiteral("Части файла"));
        const QString summary = QString::fromStdString(m_loader.map().summary(std::nullopt));
        setAccessibleDescription(summary);
        setToolTip(summary);
    } else {
        setAccessibleName(capsuleLabel(m_torrent));
        setAccessibleDescription(
            QString::fromStdString(Format::percent(m_torrent.displayProgress())));
        setToolTip(QString());
    }
}

void TransferProgress::paintEvent(QPaintEvent*) {
    QPainter p(this);
    paint(p, QRectF(rect()), m_torrent, m_loader.map(), m_loader.mapId());
}

void TransferProgress::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    m_loader.setActive(true);
    updateTexts();
}

void TransferProgress::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    m_loader.setActive(false);
}

} // namespace tevro
