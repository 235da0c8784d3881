#include "tevro/library/pattern_cover.h"

#include <cmath>
#include <map>
#include <numbers>

#include <QCache>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

namespace tevro {

namespace {

using std::numbers::pi;

QColor rgb(std::uint32_t c) {
    return QColor((c >> 16) & 0xff, (c >> 8) & 0xff, c & 0xff);
}

QPen whitePen(qreal alpha, qreal width) {
    QPen pen(QColor::fromRgbF(1, 1, 1, float(alpha)), width);
    pen.setCapStyle(Qt::RoundCap);
    pen.setJoinStyle(Qt::RoundJoin);
    return pen;
}

// A smooth Catmull-Rom curve through the points, as cubic segments.
void stroke(QPainter& p, const std::vector<QPointF>& pts, bool major, bool closed) {
    const int n = int(pts.size());
    if (n < 3)
        return;
    p.setPen(whitePen(major ? 0.28 : 0.12, major ? 0.23 : 0.1));
    auto at = [&](int i) {
        if (closed)
            return pts[std::size_t(((i % n) + n) % n)];
        return pts[std::size_t(std::clamp(i, 0, n - 1))];
    };
    QPainterPath path(pts[0]);
    const int segments = closed ? n : n - 1;
    for (int i = 0; i < segments; ++i) {
        const QPointF p0 = at(i - 1), p1 = at(i), p2 = at(i + 1), p3 = at(i + 2);
        path.cubicTo(p1 + (p2 - p0) / 6, p2 - (p3 - p1) / 6, p2);
    }
    if (closed)
        path.closeSubpath();
    p.setBrush(Qt::NoBrush);
    p.drawPath(path);
}

void pattern(QPainter& p, int which) {
    switch (which) {
    case 0:
        for (int k = 0; k <= 32; ++k) {
            const double b = 3.125 * k;
            std::vector<QPointF> pts;
            for (int j = 0; j <= 72; ++j)
                pts.emplace_back(100.0 * j / 72,
                                 b + std::sin(pi * b / 100) * std::sin(2 * pi * j / 72) * 17);
            stroke(p, pts, k % 4 == 0, false);
        }
        break;
    case 1:
        for (int k = 0; k <= 32; ++k) {
            const double b = 3.125 * k;
            std::vector<QPointF> first, second;
            for (int j = 0; j <= 72; ++j) {
                const double t = 100.0 * j / 72;
                const double u = t + 11 * std::sin(2 * pi * b / 100) * std::sin(pi * t / 100);
                const double v = b + 11 * std::sin(pi * b / 100) * std::sin(2 * pi * t / 100);
                first.emplace_back(u, v);
                second.emplace_back(v, u);
            }
            stroke(p, first, k % 8 == 0, false);
            stroke(p, second, k % 8 == 0, false);
        }
        break;
    case 2:
        for (int k = 0; k <= 40; ++k) {
            std::vector<QPointF> pts;
            for (int j = 0; j <= 72; ++j) {
                const double u = 2 * pi * j / 72;
                pts.emplace_back(
                    100.0 * j / 72,
                    2.5 * k + std::sin(2.5 * k * pi / 100) *
                                  (std::sin(u + pi / 7) + 0.35 * std::sin(3 * u - pi / 7)) * 14);
            }
            stroke(p, pts, k % 8 == 0, false);
        }
        break;
    case 3:
        p.setPen(whitePen(0.21, 0.2));
        p.setBrush(Qt::NoBrush);
        for (int i = 0; i <= 13; ++i) {
            const double y0 = 10 + 7 * i;
            QPainterPath path(QPointF(0, y0));
            path.cubicTo(QPointF(25, y0 - 40), QPointF(35, y0 + 45), QPointF(60, y0 + 5));
            path.cubicTo(QPointF(75, y0 - 30), QPointF(85, y0 + 25), QPointF(100, y0));
            p.drawPath(path);
        }
        break;
    case 4:
        p.setPen(whitePen(0.22, 0.22));
        p.setBrush(Qt::NoBrush);
        for (int r = -1; r <= 1; ++r) {
            for (int q = -1; q <= 2; ++q) {
                p.save();
                p.translate(40.0 * q, 70.0 * r);
                p.scale(0.4, 0.7);
                for (const auto& line : {std::array<QPointF, 3>{{{0, 100}, {50, 15}, {100, 100}}},
                                         std::array<QPointF, 3>{{{12, 100}, {50, 27}, {88, 100}}},
                                         std::array<QPointF, 3>{{{24, 100}, {50, 39}, {76, 100}}}})
                    p.drawPolyline(line.data(), int(line.size()));
                p.restore();
            }
        }
        break;
    case 5:
        for (int k = 0; k <= 18; ++k) {
            std::vector<QPointF> pts;
            for (int j = 0; j < 144; ++j) {
                const double u = 2 * pi * j / 144;
                pts.emplace_back(50 + 44 * std::sin(3 * u + pi / 3 + 0.013 * (k - 9)),
                                 50 + 44 * std::sin(2 * u));
            }
            stroke(p, pts, k == 0 || k == 9 || k == 18, true);
        }
        break;
    }
}

std::map<int, QImage>& cache() {
    static std::map<int, QImage> images;
    return images;
}

} // namespace

PatternCover::PatternCover(std::string identity, QWidget* parent)
    : QWidget(parent), m_identity(std::move(identity)) {
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void PatternCover::setIdentity(std::string identity) {
    if (identity == m_identity)
        return;
    m_identity = std::move(identity);
    update();
}

std::uint64_t PatternCover::hash(std::string_view identity) {
    std::uint64_t h = 14695981039346656037ull;
    for (unsigned char c : identity) {
        h ^= c;
        h *= 1099511628211ull;
    }
    return h;
}

int PatternCover::rampIndex(std::string_view identity) {
    return int(hash(identity) % std::uint64_t(kRampCount));
}

const std::array<std::vector<std::uint32_t>, PatternCover::kRampCount>& PatternCover::ramps() {
    static const std::array<std::vector<std::uint32_t>, kRampCount> table = {{
        {0x291344, 0x9665C2, 0x172D59},
        {0xF18475, 0xBE4658, 0x651C35},
        {0x182B58, 0x8571C1},
        {0x28556A, 0x6EB4BB, 0x24495D},
        {0x4A214E, 0xBE7AAB},
        {0xB25B67, 0x57365F, 0x202E58},
        {0x143D48, 0x63AFA3},
        {0x31204C, 0x7368B8, 0x4F87BB},
        {0xB74D4B, 0xEF9D88},
        {0x233556, 0x6784AE, 0xACACCF},
        {0x532448, 0xAA5B7B, 0xD99AA4},
        {0x1C384B, 0x44757E, 0x8DB5AB},
    }};
    return table;
}

QImage PatternCover::draw(int index) {
    index = ((index % kRampCount) + kRampCount) % kRampCount;
    QImage image(kWidth, kHeight, QImage::Format_ARGB32_Premultiplied);
    if (image.isNull())
        return image;
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);

    // Bottom left to top right: the gradient runs with y upward.
    const auto& ramp = ramps()[std::size_t(index)];
    QLinearGradient gradient(QPointF(0, kHeight), QPointF(kWidth, 0));
    gradient.setSpread(QGradient::PadSpread);
    if (ramp.size() == 2) {
        gradient.setColorAt(0, rgb(ramp[0]));
        gradient.setColorAt(1, rgb(ramp[1]));
    } else {
        gradient.setColorAt(0, rgb(ramp[0]));
        gradient.setColorAt(0.52, rgb(ramp[1]));
        gradient.setColorAt(1, rgb(ramp[2]));
    }
    p.fillRect(image.rect(), gradient);

    // A 100 x 100 space, y upward from the lower left; line widths scale too.
    p.translate(0, kHeight);
    p.scale(kWidth / 100.0, -kHeight / 100.0);
    pattern(p, index % 6);
    p.end();
    return image;
}

QImage PatternCover::artwork(int index) {
    index = ((index % kRampCount) + kRampCount) % kRampCount;
    auto& images = cache();
    if (auto hit = images.find(index); hit != images.end())
        return hit->second;
    QImage image = draw(index);
    if (image.isNull())
        return image; // not kept: a later request draws again
    images.emplace(index, image);
    return image;
}

void PatternCover::paint(QPainter& p, const QRectF& rect, std::string_view identity) {
    if (rect.isEmpty())
        return;
    const int index = rampIndex(identity);
    // Scale to fill keeping the aspect ratio, centred and cropped.
    const qreal scale = std::max(rect.width() / kWidth, rect.height() / kHeight);
    const QSizeF drawn(kWidth * scale, kHeight * scale);
    const QRectF target(rect.center().x() - drawn.width() / 2,
                        rect.center().y() - drawn.height() / 2, drawn.width(), drawn.height());
    // Tiles of one size share one scaled copy, so a grid scales each cover once.
    const qreal dpr = p.device() ? p.device()->devicePixelRatioF() : 1.0;
    const QSize pixels = (drawn * dpr).toSize();
    const QString key =
        QStringLiteral("%1:%2x%3").arg(index).arg(pixels.width()).arg(pixels.height());
    static QCache<QString, QImage> scaled(48);
    QImage* image = scaled.object(key);
    if (!image) {
        image = new QImage(
            artwork(index).scaled(pixels, Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
        scaled.insert(key, image);
    }
    p.save();
    p.setClipRect(rect, Qt::IntersectClip);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    p.drawImage(target, *image);
    p.restore();
}

void PatternCover::paintEvent(QPaintEvent*) {
    QPainter p(this);
    paint(p, QRectF(rect()), m_identity);
}

} // namespace tevro
