#pragma once

// The player window ("player"): the video edge to edge on black, a top bar
// with the playing file's name, a status box while the player opens,
// buffers or seeks (or shows an error) and the control bar. The top bar and
// the control bar fade out while playback runs undisturbed and come back
// when the pointer moves. Showing the window makes the playback core and a
// video view for it; closing it stops playback and drops the view. Every
// value shown is read from the player model and, for the download rate,
// from the engine.

#include <optional>

#include <QPointer>
#include <QWidget>

#include "tevro/player/video_view.h"

class QGraphicsOpacityEffect;
class QVariantAnimation;

namespace tevro {

class ControlBar;
class PlayerModel;
class TorrentEngine;

class PlayerWindow : public QWidget {
    Q_OBJECT
public:
    static constexpr QSize kDefaultSize{1280, 760};

    PlayerWindow(PlayerModel& model, TorrentEngine& engine, QWidget* parent = nullptr);
    ~PlayerWindow() override;

    enum class Status { none, progress, error };

    // The video view while the window is open and the core exists.
    VideoView* videoView() const { return m_video; }
    ControlBar* controlBar() const { return m_controlBar; }
    // Whether the controls layer is (or is fading) in.
    bool controlsShown() const { return m_controlsShown; }
    Status status() const { return m_status; }
    // The status box's text: the error, or the progress label; empty with no box.
    QString statusText() const { return m_statusText; }
    // The progress box's spinner turns: only while the box is on screen.
    bool statusSpinning() const;
    QString fileName() const { return m_fileName; }

    // The progress label: "Открытие", "Перемотка" or "Буферизация", the
    // buffered percentage and the download rate, joined by " · ".
    static QString progressText(bool loaded, bool waitingAfterSeek, bool buffering,
                                std::optional<double> bufferProgress, std::int64_t downloadRate);

protected:
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

private:
    class TopBar;
    class StatusBox;

    void makeVideo();
    void watchPointer(QWidget* widget);
    void pointerMoved();
    void layoutChildren();
    void refreshItem();
    void refreshStatus();
    void refreshControls();

    PlayerModel& m_model;
    TorrentEngine& m_engine;
    QPointer<VideoView> m_video;
    TopBar* m_topBar = nullptr;
    StatusBox* m_statusBox = nullptr;
    ControlBar* m_controlBar = nullptr;
    QGraphicsOpacityEffect* m_topFade = nullptr;
    QGraphicsOpacityEffect* m_barFade = nullptr;
    QVariantAnimation* m_fade = nullptr;
    bool m_controlsShown = true;
    Status m_status = Status::none;
    QString m_statusText;
    QString m_fileName;
};

} // namespace tevro
