#include "tevro/library/pieces_bar.h"

#include <algorithm>

#include <QPainter>
#include <QPainterPath>

namespace tevro {

namespace {
constexpr qreal kCornerRadius = 2;
constexpr qreal kOverlap = 0.25;
} // namespace

PiecesBar::PiecesBar(QWidget* parent) : QWidget(parent) {
    setAccessibleName(QStringLiteral("Части файла"));
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    changed();
}

QColor PiecesBar::color(PieceState state) {
    switch (state) {
    case PieceState::waiting:
        return QColor::fromRgbF(0.34f, 0.37f, 0.42f);
    case PieceState::downloaded:
        return QColor::fromRgbF(0.48f, 0.66f, 0.57f);
    case PieceState::receiving:
        return QColor::fromRgbF(0.45f, 0.59f, 0.72f);
    case PieceState::unavailable:
        return QColor::fromRgbF(0.74f, 0.46f, 0.43f);
    }
    return {};
}

QColor PiecesBar::trackColor() {
    QColor c = color(PieceState::waiting);
    c.setAlphaF(0.35f);
    return c;
}

void PiecesBar::paint(QPainter& p, const QRectF& rect, const PieceMap& map,
                      const std::optional<PieceRange>& range) {
    if (rect.isEmpty())
        return;
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    QPainterPath clip;
    clip.addRoundedRect(rect, kCornerRadius, kCornerRadius);
    p.setClipPath(clip, Qt::IntersectClip);
    p.fillRect(rect, trackColor());
    const auto wanted = std::max<std::int64_t>(1, std::int64_t(rect.width()));
    const std::vector<PieceState> columns = map.columns(range, wanted);
    if (!columns.empty()) {
        const qreal width = rect.width() / qreal(columns.size());
        // Runs of one state are one rectangle: the same pixels, fewer calls.
        std::size_t i = 0;
        while (i < columns.size()) {
            std::size_t j = i + 1;
            while (j < columns.size() && columns[j] == columns[i])
                ++j;
            p.fillRect(QRectF(rect.left() + qreal(i) * width, rect.top(),
                              qreal(j - i) * width + kOverlap, rect.height()),
                       color(columns[i]));
            i = j;
        }
    }
    p.restore();
}

QImage PiecesBar::image(const PieceMap& map, const std::optional<PieceRange>& range, QSize size,
                        qreal devicePixelRatio) {
    QImage image(size * devicePixelRatio, QImage::Format_ARGB32_Premultiplied);
    if (image.isNull())
        return image;
    image.setDevicePixelRatio(devicePixelRatio);
    image.fill(Qt::transparent);
    QPainter p(&image);
    paint(p, QRectF(QPointF(0, 0), QSizeF(size)), map, range);
    return image;
}

void PiecesBar::setMap(PieceMap map) {
    if (map == m_map)
        return;
    m_map = std::move(map);
    changed();
}

void PiecesBar::setRange(std::optional<PieceRange> range) {
    if (range == m_range)
        return;
    m_range = range;
    changed();
}

void PiecesBar::changed() {
    m_cache = QImage();
    const QString summary = QString::fromStdString(m_map.summary(m_range));
    setToolTip(summary);
    setAccessibleDescription(summary);
    update();
}

void PiecesBar::paintEvent(QPaintEvent*) {
    const qreal dpr = devicePixelRatioF();
    if (m_cache.isNull() || m_cache.size() != size() * dpr)
        m_cache = image(m_map, m_range, size(), dpr);
    QPainter p(this);
    p.drawImage(QPointF(0, 0), m_cache);
}

} // namespace tevro
