#include "tevro/library/media_artwork.h"

#include <algorithm>
#include <cmath>

#include <QCache>
#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>
#include <QTextLayout>

#include "tevro/library/library_style.h"
#include "tevro/library/pattern_cover.h"
#include "tevro/library/symbols.h"
#include "tevro/media/media_presentation.h"

namespace tevro {

namespace {

std::string displayName(const TorrentStatus& t, const std::optional<TorrentFile>& file) {
    if (!file)
        return t.name;
    const auto slash = file->path.rfind('/');
    return slash == std::string::npos ? file->path : file->path.substr(slash + 1);
}

// Up to two centred lines, the second elided.
void drawTitle(QPainter& p, const QRectF& box, const QString& text, const QFont& font) {
    const QFontMetricsF fm(font);
    QStringList lines;
    QTextLayout layout(text, font);
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    layout.beginLayout();
    QTextLine first = layout.createLine();
    if (first.isValid()) {
        first.setLineWidth(box.width());
        lines << text.mid(first.textStart(), first.textLength()).trimmed();
        const QString rest = text.mid(first.textStart() + first.textLength()).trimmed();
        if (!rest.isEmpty())
            lines << fm.elidedText(rest, Qt::ElideRight, box.width());
    }
    layout.endLayout();
    qreal y = box.top();
    for (const QString& line : lines) {
        p.drawText(QRectF(box.left(), y, box.width(), fm.height()),
                   Qt::AlignHCenter | Qt::AlignVCenter | Qt::TextSingleLine, line);
        y += fm.height();
    }
}

} // namespace

MediaArtwork::MediaArtwork(ArtworkStore* store, QWidget* parent)
    : QWidget(parent), m_loader(store) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    connect(&m_loader, &ArtworkLoader::changed, this, qOverload<>(&QWidget::update));
}

std::string MediaArtwork::identity(const TorrentStatus& t, const std::optional<TorrentFile>& file) {
    return ArtworkLoader::identity(t, file);
}

std::string MediaArtwork::requestId(const TorrentStatus& t,
                                    const std::optional<TorrentFile>& file) {
    return ArtworkLoader::requestId(t, file);
}

std::string MediaArtwork::symbol(MediaKind kind) {
    switch (kind) {
    case MediaKind::video:
        return "film";
    case MediaKind::audio:
        return "waveform";
    case MediaKind::subtitle:
        return "captions.bubble";
    case MediaKind::image:
        return "photo";
    case MediaKind::text:
        return "doc.text";
    case MediaKind::archive:
        return "doc.zipper";
    case MediaKind::other:
        return "doc";
    }
    return "doc";
}

void MediaArtwork::paintImage(QPainter& p, const QRectF& rect, const QImage& image) {
    const qreal scale = std::max(rect.width() / image.width(), rect.height() / image.height());
    const QSizeF drawn(image.width() * scale, image.height() * scale);
    const QRectF target(rect.center().x() - drawn.width() / 2,
                        rect.center().y() - drawn.height() / 2, drawn.width(), drawn.height());
    // A picture is scaled once per size, not on every repaint.
    const qreal dpr = p.device() ? p.device()->devicePixelRatioF() : 1.0;
    const QSize pixels = (drawn * dpr).toSize();
    const QString key =
        QStringLiteral("%1:%2x%3").arg(image.cacheKey()).arg(pixels.width()).arg(pixels.height());
    static QCache<QString, QImage> scaled(64);
    QImage* fitted = scaled.object(key);
    if (!fitted) {
        fitted = new QImage(image.scaled(pixels, Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
        scaled.insert(key, fitted);
    }
    p.save();
    p.setClipRect(rect, Qt::IntersectClip);
    p.drawImage(target, *fitted);
    p.restore();
}

void MediaArtwork::paintPlaceholder(QPainter& p, const QRectF& rect, const std::string& identity,
                                    const std::string& name, bool showsTitle) {
    PatternCover::paint(p, rect, identity);
    const MediaPresentation presentation(name);
    const qreal symbolSize = std::min(28.0, 0.25 * rect.height());
    const bool withTitle = showsTitle && rect.height() > 100 && !presentation.title.empty();
    const QFont titleFont = LibraryStyle::font(12);
    const QFontMetricsF fm(titleFont);
    const qreal textWidth = std::max(0.0, rect.width() - 40);
    const QString title = QString::fromStdString(presentation.title);
    const qreal titleHeight =
        withTitle ? (fm.horizontalAdvance(title) > textWidth ? 2 : 1) * fm.height() : 0;
    const qreal total = symbolSize + (withTitle ? 12 + titleHeight : 0);
    qreal y = rect.center().y() - total / 2;
    p.save();
    p.setClipRect(rect, Qt::IntersectClip);
    Symbols::paint(p, QRectF(rect.center().x() - symbolSize / 2, y, symbolSize, symbolSize),
                   symbol(presentation.kind), QColor::fromRgbF(1, 1, 1, 0.65f));
    if (withTitle) {
        y += symbolSize + 12;
        p.setFont(titleFont);
        p.setPen(QColor::fromRgbF(1, 1, 1, 0.9f));
        drawTitle(p, QRectF(rect.left() + 20, y, textWidth, titleHeight), title, titleFont);
    }
    p.restore();
}

void MediaArtwork::paint(QPainter& p, const QRectF& rect, const TorrentStatus& torrent,
                         const std::optional<TorrentFile>& file, bool showsTitle,
                         const QImage& image) {
    if (rect.isEmpty())
        return;
    p.fillRect(rect, LibraryStyle::raised());
    if (!image.isNull())
        paintImage(p, rect, image);
    else
        paintPlaceholder(p, rect, identity(torrent, file), displayName(torrent, file), showsTitle);
}

void MediaArtwork::setTorrent(const TorrentStatus& torrent,
                              const std::optional<TorrentFile>& file) {
    m_torrent = torrent;
    m_file = file;
    m_loader.set(m_torrent, m_file);
    update();
}

void MediaArtwork::setShowsTitle(bool showsTitle) {
    if (showsTitle == m_showsTitle)
        return;
    m_showsTitle = showsTitle;
    update();
}

void MediaArtwork::setSizeHint(QSize size) {
    m_sizeHint = size;
    updateGeometry();
}

void MediaArtwork::setCornerRadius(qreal radius) {
    m_radius = radius;
    setAttribute(Qt::WA_OpaquePaintEvent, radius <= 0);
    update();
}

void MediaArtwork::paintEvent(QPaintEvent*) {
    QPainter p(this);
    if (m_radius > 0) {
        p.setRenderHint(QPainter::Antialiasing);
        QPainterPath clip;
        clip.addRoundedRect(QRectF(rect()), m_radius, m_radius);
        p.setClipPath(clip);
    }
    paint(p, QRectF(rect()), m_torrent, m_file, m_showsTitle, m_loader.image());
}

} // namespace tevro
