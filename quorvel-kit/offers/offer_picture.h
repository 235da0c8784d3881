#pragma once

// One offer picture by its address: drawn at once when the loader holds it,
// otherwise loaded in the background while nothing shows. The picture is
// fitted into the widget keeping its proportions; with a corner radius it is
// clipped round and framed by a faint white line.

#include <optional>

#include <QImage>
#include <QUrl>
#include <QWidget>

namespace quorvel {

class OfferImages;

class OfferPicture : public QWidget {
    Q_OBJECT
public:
    // `images` is the loader to use; none means the shared one.
    explicit OfferPicture(std::optional<QUrl> url = std::nullopt,
                          std::optional<qreal> corner = std::nullopt, QWidget* parent = nullptr,
                          OfferImages* images = nullptr);

    const std::optional<QUrl>& url() const { return m_url; }
    // A new address loads anew while the widget is shown; the earlier
    // picture stays until the new one arrives.
    void setUrl(std::optional<QUrl> url);
    std::optional<qreal> corner() const { return m_corner; }
    void setCorner(std::optional<qreal> corner);

    // What the widget draws now: its own load, else the loader's memory.
    QImage image() const;
    // Where that picture is drawn inside the widget; empty with no picture.
    QRectF pictureRect() const;

    // The whole picture fitted into `frame`, centred.
    static QRectF fitted(const QSizeF& picture, const QRectF& frame);
    // Draws `image` fitted into `frame`; with `corner` clipped round and
    // framed by a 1-pixel line of white at 0.35. A null image draws nothing.
    // Delegates that draw offers without a widget use this too.
    static void paint(QPainter& painter, const QRectF& frame, const QImage& image,
                      std::optional<qreal> corner);

signals:
    // A load of this widget delivered its result (the picture may be null).
    void loaded();

protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void startLoad();
    OfferImages& images() const;

    std::optional<QUrl> m_url;
    std::optional<qreal> m_corner;
    QImage m_loaded;
    OfferImages* m_images;
    // Counts loads so that only the latest one's answer is kept.
    quint64 m_generation = 0;
};

} // namespace quorvel
