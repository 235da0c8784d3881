#pragma once

// A text of an offer card or banner: plain text only, wrapped to the width it
// is given, breaking inside a word when the word alone is wider, and never cut
// short; or one line, which may be set to end in an ellipsis where it is cut.

#include <optional>

#include <QString>
#include <QWidget>

namespace quorvel {

class OfferCardText : public QWidget {
    Q_OBJECT
public:
    // `wraps` false keeps the text on one line at its own width.
    OfferCardText(QString text, const QFont& font, bool wraps, QWidget* parent = nullptr);

    const QString& text() const { return m_text; }
    bool wraps() const { return m_wraps; }
    // Drawn in the widget's text colour unless given one.
    void setColor(std::optional<QColor> color);
    // One line only: narrower than the text, it is cut with an ellipsis.
    void setElides(bool elides);
    bool elides() const { return m_elides; }
    // Where the text sits when given more height than it needs (the middle by default).
    void setVerticalAlignment(Qt::Alignment alignment);

    bool hasHeightForWidth() const override { return m_wraps; }
    int heightForWidth(int width) const override;
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    int lineWidth() const;

    QString m_text;
    bool m_wraps;
    bool m_elides = false;
    Qt::Alignment m_vertical = Qt::AlignVCenter;
    std::optional<QColor> m_color;
};

} // namespace quorvel
