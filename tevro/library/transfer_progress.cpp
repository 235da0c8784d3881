#include "tevro/library/transfer_progress.h"

#include <QPainter>
#include <QPainterPath>

#include "tevro/core/format.h"
#include "tevro/engine/torrent_engine.h"
#include "tevro/library/library_context.h"
#include "tevro/library/pieces_bar.h"

namespace tevro {

TransferProgress::TransferProgress(qreal height, TorrentEngine* engine, QWidget* parent)
    : QWidget(parent), m_engine(engine ? engine : LibraryContext::engine()) {
    setFixedHeight(qRound(height));
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    m_timer.setInterval(kRefreshMs);
    connect(&m_timer, &QTimer::timeout, this, &TransferProgress::fetch);
    updateTexts();
}

bool TransferProgress::showsPieces(const TorrentStatus& torrent, const PieceMap& map,
                                   const std::string& mapId) {
    return !torrent.isChecking() && mapId == torrent.id && !map.bytes.empty();
}

bool TransferProgress::showsPieces() const {
    return showsPieces(m_torrent, m_map, m_mapId);
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
    const bool sameId = torrent.id == m_torrent.id;
    if (sameId && torrent == m_torrent)
        return;
    m_torrent = torrent;
    if (!sameId)
        restart();
    updateTexts();
    update();
}

void TransferProgress::restart() {
    // A reused bar never shows another torrent's pieces.
    ++m_generation;
    m_map = PieceMap();
    m_mapId = m_torrent.id;
    if (isVisible())
        fetch();
}

void TransferProgress::fetch() {
    if (!m_engine || m_torrent.id.empty())
        return;
    const quint64 generation = m_generation;
    QPointer<TransferProgress> self(this);
    m_engine->pieceMap(m_torrent.id, [self, generation](PieceMap map) {
        if (!self || self->m_generation != generation)
            return;
        if (map == self->m_map)
            return;
        self->m_map = std::move(map);
        self->updateTexts();
        self->update();
    });
}

void TransferProgress::updateTexts() {
    if (showsPieces()) {
        setAccessibleName(QStringLiteral("Части файла"));
        const QString summary = QString::fromStdString(m_map.summary(std::nullopt));
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
    paint(p, QRectF(rect()), m_torrent, m_map, m_mapId);
}

void TransferProgress::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    // Coming back on screen starts again from an empty map.
    ++m_generation;
    m_map = PieceMap();
    m_mapId = m_torrent.id;
    updateTexts();
    fetch();
    m_timer.start();
}

void TransferProgress::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    m_timer.stop();
    ++m_generation;
}

} // namespace tevro
