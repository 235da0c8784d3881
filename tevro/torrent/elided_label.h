#pragma once

// One line of text cut when it does not fit, in the middle by default
// ("/home/…/Tevro").

#include <QWidget>

namespace tevro {

class ElidedLabel : public QWidget {
    Q_OBJECT
public:
    explicit ElidedLabel(QWidget* parent = nullptr);
    void setText(const QString& text);
    QString text() const { return m_text; }
    void setColor(const QColor& color);
    void setElideMode(Qt::TextElideMode mode);
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString m_text;
    QColor m_color;
    Qt::TextElideMode m_mode = Qt::ElideMiddle;
};

} // namespace tevro
