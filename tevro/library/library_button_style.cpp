#include "tevro/library/library_button_style.h"

#include <cmath>

#include <QAbstractButton>
#include <QApplication>
#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>
#include <QPointer>
#include <QStyleFactory>
#include <QStyleOptionButton>

#include "tevro/library/library_style.h"
#include "tevro/library/symbols.h"

namespace tevro {

namespace {

constexpr char kSymbolProperty[] = "tevroSymbol";

QFont buttonFont() {
    return LibraryStyle::font(LibraryButtonStyle::kFontSize, QFont::Medium);
}

} // namespace

LibraryButtonStyle::LibraryButtonStyle(bool prominent)
    : QProxyStyle(QStyleFactory::create(QStringLiteral("Fusion"))), m_prominent(prominent) {}

LibraryButtonStyle* LibraryButtonStyle::shared(bool prominent) {
    static QPointer<LibraryButtonStyle> styles[2];
    QPointer<LibraryButtonStyle>& slot = styles[prominent ? 1 : 0];
    if (!slot) {
        slot = new LibraryButtonStyle(prominent);
        slot->setParent(qApp);
    }
    return slot;
}

void LibraryButtonStyle::apply(QAbstractButton* button, bool prominent) {
    button->setStyle(shared(prominent));
    button->setFont(buttonFont());
    button->setCursor(Qt::PointingHandCursor);
    button->setAttribute(Qt::WA_Hover, false);
    button->updateGeometry();
}

void LibraryButtonStyle::setSymbol(QAbstractButton* button, std::string_view name) {
    button->setProperty(kSymbolProperty, QString::fromUtf8(name.data(), qsizetype(name.size())));
    button->updateGeometry();
    button->update();
}

QString LibraryButtonStyle::symbol(const QAbstractButton* button) {
    return button->property(kSymbolProperty).toString();
}

qreal LibraryButtonStyle::opacity(bool enabled, bool pressed) {
    if (!enabled)
        return 0.4;
    return pressed ? 0.7 : 1.0;
}

QSizeF LibraryButtonStyle::sizeFor(const QString& text, std::string_view symbol) {
    qreal width = 0;
    if (!text.isEmpty())
        width += QFontMetricsF(buttonFont()).horizontalAdvance(text);
    if (!symbol.empty())
        width += kSymbolSize + (text.isEmpty() ? 0 : kSymbolSpacing);
    return QSizeF(std::ceil(width) + 2 * kPadding, kHeight);
}

void LibraryButtonStyle::paint(QPainter& p, const QRectF& rect, bool prominent, bool enabled,
                               bool pressed, const QString& text, std::string_view symbol) {
    p.save();
    p.setOpacity(p.opacity() * opacity(enabled, pressed));
    p.setRenderHint(QPainter::Antialiasing);
    QPainterPath pill;
    pill.addRoundedRect(rect, kRadius, kRadius);
    p.fillPath(pill, prominent ? LibraryStyle::accent() : LibraryStyle::raised());

    const QColor fg = prominent ? LibraryStyle::background() : LibraryStyle::text();
    const QFont font = buttonFont();
    const qreal textWidth = text.isEmpty() ? 0 : QFontMetricsF(font).horizontalAdvance(text);
    const qreal symbolWidth =
        symbol.empty() ? 0 : kSymbolSize + (text.isEmpty() ? 0 : kSymbolSpacing);
    const QRectF inner = rect.adjusted(kPadding, 0, -kPadding, 0);
    qreal x = inner.left() + std::max(0.0, (inner.width() - textWidth - symbolWidth) / 2);
    if (!symbol.empty()) {
        Symbols::paint(p, QRectF(x, rect.center().y() - kSymbolSize / 2, kSymbolSize, kSymbolSize),
                       symbol, fg);
        x += symbolWidth;
    }
    if (!text.isEmpty()) {
        p.setFont(font);
        p.setPen(fg);
        const QRectF textRect(x, rect.top(), std::min(textWidth + 1, inner.right() - x + 1),
                              rect.height());
        p.drawText(textRect, Qt::AlignVCenter | Qt::AlignLeft | Qt::TextSingleLine,
                   QFontMetricsF(font).elidedText(text, Qt::ElideRight, textRect.width()));
    }
    p.restore();
}

void LibraryButtonStyle::drawControl(ControlElement element, const QStyleOption* option,
                                     QPainter* painter, const QWidget* widget) const {
    if (element == CE_PushButton) {
        const auto* button = qstyleoption_cast<const QStyleOptionButton*>(option);
        if (button) {
            const auto* w = qobject_cast<const QAbstractButton*>(widget);
            const QString symbolName = w ? symbol(w) : QString();
            const QByteArray symbolUtf8 = symbolName.toUtf8();
            const bool enabled = option->state & State_Enabled;
            const bool pressed = option->state & (State_Sunken | State_On);
            const QRectF r = QRectF(option->rect);
            const QRectF pill(r.left(), r.center().y() - kHeight / 2, r.width(), kHeight);
            paint(*painter, pill, m_prominent, enabled, pressed, button->text,
                  std::string_view(symbolUtf8.constData(), size_t(symbolUtf8.size())));
            return;
        }
    }
    QProxyStyle::drawControl(element, option, painter, widget);
}

QSize LibraryButtonStyle::sizeFromContents(ContentsType type, const QStyleOption* option,
                                           const QSize& size, const QWidget* widget) const {
    if (type == CT_PushButton) {
        const auto* button = qstyleoption_cast<const QStyleOptionButton*>(option);
        const auto* w = qobject_cast<const QAbstractButton*>(widget);
        if (button) {
            const QByteArray symbolUtf8 = w ? symbol(w).toUtf8() : QByteArray();
            return sizeFor(button->text,
                           std::string_view(symbolUtf8.constData(), size_t(symbolUtf8.size())))
                .toSize();
        }
    }
    return QProxyStyle::sizeFromContents(type, option, size, widget);
}

void LibraryButtonStyle::polish(QWidget* widget) {
    QProxyStyle::polish(widget);
    if (qobject_cast<QAbstractButton*>(widget))
        widget->setFont(buttonFont());
}

} // namespace tevro
