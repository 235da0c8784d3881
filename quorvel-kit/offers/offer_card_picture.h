#pragma once

// How the card views use an offer picture: a small seam over the picture view.

#include <functional>
#include <optional>

#include <QUrl>

class QObject;
class QPainter;
class QRectF;
class QWidget;

namespace quorvel::offer_card_picture {

// A picture view for `url`, rounded with `corner` when given.
QWidget* make(const std::optional<QUrl>& url, std::optional<qreal> corner, QWidget* parent);
// The picture's height when fitted to `width`, its proportions kept; 0 while
// there is no picture to show.
qreal heightFor(const QWidget* picture, qreal width);
// Calls `changed` (within `context`'s life) whenever the picture arrives or goes.
void whenChanged(QWidget* picture, QObject* context, std::function<void()> changed);
// Draws the picture into `target` with the painter's transform (the view itself
// is kept off screen).
void paint(QWidget* picture, QPainter& painter, const QRectF& target);

} // namespace quorvel::offer_card_picture
