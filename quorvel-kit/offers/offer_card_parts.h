#pragma once

// Small helpers shared by the card's source files.

#include <QBoxLayout>
#include <QColor>

#include "quorvel-kit/offers/offer.h"

namespace quorvel::offer_card_parts {

// A design colour as the views draw it: sRGB, opaque.
inline QColor color(const OfferDesign::RGB& rgb) {
    return QColor::fromRgbF(float(rgb.red), float(rgb.green), float(rgb.blue));
}

// A box without margins.
inline QBoxLayout* box(QBoxLayout::Direction direction, QWidget* owner, int spacing) {
    auto* layout = new QBoxLayout(direction, owner);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(spacing);
    return layout;
}

} // namespace quorvel::offer_card_parts
