#include "tevro/library/file_pieces_bar.h"

#include <algorithm>

#include <QPainter>
#include <QPainterPath>

#include "tevro/core/format.h"
#include "tevro/library/pieces_bar.h"

namespace tevro {

namespace {

double fraction(const TorrentFile& file) {
    if (file.size < 1)
        return 1;
    return std::clamp(double(file.done) / double(file.size), 0.0, 1.0);
}

} // namespace

FilePiecesBar::FilePiecesBar(QWidget* parent) : QWidget(parent) {
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    set({}, {});
}

std::optional<PieceRange> FilePiecesBar::range(const PieceMap& map, const TorrentFile& file) {
    const auto count = std::int64_t(map.bytes.size());
    if (file.size < 1 || file.first < 0 || file.last < file.first || file.first >= count)
        return std::nullopt;
    return PieceRange{file.first, std::min<std::int64_t>(file.last, count - 1) + 1};
}

QString FilePiecesBar::label(const PieceMap& map, const TorrentFile& file) {
    return range(map, file) ? QStringLiteral("Части файла") : QStringLiteral("Загружено");
}

QString FilePiecesBar::value(const PieceMap& map, const TorrentFile& file) {
    if (auto r = range(map, file))
        return QString::fromStdString(map.summary(r));
    // Not limited: the formatter itself writes "100%" past the whole.
    const double done = file.size < 1 ? 1.0 : double(file.done) / double(file.size);
    return QString::fromStdString(Format::percent(done));
}

void FilePiecesBar::paint(QPainter& p, const QRectF& rect, const PieceMap& map,
                          const TorrentFile& file) {
    if (auto r = range(map, file)) {
        PiecesBar::paint(p, rect, map, r);
        return;
    }
    if (rect.isEmpty())
        return;
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    QPainterPath clip;
    clip.addRoundedRect(rect, 2, 2);
    p.setClipPath(clip, Qt::IntersectClip);
    p.fillRect(rect, PiecesBar::trackColor());
    p.fillRect(QRectF(rect.topLeft(), QSizeF(rect.width() * fraction(file), rect.height())),
               PiecesBar::color(PieceState::downloaded));
    p.restore();
}

void FilePiecesBar::set(PieceMap map, TorrentFile file) {
    m_map = std::move(map);
    m_file = std::move(file);
    setAccessibleName(label(m_map, m_file));
    setAccessibleDescription(value(m_map, m_file));
    setToolTip(range(m_map, m_file) ? accessibleDescription() : QString());
    update();
}

void FilePiecesBar::paintEvent(QPaintEvent*) {
    QPainter p(this);
    paint(p, QRectF(rect()), m_map, m_file);
}

} // namespace tevro
