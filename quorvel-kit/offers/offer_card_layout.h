#pragma once

// The content of one offer card: its text column and picture in the design's
// arrangement (corner, side or bottom), in a wide or a narrow form, painted on
// the design's gradient and cut to the card's rounded outline. The picture
// moves with the reveal of the card around it.

#include <optional>

#include <QPainterPath>
#include <QPointer>
#include <QTransform>
#include <QWidget>

#include "quorvel-kit/offers/offer.h"

class QBoxLayout;

namespace quorvel {

class OfferPicture;

class OfferCardLayout : public QWidget {
    Q_OBJECT
public:
    static constexpr qreal kCornerRadius = 24;
    static constexpr qreal kPadding = 22;

    OfferCardLayout(Offer offer, bool wide, QWidget* parent = nullptr);

    const Offer& offer() const { return m_offer; }
    bool wide() const { return m_wide; }
    // Follows the user's text size: 1 at the standard size.
    qreal textScale() const { return m_textScale; }
    void setTextScale(qreal scale);
    // The card's reveal (0 at rest, 1 hovered or pressed).
    qreal reveal() const;

    // `base` grown with the text scale, by at most half, never shrunk.
    static qreal scaled(qreal base, qreal textScale);
    qreal scaled(qreal base) const { return scaled(base, m_textScale); }
    // The width of the text column in the wide forms.
    qreal wideColumnWidth() const;

    // Where the offer's picture lies now, at the current reveal: its frame
    // and the transform that turns and scales it. None without a picture.
    struct PicturePlacement {
        QRectF frame;
        QTransform transform;
    };
    std::optional<PicturePlacement> picturePlacement() const;
    // The outline the card is cut to.
    QPainterPath outline() const;

    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

    // Building blocks; each is null when the offer has nothing for it.
    QWidget* column(QWidget* numbers, QWidget* list);
    QWidget* hero();
    QWidget* chips();
    QWidget* bullets();
    QWidget* bulletIcon(int index);
    QWidget* tiles();

protected:
    void paintEvent(QPaintEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void rebuild();
    QWidget* wideForm(QWidget* content, QWidget* text, int leastHeight);
    QWidget* corner();
    QWidget* side();
    QWidget* bottom();
    QFont cardFont(qreal base, int weight) const;
    QWidget* textLine(const QString& text, const QFont& font, bool wraps);
    bool hasPicture() const { return m_offer.imageURL.has_value(); }
    qreal pictureHeight(qreal width) const;
    void paintScreenshot(QPainter& painter, const PicturePlacement& placement) const;
    void paintBottomPicture(QPainter& painter, const PicturePlacement& placement) const;

    Offer m_offer;
    bool m_wide;
    qreal m_textScale = 1;
    QWidget* m_content = nullptr;
    // Loads while the card is shown; drawn by the card under its transforms,
    // never on its own.
    OfferPicture* m_picture = nullptr;
    // The laid-out place of the picture in the narrow forms and in bottom.
    QPointer<QWidget> m_slot;
};

} // namespace quorvel
