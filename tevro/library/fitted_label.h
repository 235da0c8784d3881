#pragma once

// A one-line text that gives way to its row: it shrinks down to a smallest
// scale of its font, and is elided at the end when even that is too wide.
// Assistive tools read the whole text.

#include <QColor>
#include <QWidget>

namespace tevro {

class FittedLabel : public QWidget {
    Q_OBJECT
public:
    explicit FittedLabel(qreal minimumScale = 0.85, QWidget* parent = nullptr);

    void setText(const QString& text);
    QString text() const { return m_text; }
    void setColor(const QColor& color);

    // The scale of the font at the current width, and the text as drawn.
    qreal scale() const;
    QString shownText() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    QFont scaledFont() const;

    QString m_text;
    QColor m_color;
    qreal m_minimumScale;
};

} // namespace tevro
