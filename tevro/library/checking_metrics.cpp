#include "tevro/library/checking_metrics.h"

#include <cmath>

#include <QFontMetricsF>
#include <QHash>
#include <QPainter>

#include "tevro/core/format.h"
#include "tevro/library/library_style.h"

namespace tevro {

namespace {
constexpr qreal kLineSpacing = 16;
constexpr qreal kRowSpacing = 4;
constexpr qreal kMinGap = 8;

QString speedLine(const TorrentStatus& t) {
    return QStringLiteral("Скорость: ") + CheckingMetrics::speedText(t);
}
QString timeLine(const TorrentStatus& t) {
    return QStringLiteral("Осталось: ") + CheckingMetrics::timeLeftText(t);
}
} // namespace

CheckingMetrics::CheckingMetrics(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("torrent.checkingMetrics"));
    QSizePolicy policy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    policy.setHeightForWidth(true);
    setSizePolicy(policy);
    setTorrent({});
}

QFont CheckingMetrics::font() {
    return LibraryStyle::font(11);
}

QString CheckingMetrics::speedText(const TorrentStatus& t) {
    return QString::fromStdString(t.checkingSpeedText());
}

QString CheckingMetrics::timeLeftText(const TorrentStatus& t) {
    const auto eta = t.checkingETA();
    if (!eta)
        return QStringLiteral("—");
    return QStringLiteral("≈ ") + QString::fromStdString(Format::duration(std::ceil(*eta)));
}

QString CheckingMetrics::accessibleText(const TorrentStatus& t) {
    return speedLine(t) + QStringLiteral(", ") + timeLine(t);
}

qreal CheckingMetrics::oneLineWidth(const TorrentStatus& t) {
    // Asked for every checking card at each layout of the grid, thousands at
    // a start, of a few texts ("—" until a speed is known): measured once each.
    static QFont measured;
    static QHash<QString, qreal> widths;
    const QFont f = font();
    if (f != measured || widths.size() > 512) {
        widths.clear();
        measured = f;
    }
    auto advance = [&](const QString& text) {
        auto it = widths.constFind(text);
        if (it == widths.cend())
            it = widths.insert(text, QFontMetricsF(f).horizontalAdvance(text));
        return *it;
    };
    return advance(speedLine(t)) + kLineSpacing + advance(timeLine(t));
}

qreal CheckingMetrics::height(const TorrentStatus& t, qreal width) {
    const qreal line = QFontMetricsF(font()).height();
    return oneLineWidth(t) <= width ? line : 2 * line + kRowSpacing;
}

void CheckingMetrics::paint(QPainter& p, const QRectF& rect, const TorrentStatus& t) {
    const QFontMetricsF fm(font());
    const qreal line = fm.height();
    p.save();
    p.setFont(font());
    p.setPen(LibraryStyle::muted());
    const int flags = Qt::AlignVCenter | Qt::TextSingleLine;
    if (oneLineWidth(t) <= rect.width()) {
        const QString speed = speedLine(t);
        p.drawText(QRectF(rect.left(), rect.top(), rect.width(), line), flags | Qt::AlignLeft,
                   speed);
        p.drawText(QRectF(rect.left() + fm.horizontalAdvance(speed) + kLineSpacing, rect.top(),
                          rect.width(), line),
                   flags | Qt::AlignLeft, timeLine(t));
    } else {
        const std::pair<QString, QString> rows[] = {
            {QStringLiteral("Скорость"), speedText(t)},
            {QStringLiteral("Осталось"), timeLeftText(t)},
        };
        qreal y = rect.top();
        for (const auto& [caption, value] : rows) {
            const QRectF row(rect.left(), y, rect.width(), line);
            p.drawText(row, flags | Qt::AlignLeft, caption);
            const qreal captionWidth = fm.horizontalAdvance(caption) + kMinGap;
            const QRectF valueRect = row.adjusted(captionWidth, 0, 0, 0);
            p.drawText(valueRect, flags | Qt::AlignRight,
                       fm.elidedText(value, Qt::ElideRight, valueRect.width()));
            y += line + kRowSpacing;
        }
    }
    p.restore();
}

void CheckingMetrics::setTorrent(const TorrentStatus& torrent) {
    const qreal oldWidth = oneLineWidth(m_torrent);
    m_torrent = torrent;
    setAccessibleName(accessibleText(m_torrent));
    if (oneLineWidth(m_torrent) != oldWidth)
        updateGeometry();
    update();
}

QSize CheckingMetrics::sizeHint() const {
    return {int(std::ceil(oneLineWidth(m_torrent))),
            int(std::ceil(QFontMetricsF(font()).height()))};
}

QSize CheckingMetrics::minimumSizeHint() const {
    const QFontMetricsF fm(font());
    const qreal w = std::max(fm.horizontalAdvance(QStringLiteral("Скорость")),
                             fm.horizontalAdvance(QStringLiteral("Осталось"))) +
                    kMinGap + fm.horizontalAdvance(QStringLiteral("—"));
    return {int(std::ceil(w)), int(std::ceil(fm.height()))};
}

int CheckingMetrics::heightForWidth(int width) const {
    return int(std::ceil(height(m_torrent, width)));
}

void CheckingMetrics::paintEvent(QPaintEvent*) {
    QPainter p(this);
    paint(p, QRectF(rect()), m_torrent);
}

} // namespace tevro
