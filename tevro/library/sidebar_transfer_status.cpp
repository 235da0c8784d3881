#include "tevro/library/sidebar_transfer_status.h"

#include <QAbstractButton>
#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QPainter>
#include <QPainterPath>
#include <QVBoxLayout>
#include <QVariantAnimation>

#include "tevro/core/format.h"
#include "tevro/engine/torrent_engine.h"
#include "tevro/library/library_context.h"
#include "tevro/library/library_style.h"
#include "tevro/library/symbols.h"

namespace tevro {

namespace {

// The header: download symbol, the total rate, the chevron.
class HeaderButton : public QAbstractButton {
public:
    explicit HeaderButton(QWidget* parent) : QAbstractButton(parent) {
        setCursor(Qt::PointingHandCursor);
        setObjectName(QStringLiteral("sidebar.transferDetails"));
        setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    }
    void set(const QString& rate, bool collapsed) {
        m_rate = rate;
        m_collapsed = collapsed;
        const QString help = collapsed ? QStringLiteral("Развернуть сведения о загрузках")
                                       : QStringLiteral("Свернуть сведения о загрузках");
        setToolTip(help);
        setAccessibleName(help);
        setAccessibleDescription(QStringLiteral("Загрузка: ") + rate);
        update();
    }
    QString chevron() const {
        return m_collapsed ? QStringLiteral("chevron.right") : QStringLiteral("chevron.down");
    }
    QSize sizeHint() const override { return {180, 28}; }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        const qreal h = height();
        Symbols::paint(p, QRectF(0, (h - 20) / 2, 20, 20), "arrow.down.circle.fill",
                       LibraryStyle::accent());
        const qreal chevronSize = 14;
        const QRectF chevronRect(width() - chevronSize, (h - chevronSize) / 2, chevronSize,
                                 chevronSize);
        // Shrinks to 0.65 of 18 pixels before it would be cut.
        QFont font = LibraryStyle::font(18, QFont::Medium);
        const qreal room = chevronRect.left() - 27 - 4;
        for (qreal size = 18; size > 18 * 0.65; size -= 0.5) {
            font.setPixelSize(int(size));
            if (QFontMetricsF(font).horizontalAdvance(m_rate) <= room)
                break;
        }
        p.setFont(font);
        p.setPen(LibraryStyle::text());
        p.drawText(QRectF(27, 0, room, h), Qt::AlignVCenter | Qt::AlignLeft | Qt::TextSingleLine,
                   QFontMetricsF(font).elidedText(m_rate, Qt::ElideRight, room));
        Symbols::paint(p, chevronRect, chevron().toStdString(), LibraryStyle::muted());
    }

private:
    QString m_rate;
    bool m_collapsed = false;
};

// A small on-off switch.
class MiniSwitch : public QAbstractButton {
public:
    explicit MiniSwitch(QWidget* parent) : QAbstractButton(parent) {
        setCheckable(true);
        setCursor(Qt::PointingHandCursor);
    }
    QSize sizeHint() const override { return {26, 15}; }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        const QRectF track = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
        QPainterPath path;
        path.addRoundedRect(track, track.height() / 2, track.height() / 2);
        p.fillPath(path, isChecked() ? LibraryStyle::accent() : QColor::fromRgbF(1, 1, 1, 0.18f));
        const qreal d = track.height() - 3;
        const qreal x = isChecked() ? track.right() - 1.5 - d : track.left() + 1.5;
        p.setBrush(Qt::white);
        p.setPen(Qt::NoPen);
        p.drawEllipse(QRectF(x, track.top() + 1.5, d, d));
    }
};

// The settings entry: symbol and text on a faint accent while the settings show.
class SettingsButton : public QAbstractButton {
public:
    explicit SettingsButton(QWidget* parent) : QAbstractButton(parent) {
        setCheckable(true);
        setText(QStringLiteral("Настройки"));
        setObjectName(QStringLiteral("sidebar.settings"));
        setAccessibleName(QStringLiteral("Настройки"));
        setCursor(Qt::PointingHandCursor);
        setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    }
    QSize sizeHint() const override { return {160, 32}; }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        const bool on = isChecked();
        if (on) {
            QPainterPath path;
            path.addRoundedRect(QRectF(rect()), 8, 8);
            QColor faint = LibraryStyle::accent();
            faint.setAlphaF(0.12f);
            p.fillPath(path, faint);
        }
        const QColor fg = on ? LibraryStyle::accent() : LibraryStyle::muted();
        Symbols::paint(p, QRectF(8, (height() - 14) / 2.0, 14, 14), "slider.horizontal.3", fg);
        p.setFont(LibraryStyle::font(11, on ? QFont::DemiBold : QFont::Normal));
        p.setPen(fg);
        p.drawText(QRectF(28, 0, width() - 36, height()), Qt::AlignVCenter | Qt::AlignLeft, text());
    }
};

QLabel* mutedLabel(const QString& text, qreal size, QWidget* parent) {
    auto* l = new QLabel(text, parent);
    l->setFont(LibraryStyle::font(size));
    QPalette p = l->palette();
    p.setColor(QPalette::WindowText, LibraryStyle::muted());
    l->setPalette(p);
    return l;
}

QLabel* symbolLabel(const char* symbol, QWidget* parent) {
    auto* l = new QLabel(parent);
    l->setPixmap(Symbols::pixmap(symbol, LibraryStyle::muted(), 11, 2.0));
    return l;
}

// Caption (with its symbol), a spacer of at least 2 and the value; one
// accessible element "caption: value".
QLabel* statusRow(QVBoxLayout* into, QWidget* parent, const QString& caption, const char* symbol) {
    auto* row = new QWidget(parent);
    auto* h = new QHBoxLayout(row);
    h->setContentsMargins(0, 0, 0, 0);
    h->setSpacing(5);
    if (symbol)
        h->addWidget(symbolLabel(symbol, row));
    h->addWidget(mutedLabel(caption, 10, row));
    h->addSpacing(2);
    h->addStretch(1);
    auto* value = mutedLabel(QString(), 10, row);
    value->setObjectName(caption);
    h->addWidget(value);
    into->addWidget(row);
    return value;
}

} // namespace

SidebarTransferStatus::SidebarTransferStatus(TorrentEngine* engine, QWidget* parent)
    : QWidget(parent), m_engine(engine ? engine : LibraryContext::engine()) {
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, LibraryStyle::sidebar());
    setPalette(pal);

    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(14, 14, 14, 14);
    auto* panel = new QWidget(this);
    panel->setObjectName(QStringLiteral("sidebar.transferPanel"));
    panel->setAttribute(Qt::WA_StyledBackground);
    panel->setStyleSheet(
        QStringLiteral("#sidebar\\.transferPanel { background: %1; border-radius: 12px; }")
            .arg(LibraryStyle::surface().name()));
    outer->addWidget(panel);
    auto* column = new QVBoxLayout(panel);
    column->setContentsMargins(12, 12, 12, 12);
    column->setSpacing(8);

    auto* header = new HeaderButton(panel);
    m_header = header;
    connect(header, &QAbstractButton::clicked, this, &SidebarTransferStatus::toggleRequested);
    column->addWidget(header);

    m_details = new QWidget(panel);
    m_detailsLayout = new QVBoxLayout(m_details);
    m_detailsLayout->setContentsMargins(0, 0, 0, 0);
    m_detailsLayout->setSpacing(8);
    m_upload = statusRow(m_detailsLayout, m_details, QStringLiteral("Раздача"), nullptr);
    m_peers = statusRow(m_detailsLayout, m_details, QStringLiteral("Пиры"), "person.2");
    m_remaining =
        statusRow(m_detailsLayout, m_details, QStringLiteral("Осталось"), "arrow.down.to.line");
    m_networkSlot = new QWidget(m_details);
    auto* slotLayout = new QVBoxLayout(m_networkSlot);
    slotLayout->setContentsMargins(0, 0, 0, 0);
    m_networkSlot->hide();
    m_detailsLayout->addWidget(m_networkSlot);

    auto* divider = new QWidget(m_details);
    divider->setFixedHeight(1);
    divider->setAutoFillBackground(true);
    QPalette line = divider->palette();
    line.setColor(QPalette::Window, LibraryStyle::line());
    divider->setPalette(line);
    m_detailsLayout->addWidget(divider);

    auto* limits = new QWidget(m_details);
    auto* limitsRow = new QHBoxLayout(limits);
    limitsRow->setContentsMargins(0, 0, 0, 0);
    limitsRow->setSpacing(5);
    limitsRow->addWidget(symbolLabel("tortoise", limits));
    limitsRow->addWidget(mutedLabel(QStringLiteral("Лимиты"), 11, limits));
    limitsRow->addStretch(1);
    m_altSpeed = new MiniSwitch(limits);
    m_altSpeed->setObjectName(QStringLiteral("sidebar.altSpeed"));
    m_altSpeed->setAccessibleName(QStringLiteral("Лимиты"));
    m_altSpeed->setToolTip(QStringLiteral("Альтернативные лимиты скорости"));
    limitsRow->addWidget(m_altSpeed);
    limits->setToolTip(QStringLiteral("Альтернативные лимиты скорости"));
    m_detailsLayout->addWidget(limits);
    connect(m_altSpeed, &QAbstractButton::toggled, this, [this](bool on) {
        if (!m_engine || m_engine->settings().altSpeedEnabled == on)
            return;
        AppSettings settings = m_engine->settings();
        settings.altSpeedEnabled = on;
        m_engine->setSettings(settings);
    });

    m_settings = new SettingsButton(m_details);
    connect(m_settings, &QAbstractButton::clicked, this, [this] {
        m_settings->setChecked(m_settingsShown); // the window model decides
        emit settingsRequested();
    });
    m_detailsLayout->addWidget(m_settings);
    column->addWidget(m_details);
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);

    m_folding = new QVariantAnimation(this);
    m_folding->setDuration(180);
    m_folding->setEasingCurve(QEasingCurve::InOutQuad);
    connect(m_folding, &QVariantAnimation::valueChanged, this,
            [this](const QVariant& value) { m_details->setMaximumHeight(value.toInt()); });
    connect(m_folding, &QVariantAnimation::finished, this, [this] {
        m_details->setVisible(!m_collapsed);
        m_details->setMaximumHeight(QWIDGETSIZE_MAX);
    });

    if (m_engine) {
        connect(m_engine, &TorrentEngine::torrentsChanged, this, &SidebarTransferStatus::refresh);
        connect(m_engine, &TorrentEngine::sessionInfoChanged, this,
                &SidebarTransferStatus::refresh);
        connect(m_engine, &TorrentEngine::settingsChanged, this, &SidebarTransferStatus::refresh);
    }
    refresh();
}

QString SidebarTransferStatus::rateText(std::int64_t bytesPerSecond) {
    if (bytesPerSecond < 1)
        return QStringLiteral("—");
    return QString::fromStdString(Format::bytes(bytesPerSecond)) + QStringLiteral("/с");
}

QString SidebarTransferStatus::remainingText(const std::vector<TorrentStatus>& torrents) {
    std::int64_t sum = 0;
    bool waiting = false;
    for (const TorrentStatus& t : torrents) {
        sum += std::max<std::int64_t>(0, t.wanted - t.wantedDone);
        waiting = waiting || !t.hasMetadata;
    }
    if (waiting)
        return sum == 0 ? QStringLiteral("—")
                        : QString::fromStdString(Format::bytes(sum)) + QStringLiteral("+");
    return QString::fromStdString(Format::bytes(sum));
}

void SidebarTransferStatus::setCollapsed(bool collapsed) {
    if (collapsed == m_collapsed)
        return;
    m_collapsed = collapsed;
    fold();
    refresh();
}

void SidebarTransferStatus::fold() {
    m_folding->stop();
    if (m_reduceMotion || !isVisible()) {
        m_details->setMaximumHeight(QWIDGETSIZE_MAX);
        m_details->setVisible(!m_collapsed);
        return;
    }
    const int from = m_details->isVisible() ? m_details->height() : 0;
    const int to = m_collapsed ? 0 : m_details->sizeHint().height();
    m_details->setMaximumHeight(from);
    m_details->setVisible(true);
    m_folding->setStartValue(from);
    m_folding->setEndValue(to);
    m_folding->start();
}

void SidebarTransferStatus::setSettingsShown(bool shown) {
    m_settingsShown = shown;
    m_settings->setChecked(shown);
    m_settings->setAccessibleDescription(shown ? QStringLiteral("выбрано") : QString());
    m_settings->update();
}

void SidebarTransferStatus::setNetworkStatus(QWidget* widget) {
    auto* slotLayout = static_cast<QVBoxLayout*>(m_networkSlot->layout());
    while (QLayoutItem* item = slotLayout->takeAt(0)) {
        if (item->widget())
            item->widget()->deleteLater();
        delete item;
    }
    if (widget)
        slotLayout->addWidget(widget);
    m_networkSlot->setVisible(widget != nullptr);
}

void SidebarTransferStatus::refresh() {
    const SessionInfo info = m_engine ? m_engine->sessionInfo() : SessionInfo{};
    static const std::vector<TorrentStatus> none;
    const std::vector<TorrentStatus>& torrents = m_engine ? m_engine->torrents() : none;
    static_cast<HeaderButton*>(m_header)->set(rateText(info.download), m_collapsed);
    if (m_folding->state() != QAbstractAnimation::Running)
        m_details->setVisible(!m_collapsed);
    m_upload->setText(rateText(info.upload));
    std::int64_t peers = 0;
    for (const TorrentStatus& t : torrents)
        peers += t.peers;
    m_peers->setText(QLocale().toString(qlonglong(peers)));
    m_remaining->setText(remainingText(torrents));
    m_altSpeed->setChecked(m_engine && m_engine->settings().altSpeedEnabled);
    for (auto* row : {m_upload, m_peers, m_remaining})
        row->parentWidget()->setAccessibleName(row->objectName() + QStringLiteral(": ") +
                                               row->text());
}

} // namespace tevro
