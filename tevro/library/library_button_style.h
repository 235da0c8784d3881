#pragma once

// The one button look of the library, the sidebar, the sheets, the settings
// and the offers: a 34-pixel pill, 14 pixels of padding either side, the
// 12-pixel medium font; the accent fill with a black label when prominent,
// else the raised grey with a white label. Pressed buttons show at 0.7
// opacity, disabled ones at 0.4 whether pressed or not.

#include <string_view>

#include <QProxyStyle>
#include <QString>

class QAbstractButton;
class QPainter;

namespace tevro {

class LibraryButtonStyle : public QProxyStyle {
    Q_OBJECT
public:
    static constexpr qreal kHeight = 34;
    static constexpr qreal kPadding = 14;
    static constexpr qreal kRadius = 9;
    static constexpr qreal kFontSize = 12;
    static constexpr qreal kSymbolSize = 14;
    static constexpr qreal kSymbolSpacing = 6;

    explicit LibraryButtonStyle(bool prominent);

    bool prominent() const { return m_prominent; }

    // The application's two instances (owned by the application object).
    static LibraryButtonStyle* shared(bool prominent);
    // Gives `button` the look and its font; every use states `prominent`.
    static void apply(QAbstractButton* button, bool prominent);
    // A symbol drawn before the button's text ("play.fill"); empty for none.
    static void setSymbol(QAbstractButton* button, std::string_view name);
    static QString symbol(const QAbstractButton* button);

    // The face of one button, for views that paint buttons without widgets.
    static void paint(QPainter& painter, const QRectF& rect, bool prominent, bool enabled,
                      bool pressed, const QString& text, std::string_view symbol);
    // The pill's size for a label: its width plus 28, 34 high.
    static QSizeF sizeFor(const QString& text, std::string_view symbol);
    // The opacity of the whole button for its state.
    static qreal opacity(bool enabled, bool pressed);

    void drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                     const QWidget* widget = nullptr) const override;
    QSize sizeFromContents(ContentsType type, const QStyleOption* option, const QSize& size,
                           const QWidget* widget) const override;
    void polish(QWidget* widget) override;
    using QProxyStyle::polish;

private:
    bool m_prominent;
};

} // namespace tevro
