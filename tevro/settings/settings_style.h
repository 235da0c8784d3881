#pragma once

// The shared looks of the settings screen: the card and field shapes, the
// framed push button, the list-like button that lights up under the pointer,
// and the look of a text field. Colours come from LibraryStyle only.

#include <QColor>
#include <QPushButton>
#include <QRectF>

class QLineEdit;
class QPainter;

namespace tevro {

class SettingsStyle {
public:
    SettingsStyle() = delete;

    static constexpr int kRowMinHeight = 52;
    static constexpr int kRowInsetX = 16;
    static constexpr int kRowInsetY = 2;
    static constexpr int kFieldHeight = 34;
    static constexpr int kColumnWidth = 720;

    // A rounded rectangle filled with `fill` and outlined inside its edge.
    static void roundedBox(QPainter& painter, const QRectF& rect, qreal radius, const QColor& fill,
                           const QColor& stroke, qreal strokeWidth);
    // Gives a single-line field the framed look: 12-pixel text, 10 pixels of
    // padding, 34 high, a 1-pixel line outline that turns into a 1.5-pixel
    // accent one while the field has focus, 0.45 opacity when disabled.
    static void applyField(QLineEdit* field);
    // `color` at `alpha` (0...1).
    static QColor withAlpha(const QColor& color, qreal alpha);
};

// SettingsActionStyle: a framed push button, 34 high with 12 pixels either
// side of its label; the raised fill under the pointer, 0.65 opacity while
// pressed and 0.45 when disabled.
class SettingsActionButton : public QPushButton {
    Q_OBJECT
public:
    explicit SettingsActionButton(const QString& text, QWidget* parent = nullptr);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent* event) override;
    // Draws the label; the choice control draws its own.
    virtual void paintLabel(QPainter& painter, const QRectF& rect, const QColor& color);
};

// SettingsNavigationStyle: a plain button that shows white at 0.04 under the
// pointer and 0.7 opacity while pressed; subclasses draw the label.
class SettingsNavigationButton : public QPushButton {
    Q_OBJECT
public:
    explicit SettingsNavigationButton(QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;
    // The background under the hover layer (a selected tab or option).
    virtual void paintBackground(QPainter&) {}
    virtual void paintLabel(QPainter& painter) = 0;
};

} // namespace tevro
