#include "tevro/torrent/selectable_elided_label.h"

#include <QPainter>

namespace tevro {

namespace {

// QLineEdit's own inset of its text from the contents rectangle.
constexpr int kHorizontalMargin = 2;

} // namespace

SelectableElidedLabel::SelectableElidedLabel(QWidget* parent) : QLineEdit(parent) {
    setReadOnly(true);
    setFrame(false);
    setFocusPolicy(Qt::ClickFocus);
    setContextMenuPolicy(Qt::DefaultContextMenu);
    setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    setStyleSheet(QStringLiteral("QLineEdit { background: transparent; border: none; }"));
}

void SelectableElidedLabel::setShownText(const QString& text) {
    if (text == this->text())
        return;
    setText(text);
    setCursorPosition(0);
    setToolTip(text);
}

QSize SelectableElidedLabel::sizeHint() const {
    return {40, QLineEdit::sizeHint().height()};
}

QSize SelectableElidedLabel::minimumSizeHint() const {
    return sizeHint();
}

QRect SelectableElidedLabel::textRect() const {
    QMargins m = textMargins();
    return contentsRect().marginsRemoved(m).adjusted(kHorizontalMargin, 0, -kHorizontalMargin, 0);
}

bool SelectableElidedLabel::showsWhole() const {
    return hasFocus() || hasSelectedText() ||
           fontMetrics().horizontalAdvance(text()) <= textRect().width();
}

QString SelectableElidedLabel::paintedText() const {
    return showsWhole() ? text()
                        : fontMetrics().elidedText(text(), Qt::ElideMiddle, textRect().width());
}

void SelectableElidedLabel::paintEvent(QPaintEvent* event) {
    // Focused or with a selection it is the line edit it is, scrolling to what is selected.
    if (showsWhole())
        return QLineEdit::paintEvent(event);
    QPainter p(this);
    p.setPen(palette().color(QPalette::Text));
    p.drawText(textRect(), Qt::AlignLeft | Qt::AlignVCenter, paintedText());
}

} // namespace tevro
