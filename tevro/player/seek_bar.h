#pragma once

// The thin timeline of the player's control bar: played part, read-ahead
// cache, downloaded stretches of the file and a knob; a click or a drag
// picks a new time (reported once, on release), and a label shows the time
// under the pointer while it hovers. Knows nothing of the player: it takes
// numbers and reports seeks. Tab reaches it (with a focus ring) for assistive
// tools, which step it by ten seconds; keys go on to the window.

#include <functional>
#include <optional>
#include <vector>

#include <QPointer>
#include <QWidget>

#include "tevro/player/player_model.h"

class QLabel;

namespace tevro {

class SeekBar : public QWidget {
    Q_OBJECT
public:
    static constexpr int kHeight = 18;

    explicit SeekBar(QWidget* parent = nullptr);

    void setPosition(double seconds);
    void setDuration(double seconds);
    void setCacheTime(double seconds);
    void setRanges(std::vector<DownloadedRange> ranges);

    double position() const { return m_position; }
    double duration() const { return m_duration; }
    double cacheTime() const { return m_cacheTime; }
    const std::vector<DownloadedRange>& ranges() const { return m_ranges; }
    // The time under the pointer while a drag or click is in progress.
    std::optional<double> dragTime() const { return m_dragTime; }
    // The label's text and left edge while the pointer hovers; nothing otherwise.
    std::optional<QString> hoverText() const;
    std::optional<int> hoverLabelX() const;
    // "0:42 из 1:30:00": what assistive tools read as its value.
    QString accessibleValue() const;
    // Asks for a seek ten seconds forward (1) or back (-1) from the position.
    void step(int direction);

    // Called once per completed click or drag, and for the ten-second
    // accessibility steps.
    std::function<void(double)> onSeek;

    QSize sizeHint() const override { return {200, kHeight}; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    double shownPosition() const { return m_dragTime.value_or(m_position); }
    void drag(double x);
    void setHover(std::optional<double> x);
    void updateHoverLabel();
    void updateAccessibleValue();

    double m_position = 0;
    double m_duration = 0;
    double m_cacheTime = 0;
    std::vector<DownloadedRange> m_ranges;
    std::optional<double> m_dragTime;
    std::optional<double> m_hoverX;
    // Above the bar, so it lives in the window rather than in the bar.
    QPointer<QLabel> m_hoverLabel;
};

} // namespace tevro
