#include "tevro/player/player_window.h"

#include <cmath>

#include <QCloseEvent>
#include <QEasingCurve>
#include <QGraphicsOpacityEffect>
#include <QKeyEvent>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QTimer>
#include <QVariantAnimation>
#include <QWheelEvent>

#include "tevro/core/format.h"
#include "tevro/library/symbols.h"
#include "tevro/engine/torrent_engine.h"
#include "tevro/player/control_bar.h"
#include "tevro/player/player_model.h"
#include "tevro/player/video_view.h"

namespace tevro {

namespace {

constexpr int kFadeMs = 200;
constexpr int kBarSide = 16;
constexpr int kBarBottom = 14;
constexpr QSize kMinimumSize(640, 360);

QString lastComponent(const std::string& path) {
    auto slash = path.rfind('/');
    return QString::fromStdString(slash == std::string::npos ? path : path.substr(slash + 1));
}

} // namespace

// The file's name over a gradient from black to clear; clicks pass through
// to the video.
class PlayerWindow::TopBar : public QWidget {
public:
    explicit TopBar(QWidget* parent) : QWidget(parent) {
        setAttribute(Qt::WA_TransparentForMouseEvents);
        QFont f = font();
        f.setPixelSize(15);
        f.setWeight(QFont::DemiBold);
        setFont(f);
        setFixedHeight(34 + fontMetrics().height() + 24);
    }
    void setText(const QString& text) {
        if (text == m_text)
            return;
        m_text = text;
        setAccessibleName(text);
        update();
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        QLinearGradient g(0, 0, 0, height());
        g.setColorAt(0, QColor(0, 0, 0, 166));
        g.setColorAt(1, QColor(0, 0, 0, 0));
        p.fillRect(rect(), g);
        p.setPen(Qt::white);
        QRect text = rect().adjusted(20, 34, -20, -24);
        p.drawText(text, Qt::AlignLeft | Qt::AlignVCenter,
                   fontMetrics().elidedText(m_text, Qt::ElideMiddle, text.width()));
    }

private:
    QString m_text;
};

// The box in the middle: an error with its symbol, or a spinner with the
// progress label.
class PlayerWindow::StatusBox : public QWidget {
public:
    explicit StatusBox(QWidget* parent) : QWidget(parent) {
        m_spin.setInterval(40);
        QObject::connect(&m_spin, &QTimer::timeout, this, [this] {
            m_angle = (m_angle + 12) % 360;
            update();
        });
        QFont f = font();
        f.setPixelSize(15);
        setFont(f);
    }
    void present(Status status, const QString& text) {
        m_status = status;
        m_text = text;
        setAccessibleName(text);
        // The error box takes clicks; the progress box lets them through.
        setAttribute(Qt::WA_TransparentForMouseEvents, status != Status::error);
        setVisible(status != Status::none);
        spinWhileShown();
        resize(sizeHint());
        update();
    }
    QSize sizeHint() const override {
        QFontMetrics m = fontMetrics();
        if (m_status == Status::error) {
            QRect r =
                m.boundingRect(QRect(0, 0, 420, 1000), Qt::AlignCenter | Qt::TextWordWrap, m_text);
            return {std::max(r.width(), 40) + 48, 34 + 12 + r.height() + 48};
        }
        return {std::max(m.horizontalAdvance(m_text), 32) + 40, 32 + 10 + m.height() + 40};
    }

    bool spinning() const { return m_spin.isActive(); }

protected:
    // The window is made at start and mostly hidden: no frames for nobody.
    void showEvent(QShowEvent*) override { spinWhileShown(); }
    void hideEvent(QHideEvent*) override { spinWhileShown(); }
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        QPainterPath box;
        box.addRoundedRect(QRectF(rect()), 14, 14);
        bool error = m_status == Status::error;
        p.fillPath(box, QColor(0, 0, 0, error ? 153 : 115));
        if (error) {
            Symbols::paint(p, QRectF(0, 24, width(), 34), "exclamationmark.triangle", Qt::white);
            p.setPen(Qt::white);
            p.setFont(font());
            p.drawText(rect().adjusted(24, 24 + 34 + 12, -24, -24),
                       Qt::AlignHCenter | Qt::AlignTop | Qt::TextWordWrap, m_text);
            return;
        }
        QRectF ring((width() - 28) / 2.0, 22, 28, 28);
        p.setPen(QPen(QColor(255, 255, 255, 60), 3));
        p.drawEllipse(ring);
        p.setPen(QPen(Qt::white, 3, Qt::SolidLine, Qt::RoundCap));
        p.drawArc(ring, -m_angle * 16, 90 * 16);
        p.setPen(QColor(255, 255, 255, 217));
        p.drawText(QRect(0, 20 + 32 + 10, width(), fontMetrics().height()), Qt::AlignCenter,
                   m_text);
    }

private:
    void spinWhileShown() {
        if (m_status == Status::progress && isVisible())
            m_spin.start();
        else
            m_spin.stop();
    }

    Status m_status = Status::none;
    QString m_text;
    QTimer m_spin;
    int m_angle = 0;
};

bool PlayerWindow::statusSpinning() const {
    return m_statusBox->spinning();
}

PlayerWindow::PlayerWindow(PlayerModel& model, TorrentEngine& engine, QWidget* parent)
    : QWidget(parent), m_model(model), m_engine(engine) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAutoFillBackground(true);
    QPalette p = palette();
    p.setColor(QPalette::Window, Qt::black);
    setPalette(p);
    setMinimumSize(kMinimumSize);
    resize(kDefaultSize);
    setMouseTracking(true);
    setWindowTitle("Плеер");

    m_statusBox = new StatusBox(this);
    m_topBar = new TopBar(this);
    m_controlBar = new ControlBar(model, this);
    m_topFade = new QGraphicsOpacityEffect(m_topBar);
    m_barFade = new QGraphicsOpacityEffect(m_controlBar);
    for (auto* effect : {m_topFade, m_barFade}) {
        effect->setOpacity(1);
        // Painting through the effect costs a pixmap; only while fading.
        effect->setEnabled(false);
    }
    m_topBar->setGraphicsEffect(m_topFade);
    m_controlBar->setGraphicsEffect(m_barFade);
    m_fade = new QVariantAnimation(this);
    m_fade->setDuration(kFadeMs);
    m_fade->setEasingCurve(QEasingCurve::OutCubic);
    connect(m_fade, &QVariantAnimation::valueChanged, this, [this](const QVariant& v) {
        m_topFade->setOpacity(v.toDouble());
        m_barFade->setOpacity(v.toDouble());
    });
    connect(m_fade, &QVariantAnimation::finished, this, [this] {
        m_topFade->setEnabled(false);
        m_barFade->setEnabled(false);
        m_topBar->setVisible(m_controlsShown);
        m_controlBar->setVisible(m_controlsShown);
    });
    watchPointer(m_controlBar);
    watchPointer(m_statusBox);

    connect(&m_model, &PlayerModel::itemChanged, this, &PlayerWindow::refreshItem);
    for (auto signal : {&PlayerModel::loadedChanged, &PlayerModel::bufferingChanged,
                        &PlayerModel::waitingAfterSeekChanged, &PlayerModel::bufferProgressChanged,
                        &PlayerModel::errorChanged, &PlayerModel::itemChanged})
        connect(&m_model, signal, this, &PlayerWindow::refreshStatus);
    connect(&m_engine, &TorrentEngine::torrentsChanged, this, &PlayerWindow::refreshStatus);
    for (auto signal : {&PlayerModel::controlsVisibleChanged, &PlayerModel::pausedChanged,
                        &PlayerModel::loadedChanged})
        connect(&m_model, signal, this, &PlayerWindow::refreshControls);
    connect(&m_model, &PlayerModel::hideCursor, this, [this] {
        if (m_video)
            m_video->setCursor(Qt::BlankCursor);
    });

    refreshItem();
    refreshStatus();
    refreshControls();
}

PlayerWindow::~PlayerWindow() {
    if (m_model.window() == this)
        m_model.setWindow(nullptr);
}

QString PlayerWindow::progressText(bool loaded, bool waitingAfterSeek, bool buffering,
                                   std::optional<double> bufferProgress,
                                   std::int64_t downloadRate) {
    QString label = !loaded                          ? "Открытие"
                    : waitingAfterSeek && !buffering ? "Перемотка"
                                                     : "Буферизация";
    if (bufferProgress && std::isfinite(*bufferProgress))
        label +=
            " " + QString::number(static_cast<long long>(std::trunc(*bufferProgress * 100))) + "%";
    if (downloadRate >= 1)
        label += " · " + QString::fromStdString(Format::bytes(downloadRate)) + "/с";
    return label;
}

void PlayerWindow::makeVideo() {
    if (m_video)
        return;
    auto core = m_model.ensureCore();
    if (!core)
        return;
    m_video = new VideoView(core, this);
    m_video->onKey = [this](const QKeyEvent& e) { return m_model.handleKey(e); };
    m_video->onScroll = [this](const QWheelEvent& e) { return m_model.handleScroll(e); };
    m_video->onClick = [this] { m_model.poke(); };
    m_video->onDoubleClick = [this] { m_model.toggleFullScreen(); };
    m_video->onWindow = [this](QWidget* window) { m_model.setWindow(window); };
    m_model.setWindow(this);
    setFocusProxy(m_video);
    watchPointer(m_video);
    m_video->lower();
    m_video->setGeometry(rect());
    m_video->show();
    m_video->setFocus();
}

void PlayerWindow::watchPointer(QWidget* widget) {
    widget->setMouseTracking(true);
    widget->installEventFilter(this);
    for (QWidget* child : widget->findChildren<QWidget*>()) {
        child->setMouseTracking(true);
        child->installEventFilter(this);
    }
}

bool PlayerWindow::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
    case QEvent::MouseMove:
    case QEvent::Enter:
    case QEvent::Leave:
    case QEvent::HoverMove:
        pointerMoved();
        break;
    default:
        break;
    }
    return QWidget::eventFilter(watched, event);
}

bool PlayerWindow::event(QEvent* event) {
    switch (event->type()) {
    case QEvent::MouseMove:
    case QEvent::Enter:
    case QEvent::Leave:
        pointerMoved();
        break;
    default:
        break;
    }
    return QWidget::event(event);
}

void PlayerWindow::pointerMoved() {
    if (m_video)
        m_video->unsetCursor();
    m_model.poke();
}

void PlayerWindow::showEvent(QShowEvent* event) {
    makeVideo();
    QWidget::showEvent(event);
}

void PlayerWindow::closeEvent(QCloseEvent* event) {
    m_model.stop();
    if (m_video) {
        // The next opening builds a new view (and render context) for the core.
        setFocusProxy(nullptr);
        m_video->destroy();
        delete m_video;
    }
    if (m_model.window() == this)
        m_model.setWindow(nullptr);
    QWidget::closeEvent(event);
}

void PlayerWindow::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    layoutChildren();
}

void PlayerWindow::keyPressEvent(QKeyEvent* event) {
    if (m_model.handleKey(*event))
        return event->accept();
    QWidget::keyPressEvent(event);
}

void PlayerWindow::wheelEvent(QWheelEvent* event) {
    if (m_model.handleScroll(*event))
        return event->accept();
    QWidget::wheelEvent(event);
}

void PlayerWindow::layoutChildren() {
    if (m_video)
        m_video->setGeometry(rect());
    m_topBar->setGeometry(0, 0, width(), m_topBar->height());
    int barHeight = m_controlBar->sizeHint().height();
    m_controlBar->setGeometry(kBarSide, height() - kBarBottom - barHeight, width() - 2 * kBarSide,
                              barHeight);
    QSize box = m_statusBox->sizeHint();
    m_statusBox->setGeometry((width() - box.width()) / 2, (height() - box.height()) / 2,
                             box.width(), box.height());
}

void PlayerWindow::refreshItem() {
    const auto& item = m_model.item();
    m_fileName = item ? lastComponent(item->file.path) : QString();
    m_topBar->setText(m_fileName);
    setWindowTitle(item ? m_fileName : QString("Плеер"));
}

void PlayerWindow::refreshStatus() {
    Status status = Status::none;
    QString text;
    if (const auto& error = m_model.error()) {
        status = Status::error;
        text = QString::fromStdString(*error);
    } else if (!m_model.loaded() || m_model.buffering() || m_model.waitingAfterSeek()) {
        status = Status::progress;
        std::int64_t rate = 0;
        if (const auto& item = m_model.item())
            if (auto torrent = m_engine.torrent(item->torrentID))
                rate = torrent->downloadRate;
        text = progressText(m_model.loaded(), m_model.waitingAfterSeek(), m_model.buffering(),
                            m_model.bufferProgress(), rate);
    }
    if (status == m_status && text == m_statusText)
        return;
    m_status = status;
    m_statusText = text;
    m_statusBox->present(status, text);
    layoutChildren();
}

void PlayerWindow::refreshControls() {
    bool shown = m_model.controlsVisible() || m_model.paused() || !m_model.loaded();
    if (shown == m_controlsShown)
        return;
    m_controlsShown = shown;
    m_topFade->setEnabled(true);
    m_barFade->setEnabled(true);
    if (shown) {
        m_topBar->show();
        m_controlBar->show();
    }
    double from = m_fade->state() == QAbstractAnimation::Running ? m_fade->currentValue().toDouble()
                                                                 : (shown ? 0.0 : 1.0);
    m_fade->stop();
    m_fade->setStartValue(from);
    m_fade->setEndValue(shown ? 1.0 : 0.0);
    m_fade->start();
}

} // namespace tevro
