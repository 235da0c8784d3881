#pragma once

// The transient message at the bottom of the main window's content: the
// text in a capsule, 40 points above the bottom edge, no wider than the
// content area it stands over; a long text wraps (anywhere, if it has no
// spaces) to three lines at most and is elided after that. It comes in from
// the bottom edge with a fade and leaves the same way, ease-out over 0.2 s,
// or at once when the desktop asks for less motion.

#include <QVariantAnimation>
#include <QWidget>

namespace tevro {

class Toast : public QWidget {
    Q_OBJECT
public:
    static constexpr int kMaxLines = 3;
    static constexpr int kBottom = 40;
    static constexpr int kSideMargin = 24;
    static constexpr int kDurationMs = 200;

    explicit Toast(QWidget* parent);

    // The part of the parent the toast stands over, centred at its bottom.
    void setArea(const QRect& area);
    // Shows `text`, or leaves when it is empty.
    void showText(const QString& text);
    void setReduceMotion(bool reduce);

    QString text() const { return m_text; }
    // The lines as drawn (the last one elided when the text is longer).
    QStringList lines() const { return m_lines; }
    // 0 gone, 1 fully in; in between while it comes or leaves.
    qreal presence() const { return m_presence; }
    bool leaving() const { return m_target == 0 && isVisible(); }
    // The place the toast rests at when fully in.
    QRect restingGeometry() const { return m_resting; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void layoutText();
    void place();
    void moveTo(qreal target);

    QString m_text;
    QStringList m_lines;
    QRect m_area;
    QRect m_resting;
    QVariantAnimation m_motion;
    qreal m_presence = 0;
    qreal m_target = 0;
    bool m_reduceMotion = false;
};

} // namespace tevro
