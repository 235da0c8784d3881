#pragma once

// Text wrapped to at most a given number of lines, the last one cut with an
// ellipsis; a word longer than a line (a torrent name without spaces) breaks
// where the line ends. Its height follows its width, and it never asks for
// more width than a few characters.

#include <QColor>
#include <QWidget>

namespace tevro {

class ClampedLabel : public QWidget {
    Q_OBJECT
public:
    explicit ClampedLabel(int lines, QWidget* parent = nullptr);

    void setText(const QString& text);
    QString text() const { return m_text; }
    // The colour of the text; the palette's window text when not set.
    void setColor(const QColor& color);
    // The lines as drawn at `width`.
    QStringList lines(int width) const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;
    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    int lineHeight() const;

    int m_lines;
    QString m_text;
    QColor m_color;
};

} // namespace tevro
