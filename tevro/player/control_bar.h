#pragma once

// The panel at the bottom of the player window: the seek bar and, below it,
// play/pause, ten-second jumps, the time, the audio, subtitle, speed and
// episode menus, the next-episode button, the volume group and full screen.
// It shows the player model's state and acts through the model (speed and
// mute through its core); it keeps no state of its own. Whatever width it is
// given, the buttons and the time stay whole: the track titles are cut first,
// then the volume percentage goes, then the slider narrows and goes.

#include <cstdint>

#include <QWidget>

class QHBoxLayout;
class QLabel;
class QMenu;
class QSlider;
class QToolButton;

namespace tevro {

class PlayerModel;
class SeekBar;

class ControlBar : public QWidget {
    Q_OBJECT
public:
    explicit ControlBar(PlayerModel& model, QWidget* parent = nullptr);

    SeekBar* seekBar() const { return m_seekBar; }
    QMenu* audioMenu() const { return m_audioMenu; }
    QMenu* subtitleMenu() const { return m_subtitleMenu; }
    QMenu* speedMenu() const { return m_speedMenu; }
    QMenu* episodesMenu() const { return m_episodesMenu; }

    // "1×", "1.25×", "0.5×", "2×".
    static QString speedText(double speed);
    // The value written to the core's "speed" property: "0.5", "1.0", "1.25".
    static std::string speedValue(double speed);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void refreshPlay();
    void refreshTime();
    void refreshSeek();
    void refreshTracks();
    void refreshSpeed();
    void refreshEpisodes();
    void refreshVolume();
    void setSpeed(double speed);
    // Shares the row's width out (see the header comment).
    void fitRow();
    void playEpisode(std::int64_t index);

    PlayerModel& m_model;
    QHBoxLayout* m_row = nullptr;
    SeekBar* m_seekBar = nullptr;
    QToolButton* m_play = nullptr;
    QToolButton* m_back = nullptr;
    QToolButton* m_forward = nullptr;
    QLabel* m_time = nullptr;
    QToolButton* m_audio = nullptr;
    QToolButton* m_subtitles = nullptr;
    QToolButton* m_speed = nullptr;
    QToolButton* m_episodes = nullptr;
    QToolButton* m_next = nullptr;
    QToolButton* m_mute = nullptr;
    QSlider* m_volume = nullptr;
    QLabel* m_volumeText = nullptr;
    QToolButton* m_fullScreen = nullptr;
    QMenu* m_audioMenu = nullptr;
    QMenu* m_subtitleMenu = nullptr;
    QMenu* m_speedMenu = nullptr;
    QMenu* m_episodesMenu = nullptr;
    bool m_settingVolume = false;
    // The track titles as they are, before the row cuts them.
    QString m_audioTitle;
    QString m_subtitleTitle;
    int m_timeWidth = 0;
    // The episode entries changed while the menu was open: rebuilt once it closes.
    bool m_episodesStale = false;
};

} // namespace tevro
