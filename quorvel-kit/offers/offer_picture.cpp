#include "quorvel-kit/offers/offer_picture.h"

#include <QCoreApplication>
#include <QPainter>
#include <QPainterPath>
#include <QPointer>

#include "quorvel-kit/offers/offer_images.h"

namespace quorvel {

OfferPicture::OfferPicture(std::optional<QUrl> url, std::optional<qreal> corner, QWidget* parent,
                           OfferImages* images)
    : QWidget(parent), m_url(std::move(url)), m_corner(corner), m_images(images) {
    setAttribute(Qt::WA_TranslucentBackground);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
}

OfferImages& OfferPicture::images() const {
    return m_images ? *m_images : OfferImages::shared();
}

void OfferPicture::setUrl(std::optional<QUrl> url) {
    if (url == m_url)
        return;
    m_url = std::move(url);
    if (isVisible())
        startLoad();
    update();
}

void OfferPicture::setCorner(std::optional<qreal> corner) {
    m_corner = corner;
    update();
}

QImage OfferPicture::image() const {
    if (!m_loaded.isNull())
        return m_loaded;
    if (m_url)
        return images().cached(*m_url);
    return {};
}

QRectF OfferPicture::fitted(const QSizeF& picture, const QRectF& frame) {
    if (picture.isEmpty() || frame.isEmpty())
        return {};
    QSizeF size = picture.scaled(frame.size(), Qt::KeepAspectRatio);
    QRectF rect(QPointF(), size);
    rect.moveCenter(frame.center());
    return rect;
}

QRectF OfferPicture::pictureRect() const {
    QImage current = image();
    return current.isNull() ? QRectF() : fitted(current.size(), rect());
}

void OfferPicture::paint(QPainter& painter, const QRectF& frame, const QImage& image,
                         std::optional<qreal> corner) {
    if (image.isNull())
        return;
    QRectF target = fitted(image.size(), frame);
    if (target.isEmpty())
        return;
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    if (corner) {
        QPainterPath clip;
        clip.addRoundedRect(target, *corner, *corner);
        painter.setClipPath(clip, Qt::IntersectClip);
    }
    painter.drawImage(target, image);
    if (corner) {
        painter.setClipping(false);
        // The line lies wholly inside the picture's edge.
        QRectF edge = target.adjusted(0.5, 0.5, -0.5, -0.5);
        qreal radius = std::max<qreal>(0, *corner - 0.5);
        QPen pen(QColor::fromRgbF(1, 1, 1, 0.35f), 1);
        pen.setCapStyle(Qt::FlatCap);
        pen.setJoinStyle(Qt::MiterJoin);
        painter.setPen(pen);
        painter.setBrush(Qt::NoBrush);
        painter.drawRoundedRect(edge, radius, radius);
    }
    painter.restore();
}

void OfferPicture::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    paint(painter, rect(), image(), m_corner);
}

void OfferPicture::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    startLoad();
}

void OfferPicture::startLoad() {
    const quint64 generation = ++m_generation;
    if (!m_url || !images().cached(*m_url).isNull())
        return;
    QPointer<OfferPicture> self(this);
    images().load(*m_url, [self, generation](QImage image) {
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [self, generation, image = std::move(image)] {
                if (!self || self->m_generation != generation)
                    return;
                self->m_loaded = image;
                self->update();
                emit self->loaded();
            },
            Qt::QueuedConnection);
    });
}

} // namespace quorvel
