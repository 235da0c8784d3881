#pragma once

// One offer as a tall panel in its own colours: the application's icon and
// name with a hide button, title, body, statistics, bullets, a hero picture
// and a full-width call to action. It keeps no state and leaves hiding,
// opening and counting to its owner. Every text from the service is shown as
// plain text.

#include <functional>

#include <QWidget>

#include "quorvel-kit/offers/offer.h"

class QAbstractButton;

namespace quorvel {

class OfferCardText;
class OfferImages;
class OfferPicture;

class OfferBanner : public QWidget {
    Q_OBJECT
public:
    // `images` is the picture loader; none means the shared one.
    OfferBanner(Offer offer, QString hideLabel, std::function<void()> open,
                std::function<void()> hide, qreal imageHeight, QWidget* parent = nullptr,
                OfferImages* images = nullptr);

    const Offer& offer() const { return m_offer; }
    qreal imageHeight() const { return m_imageHeight; }
    void setImageHeight(qreal height);

    // Named "offer.hide.<id>" and "offer.<id>" for automation.
    QAbstractButton* hideButton() const { return m_hide; }
    QAbstractButton* callToAction() const { return m_cta; }
    OfferPicture* icon() const { return m_icon; }
    OfferPicture* hero() const { return m_hero; }
    // Null when the offer has no body.
    OfferCardText* body() const { return m_body; }
    OfferCardText* title() const { return m_title; }
    OfferCardText* name() const { return m_name; }
    QWidget* statistics() const { return m_statistics; }
    // One row per bullet; a row starts with its icon when it has one.
    QWidget* bullets() const { return m_bullets; }

    static QColor colour(const OfferDesign::RGB& rgb);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    Offer m_offer;
    qreal m_imageHeight;
    QAbstractButton* m_hide = nullptr;
    QAbstractButton* m_cta = nullptr;
    OfferPicture* m_icon = nullptr;
    OfferPicture* m_hero = nullptr;
    OfferCardText* m_name = nullptr;
    OfferCardText* m_title = nullptr;
    OfferCardText* m_body = nullptr;
    QWidget* m_statistics = nullptr;
    QWidget* m_bullets = nullptr;
};

} // namespace quorvel
