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
#include "tevro/library/library_style.h"
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
constexpr int kSide = 16;
constexpr int kRowSpacing = 14;
constexpr int kLeastRowSpacing = 4;
constexpr int kLeastGap = 12;
constexpr int kVolumeSpacing = 6;
constexpr int kSliderWidth = 110;
constexpr int kLeastSlider = 40;
constexpr int kPercentWidth = 38;
// A title narrower than this is dropped and its menu shows the symbol alone.
constexpr int kLeastTitle = 24;
constexpr int kCalloutSize = 12;
constexpr int kCaptionSize = 10;

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

// Text for a button or a menu entry, where "&" would mark a shortcut letter.
QString literal(QString text) {
    return text.replace(QLatin1Char('&'), QLatin1String("&&"));
}

QString episodeText(const TorrentFile& file) {
    QString text = stem(file.path);
    if (file.prio == 0)
        text += "  ·  не скачивается";
    else if (file.size >= 1 && static_cast<double>(file.done) / file.size < 1)
        text += "  ·  " + QString::fromStdString(Format::percent(static_cast<double>(file.done) /
                                                                 static_cast<double>(file.size)));
    return text;
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
    column->setContentsMargins(kSide, 12, kSide, 12);
    column->setSpacing(8);

    m_seekBar = new SeekBar(this);
    m_seekBar->onSeek = [this](double t) { m_model.seek(t); };
    column->addWidget(m_seekBar);

    auto* row = new QHBoxLayout();
    row->setSpacing(kRowSpacing);
    m_row = row;
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
    m_time->setFont(LibraryStyle::font(kCalloutSize));
    m_time->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Preferred);
    row->addWidget(m_time);
    row->addSpacing(kLeastGap);
    row->addStretch(1);

    const QFont menuFont = LibraryStyle::font(kCalloutSize);
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
    volumeRow->setSpacing(kVolumeSpacing);
    m_mute = button(this, "speaker.wave.2.fill", "Звук (M)");
    m_mute->setFixedWidth(24 + 4);
    connect(m_mute, &QToolButton::clicked, this, [this] {
        if (auto core = m_model.core())
            core->commandAsync({"cycle", "mute"});
    });
    volumeRow->addWidget(m_mute);
    m_volume = new QSlider(Qt::Horizontal, this);
    m_volume->setRange(0, 200);
    m_volume->setFixedWidth(kSliderWidth);
    m_volume->setFocusPolicy(Qt::NoFocus);
    m_volume->setToolTip("Громкость (↑/↓ или прокрутка над видео)");
    m_volume->setAccessibleName("Громкость");
    connect(m_volume, &QSlider::valueChanged, this, [this](int v) {
        if (!m_settingVolume)
            m_model.setVolume(v);
    });
    volumeRow->addWidget(m_volume);
    m_volumeText = new QLabel(this);
    m_volumeText->setFont(LibraryStyle::font(kCaptionSize));
    m_volumeText->setFixedWidth(kPercentWidth);
    m_volumeText->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    volumeRow->addWidget(m_volumeText);
    row->addLayout(volumeRow);

    m_fullScreen =
        button(this, "arrow.up.left.and.arrow.down.right", "Полный экран (F)", "Полный экран");
    connect(m_fullScreen, &QToolButton::clicked, this, [this] { m_model.toggleFullScreen(); });
    row->addWidget(m_fullScreen);

    // Nothing in the row is squeezed by the layout: fitRow decides what gives way.
    // The seek bar is above the row and takes the whole width.
    for (QWidget* w : findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
        if (w != m_seekBar)
            w->setSizePolicy(QSizePolicy::Fixed, w->sizePolicy().verticalPolicy());
    // Entries that changed while the menu was open come once it has closed.
    connect(m_episodesMenu, &QMenu::aboutToHide, this, [this] {
        if (m_episodesStale)
            QMetaObject::invokeMethod(this, &ControlBar::refreshEpisodes, Qt::QueuedConnection);
    });

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

void ControlBar::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    fitRow();
}

void ControlBar::fitRow() {
    const int available = width() - 2 * kSide;
    if (available <= 0)
        return;
    ensurePolished();
    for (QWidget* w : findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
        w->ensurePolished();
    // What never gives way: the buttons, the time, the speed, the menus' symbols.
    int used = 0;
    int items = 0;
    for (QWidget* w : std::initializer_list<QWidget*>{m_play, m_back, m_forward, m_time, m_speed,
                                                      m_episodes, m_next, m_fullScreen})
        if (!w->isHidden()) {
            used += w->sizeHint().width();
            ++items;
        }
    m_audio->setText({});
    m_subtitles->setText({});
    const int audioSymbol = m_audio->sizeHint().width();
    const int subtitleSymbol = m_subtitles->sizeHint().width();
    m_audio->setText(QStringLiteral("M"));
    const QFontMetrics metrics = m_audio->fontMetrics();
    const int titleGap =
        m_audio->sizeHint().width() - audioSymbol - metrics.horizontalAdvance(QStringLiteral("M"));
    // The two menus and the volume group (its mute button at least).
    used += audioSymbol + subtitleSymbol + m_mute->sizeHint().width();
    items += 3;
    int spare = available - used - kRowSpacing * (items - 1) - kLeastGap;

    // Served in the reverse order of giving way: the slider, the percentage, the titles.
    int slider = std::clamp(spare - kVolumeSpacing, 0, kSliderWidth);
    if (slider < kLeastSlider)
        slider = 0;
    if (slider > 0)
        spare -= slider + kVolumeSpacing;
    const bool percent = slider > 0 && spare >= kPercentWidth + kVolumeSpacing;
    if (percent)
        spare -= kPercentWidth + kVolumeSpacing;
    // Advances are fractional: a pixel more keeps a title that fits from being cut.
    auto want = [&](const QString& title, int symbol, int most) {
        return title.isEmpty()
                   ? 0
                   : std::min(metrics.horizontalAdvance(title) + 1 + titleGap, most - symbol);
    };
    const int audioWant = want(m_audioTitle, audioSymbol, kAudioWidth);
    const int subtitleWant = want(m_subtitleTitle, subtitleSymbol, kSubtitleWidth);
    // Both whole if they fit; else shared, and a share too small for a title
    // goes to the other (a short title needs no more than itself).
    const int room = std::max(spare, 0);
    const int audioLeast = std::min(audioWant, kLeastTitle + titleGap);
    const int subtitleLeast = std::min(subtitleWant, kLeastTitle + titleGap);
    int audioGets = std::min(audioWant, std::max(room / 2, room - subtitleWant));
    int subtitleGets = std::min(subtitleWant, room - audioGets);
    if (subtitleGets < subtitleLeast) {
        subtitleGets = 0;
        audioGets = std::min(audioWant, room);
    }
    if (audioGets < audioLeast) {
        audioGets = 0;
        subtitleGets = subtitleWant <= room ? subtitleWant : std::max(0, room);
        if (subtitleGets < subtitleLeast)
            subtitleGets = 0;
    }
    auto setTitle = [&](QToolButton* button, const QString& title, int width, int symbol) {
        QString text;
        if (width > 0)
            text = metrics.elidedText(title, Qt::ElideRight, width - titleGap);
        button->setText(literal(text));
        return text.isEmpty() ? 0 : button->sizeHint().width() - symbol;
    };
    spare -= setTitle(m_audio, m_audioTitle, audioGets, audioSymbol);
    spare -= setTitle(m_subtitles, m_subtitleTitle, subtitleGets, subtitleSymbol);

    m_volume->setVisible(slider > 0);
    if (slider > 0)
        m_volume->setFixedWidth(slider);
    m_volumeText->setVisible(percent);
    // Still too narrow (long times, every button shown): the gaps give way last.
    int spacing = kRowSpacing;
    if (spare < 0)
        spacing = std::max(kLeastRowSpacing, kRowSpacing - (-spare + items - 2) / (items - 1));
    m_row->setSpacing(spacing);
}

void ControlBar::refreshPlay() {
    bool showPlay = m_model.paused() || m_model.ended();
    m_play->setIcon(Symbols::icon(showPlay ? "play.fill" : "pause.fill", Qt::white, kSymbolSize));
    m_play->setAccessibleName(m_model.paused() ? "Воспроизвести" : "Пауза");
}

void ControlBar::refreshTime() {
    m_time->setText(QString::fromStdString(Format::clock(m_model.position()) + " / " +
                                           Format::clock(m_model.duration())));
    if (int width = m_time->sizeHint().width(); width != m_timeWidth) {
        m_timeWidth = width;
        fitRow();
    }
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
            QAction* a = menu->addAction(literal(text));
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
    m_audioTitle = name(PlayerModel::shortName(m_model.currentAudio()), "Аудио");
    m_subtitleTitle = name(PlayerModel::shortName(m_model.currentSubtitle()), "Выкл.");
    m_audio->setAccessibleDescription(m_audioTitle);
    m_subtitles->setAccessibleDescription(m_subtitleTitle);
    fitRow();
}

void ControlBar::refreshSpeed() {
    double speed = m_model.speed();
    m_speed->setText(speedText(speed));
    fitRow();
    for (QAction* a : m_speedMenu->actions()) {
        bool current = std::abs(a->data().toDouble() - speed) < 0.01;
        a->setIcon(current ? Symbols::icon("checkmark", Qt::white, 16) : QIcon());
    }
}

void ControlBar::refreshEpisodes() {
    auto videos = MediaMatcher::videos(m_model.files());
    m_episodes->setVisible(videos.size() >= 2);
    m_next->setVisible(m_model.nextFile().has_value());
    QList<QAction*> actions = m_episodesMenu->actions();
    if (!actions.isEmpty())
        actions.removeFirst(); // the section header
    bool same = actions.size() == static_cast<qsizetype>(videos.size());
    for (qsizetype k = 0; same && k < actions.size(); ++k)
        same = actions[k]->data().toLongLong() == videos[k].i;
    // An open menu keeps its entries (and the highlighted one): only their texts change.
    if (!same && m_episodesMenu->isVisible()) {
        m_episodesStale = true;
        return fitRow();
    }
    m_episodesStale = false;
    if (!same) {
        m_episodesMenu->clear();
        m_episodesMenu->addSection("Серии");
        actions.clear();
        for (const auto& file : videos) {
            QAction* a = m_episodesMenu->addAction(QString());
            a->setData(static_cast<qlonglong>(file.i));
            std::int64_t index = file.i;
            connect(a, &QAction::triggered, this, [this, index] { playEpisode(index); });
            actions.append(a);
        }
    }
    auto item = m_model.item();
    for (qsizetype k = 0; k < actions.size(); ++k) {
        QAction* a = actions[k];
        a->setText(literal(episodeText(videos[k])));
        bool playing = item && item->file.i == videos[k].i;
        if (a->property("playing").toBool() != playing || !same) {
            a->setProperty("playing", playing);
            a->setIcon(playing ? Symbols::icon("play.fill", Qt::white, 16) : QIcon());
        }
    }
    fitRow();
}

void ControlBar::playEpisode(std::int64_t index) {
    auto current = m_model.item();
    if (!current || current->file.i == index)
        return;
    for (const auto& file : MediaMatcher::videos(m_model.files()))
        if (file.i == index)
            return m_model.play(file);
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
