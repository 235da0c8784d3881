#include "tevro/player/control_bar.h"

#include <cmath>
#include <cstdio>
#include <filesystem>

#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QPainter>
#include <QPainterPath>
#include <QSlider>
#include <QToolButton>
#include <QVBoxLayout>

#include "tevro/core/format.h"
#include "tevro/library/symbols.h"
#include "tevro/media/media_matcher.h"
#include "tevro/player/number_text.h"
#include "tevro/player/player_model.h"
#include "tevro/player/seek_bar.h"

namespace tevro {

namespace {

constexpr double kSpeeds[] = {0.5, 0.75, 1.0, 1.25, 1.5, 2.0};
constexpr double kJump = 10;
constexpr int kSymbolSize = 22;
constexpr int kAudioWidth = 190;
constexpr int kSubtitleWidth = 170;

QToolButton* button(QWidget* parent, const char* symbol, const QString& tip,
                    const QString& accessible = {}) {
    auto* b = new QToolButton(parent);
    b->setAutoRaise(true);
    b->setFocusPolicy(Qt::NoFocus);
    b->setIcon(Symbols::icon(symbol, Qt::white, kSymbolSize));
    b->setIconSize(QSize(kSymbolSize, kSymbolSize));
    b->setToolTip(tip);
    b->setAccessibleName(accessible);
    b->setCursor(Qt::PointingHandCursor);
    return b;
}

QToolButton* menuButton(QWidget* parent, QMenu* menu, const QString& tip,
                        const QString& accessible) {
    auto* b = new QToolButton(parent);
    b->setAutoRaise(true);
    b->setFocusPolicy(Qt::NoFocus);
    b->setMenu(menu);
    b->setPopupMode(QToolButton::InstantPopup);
    b->setToolTip(tip);
    b->setAccessibleName(accessible);
    b->setCursor(Qt::PointingHandCursor);
    b->setIconSize(QSize(18, 18));
    b->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    return b;
}

QString stem(const std::string& path) {
    return QString::fromStdString(std::filesystem::path(path).stem().string());
}

} // namespace

QString ControlBar::speedText(double speed) {
    if (speed == 1.0)
        return "1×";
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%g×", speed);
    return QString::fromUtf8(buffer);
}

std::string ControlBar::speedValue(double speed) {
    return NumberText::shortest(speed);
}

ControlBar::ControlBar(PlayerModel& model, QWidget* parent) : QWidget(parent), m_model(model) {
    setAttribute(Qt::WA_TranslucentBackground);
    setAccessibleName("Панель управления");
    setStyleSheet("QToolButton { color: white; background: transparent; border: none;"
                  " padding: 2px; }"
                  "QToolButton:hover { background: rgba(255, 255, 255, 28); border-radius: 6px; }"
                  "QToolButton::menu-indicator { image: none; width: 0; }"
                  "QLabel { color: rgba(255, 255, 255, 230); }");

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(16, 12, 16, 12);
    column->setSpacing(8);

    m_seekBar = new SeekBar(this);
    m_seekBar->onSeek = [this](double t) { m_model.seek(t); };
    column->addWidget(m_seekBar);

    auto* row = new QHBoxLayout();
    row->setSpacing(14);
    column->addLayout(row);

    m_play = button(this, "pause.fill", "Пауза (пробел)");
    connect(m_play, &QToolButton::clicked, this, [this] { m_model.togglePause(); });
    row->addWidget(m_play);
    m_back = button(this, "gobackward.10", "Назад на 10 с (←)");
    connect(m_back, &QToolButton::clicked, this,
            [this] { m_model.seek(m_model.position() - kJump); });
    row->addWidget(m_back);
    m_forward = button(this, "goforward.10", "Вперёд на 10 с (→)");
    connect(m_forward, &QToolButton::clicked, this,
            [this] { m_model.seek(m_model.position() + kJump); });
    row->addWidget(m_forward);

    m_time = new QLabel(this);
    QFont timeFont = m_time->font();
    timeFont.setPixelSize(15);
    m_time->setFont(timeFont);
    m_time->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Preferred);
    row->addWidget(m_time);
    row->addSpacing(12);
    row->addStretch(1);

    QFont menuFont = font();
    menuFont.setPixelSize(15);
    m_audioMenu = new QMenu(this);
    m_audio = menuButton(this, m_audioMenu, "Аудиодорожка (A)", "Аудиодорожка");
    m_audio->setIcon(Symbols::icon("waveform", Qt::white, 18));
    m_audio->setFont(menuFont);
    m_audio->setMaximumWidth(kAudioWidth);
    row->addWidget(m_audio);
    m_subtitleMenu = new QMenu(this);
    m_subtitles = menuButton(this, m_subtitleMenu, "Субтитры (S)", "Субтитры");
    m_subtitles->setIcon(Symbols::icon("captions.bubble", Qt::white, 18));
    m_subtitles->setFont(menuFont);
    m_subtitles->setMaximumWidth(kSubtitleWidth);
    row->addWidget(m_subtitles);
    m_speedMenu = new QMenu(this);
    m_speed = menuButton(this, m_speedMenu, "Скорость", "Скорость воспроизведения");
    m_speed->setToolButtonStyle(Qt::ToolButtonTextOnly);
    m_speed->setFont(menuFont);
    row->addWidget(m_speed);
    m_episodesMenu = new QMenu(this);
    m_episodes = menuButton(this, m_episodesMenu, "Серии", "Список серий");
    m_episodes->setToolButtonStyle(Qt::ToolButtonIconOnly);
    m_episodes->setIcon(Symbols::icon("list.bullet", Qt::white, kSymbolSize));
    m_episodes->setIconSize(QSize(kSymbolSize, kSymbolSize));
    row->addWidget(m_episodes);
    m_next = button(this, "forward.end.fill", "Следующая серия (N)", "Следующая серия");
    connect(m_next, &QToolButton::clicked, this, [this] { m_model.playNext(); });
    row->addWidget(m_next);

    auto* volumeRow = new QHBoxLayout();
    volumeRow->setSpacing(6);
    m_mute = button(this, "speaker.wave.2.fill", "Звук (M)");
    m_mute->setFixedWidth(24 + 4);
    connect(m_mute, &QToolButton::clicked, this, [this] {
        if (auto core = m_model.core())
            core->commandAsync({"cycle", "mute"});
    });
    volumeRow->addWidget(m_mute);
    m_volume = new QSlider(Qt::Horizontal, this);
    m_volume->setRange(0, 200);
    m_volume->setFixedWidth(110);
    m_volume->setFocusPolicy(Qt::NoFocus);
    m_volume->setToolTip("Громкость (↑/↓ или прокрутка над видео)");
    m_volume->setAccessibleName("Громкость");
    connect(m_volume, &QSlider::valueChanged, this, [this](int v) {
        if (!m_settingVolume)
            m_model.setVolume(v);
    });
    volumeRow->addWidget(m_volume);
    m_volumeText = new QLabel(this);
    QFont captionFont = m_volumeText->font();
    captionFont.setPixelSize(12);
    m_volumeText->setFont(captionFont);
    m_volumeText->setFixedWidth(38);
    m_volumeText->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    volumeRow->addWidget(m_volumeText);
    row->addLayout(volumeRow);

    m_fullScreen =
        button(this, "arrow.up.left.and.arrow.down.right", "Полный экран (F)", "Полный экран");
    connect(m_fullScreen, &QToolButton::clicked, this, [this] { m_model.toggleFullScreen(); });
    row->addWidget(m_fullScreen);

    for (double speed : kSpeeds) {
        QAction* a = m_speedMenu->addAction(speedText(speed));
        a->setData(speed);
        connect(a, &QAction::triggered, this, [this, speed] { setSpeed(speed); });
    }

    connect(&m_model, &PlayerModel::pausedChanged, this, &ControlBar::refreshPlay);
    connect(&m_model, &PlayerModel::endedChanged, this, &ControlBar::refreshPlay);
    connect(&m_model, &PlayerModel::positionChanged, this, &ControlBar::refreshTime);
    connect(&m_model, &PlayerModel::durationChanged, this, &ControlBar::refreshTime);
    for (auto signal : {&PlayerModel::positionChanged, &PlayerModel::durationChanged,
                        &PlayerModel::cacheTimeChanged, &PlayerModel::downloadedRangesChanged})
        connect(&m_model, signal, this, &ControlBar::refreshSeek);
    for (auto signal : {&PlayerModel::tracksChanged, &PlayerModel::externalTracksChanged,
                        &PlayerModel::loadedChanged, &PlayerModel::itemChanged})
        connect(&m_model, signal, this, &ControlBar::refreshTracks);
    connect(&m_model, &PlayerModel::speedChanged, this, &ControlBar::refreshSpeed);
    for (auto signal : {&PlayerModel::filesChanged, &PlayerModel::itemChanged})
        connect(&m_model, signal, this, &ControlBar::refreshEpisodes);
    connect(&m_model, &PlayerModel::volumeChanged, this, &ControlBar::refreshVolume);
    connect(&m_model, &PlayerModel::mutedChanged, this, &ControlBar::refreshVolume);

    refreshPlay();
    refreshTime();
    refreshSeek();
    refreshTracks();
    refreshSpeed();
    refreshEpisodes();
    refreshVolume();
}

void ControlBar::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    QPainterPath path;
    path.addRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), 14, 14);
    p.fillPath(path, QColor(28, 28, 32, 200));
    p.setPen(QPen(QColor(255, 255, 255, 24), 1));
    p.drawPath(path);
}

void ControlBar::refreshPlay() {
    bool showPlay = m_model.paused() || m_model.ended();
    m_play->setIcon(Symbols::icon(showPlay ? "play.fill" : "pause.fill", Qt::white, kSymbolSize));
    m_play->setAccessibleName(m_model.paused() ? "Воспроизвести" : "Пауза");
}

void ControlBar::refreshTime() {
    m_time->setText(QString::fromStdString(Format::clock(m_model.position()) + " / " +
                                           Format::clock(m_model.duration())));
}

void ControlBar::refreshSeek() {
    m_seekBar->setDuration(m_model.duration());
    m_seekBar->setPosition(m_model.position());
    m_seekBar->setCacheTime(m_model.cacheTime());
    m_seekBar->setRanges(m_model.downloadedRanges());
}

void ControlBar::refreshTracks() {
    auto fill = [this](QMenu* menu, const char* header, std::vector<TrackOption> options,
                       bool audio) {
        menu->clear();
        menu->addSection(header);
        for (const auto& option : options) {
            QString text = QString::fromStdString(option.label);
            if (option.detail)
                text += "  ·  " + QString::fromStdString(*option.detail);
            QAction* a = menu->addAction(text);
            a->setData(QString::fromStdString(option.id));
            if (option.selected)
                a->setIcon(Symbols::icon("checkmark", Qt::white, 16));
            connect(a, &QAction::triggered, this,
                    [this, option, audio] { m_model.select(option, audio); });
        }
        if (!m_model.loaded())
            menu->addAction("Чтение дорожек…")->setEnabled(false);
    };
    fill(m_audioMenu, "Аудио", m_model.audioOptions(), true);
    fill(m_subtitleMenu, "Субтитры", m_model.subtitleOptions(), false);
    auto name = [](const std::optional<std::string>& s, const char* fallback) {
        return s ? QString::fromStdString(*s) : QString(fallback);
    };
    auto elide = [](QToolButton* b, const QString& text, int width) {
        b->setText(b->fontMetrics().elidedText(text, Qt::ElideRight, width - 18 - 14));
    };
    elide(m_audio, name(PlayerModel::shortName(m_model.currentAudio()), "Аудио"), kAudioWidth);
    elide(m_subtitles, name(PlayerModel::shortName(m_model.currentSubtitle()), "Выкл."),
          kSubtitleWidth);
}

void ControlBar::refreshSpeed() {
    double speed = m_model.speed();
    m_speed->setText(speedText(speed));
    for (QAction* a : m_speedMenu->actions()) {
        bool current = std::abs(a->data().toDouble() - speed) < 0.01;
        a->setIcon(current ? Symbols::icon("checkmark", Qt::white, 16) : QIcon());
    }
}

void ControlBar::refreshEpisodes() {
    auto videos = MediaMatcher::videos(m_model.files());
    m_episodes->setVisible(videos.size() >= 2);
    m_episodesMenu->clear();
    m_episodesMenu->addSection("Серии");
    auto item = m_model.item();
    for (const auto& file : videos) {
        QString text = stem(file.path);
        if (file.prio == 0)
            text += "  ·  не скачивается";
        else if (file.size >= 1 && static_cast<double>(file.done) / file.size < 1)
            text += "  ·  " + QString::fromStdString(Format::percent(
                                  static_cast<double>(file.done) / static_cast<double>(file.size)));
        QAction* a = m_episodesMenu->addAction(text);
        a->setData(static_cast<qlonglong>(file.i));
        bool playing = item && item->file.i == file.i;
        if (playing)
            a->setIcon(Symbols::icon("play.fill", Qt::white, 16));
        connect(a, &QAction::triggered, this, [this, file] {
            auto current = m_model.item();
            if (!current || current->file.i == file.i)
                return;
            m_model.play(file);
        });
    }
    m_next->setVisible(m_model.nextFile().has_value());
}

void ControlBar::refreshVolume() {
    double volume = m_model.volume();
    bool silent = m_model.muted() || volume == 0;
    m_mute->setIcon(Symbols::icon(silent ? "speaker.slash.fill" : "speaker.wave.2.fill", Qt::white,
                                  kSymbolSize));
    m_mute->setAccessibleName(m_model.muted() ? "Включить звук" : "Выключить звук");
    m_settingVolume = true;
    m_volume->setValue(static_cast<int>(volume));
    m_settingVolume = false;
    QString percent = QString::number(static_cast<int>(volume)) + "%";
    m_volume->setAccessibleDescription(percent);
    m_volumeText->setText(percent);
    m_volumeText->setStyleSheet(volume > 100 ? "QLabel { color: #ff9f0a; }"
                                             : "QLabel { color: rgba(255, 255, 255, 204); }");
}

void ControlBar::setSpeed(double speed) {
    if (auto core = m_model.core())
        core->set("speed", speedValue(speed));
}

} // namespace tevro
