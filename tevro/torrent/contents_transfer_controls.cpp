#include "tevro/torrent/contents_transfer_controls.h"

#include <QAction>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QVBoxLayout>

#include "tevro/core/format.h"
#include "tevro/engine/torrent_engine.h"
#include "tevro/library/checking_metrics.h"
#include "tevro/library/library_button_style.h"
#include "tevro/library/library_style.h"
#include "tevro/library/symbols.h"
#include "tevro/library/torrent_status_text.h"
#include "tevro/library/transfer_progress.h"
#include "tevro/torrent/popup_menu.h"

namespace tevro {

namespace {

QString bytes(std::int64_t n) {
    return QString::fromStdString(Format::bytes(std::max<std::int64_t>(0, n)));
}

QPushButton* button(const QString& text, std::string_view symbol) {
    auto* b = new QPushButton(text);
    LibraryButtonStyle::apply(b, false);
    LibraryButtonStyle::setSymbol(b, symbol);
    return b;
}

} // namespace

double ContentsTransferControls::doneFraction(const TorrentStatus& t) {
    double f = t.state == "checking" ? t.progress
               : t.wanted >= 1       ? static_cast<double>(t.wantedDone) / t.wanted
               : t.hasMetadata       ? 1.0
                                     : 0.0;
    return std::clamp(f, 0.0, 1.0);
}

std::optional<double> ContentsTransferControls::timeLeft(const TorrentStatus& t) {
    std::int64_t left = t.wanted - t.wantedDone;
    if (t.state == "checking" || left < 1 || t.paused)
        return std::nullopt;
    return static_cast<double>(left) / static_cast<double>(t.downloadRate);
}

bool ContentsTransferControls::resumable(const TorrentStatus& t) {
    return t.paused && !t.autoManaged;
}

QString ContentsTransferControls::metricsText(const TorrentStatus& t) {
    QString text = bytes(t.wantedDone) + QStringLiteral(" из ") + bytes(t.wanted);
    if (t.downloadRate >= 1)
        text += QStringLiteral("     ↓ ") + bytes(t.downloadRate) +
                QStringLiteral("/с     Осталось: ") +
                QString::fromStdString(Format::duration(timeLeft(t)));
    return text;
}

ContentsTransferControls::ContentsTransferControls(TorrentEngine& engine, QWidget* parent)
    : QWidget(parent), m_engine(engine) {
    auto* v = new QVBoxLayout(this);
    v->setContentsMargins(0, 0, 0, 0);
    v->setSpacing(10);
    auto* statusRow = new QHBoxLayout;
    statusRow->setSpacing(5);
    m_statusSymbol = new QLabel;
    statusRow->addWidget(m_statusSymbol);
    m_status = new QLabel;
    m_status->setFont(LibraryStyle::font(12, QFont::Medium));
    statusRow->addWidget(m_status);
    statusRow->addStretch();
    statusRow->addSpacing(12);
    m_percent = new QLabel;
    m_percent->setFont(LibraryStyle::font(12, QFont::Medium));
    statusRow->addWidget(m_percent);
    v->addLayout(statusRow);
    m_progress = new TransferProgress(5, &engine);
    m_progress->setFixedHeight(5);
    v->addWidget(m_progress);
    m_checking = new CheckingMetrics;
    v->addWidget(m_checking);
    m_metrics = new QLabel;
    m_metrics->setFont(LibraryStyle::font(11));
    QPalette mp = m_metrics->palette();
    mp.setColor(QPalette::WindowText, LibraryStyle::muted());
    m_metrics->setPalette(mp);
    v->addWidget(m_metrics);

    auto* buttons = new QHBoxLayout;
    buttons->setContentsMargins(0, 2, 0, 0);
    buttons->setSpacing(10);
    m_pause = button(QStringLiteral("Пауза"), "pause.fill");
    m_pause->setObjectName(QStringLiteral("contents.togglePause"));
    connect(m_pause, &QPushButton::clicked, this, [this] { m_engine.togglePause(m_torrent.id); });
    buttons->addWidget(m_pause);
    m_check = button(QStringLiteral("Проверить файлы"), "arrow.triangle.2.circlepath");
    m_check->setObjectName(QStringLiteral("contents.recheck"));
    m_check->setAccessibleName(QStringLiteral("Проверить все файлы торрента"));
    connect(m_check, &QPushButton::clicked, this,
            [this] { m_engine.action("recheck", {m_torrent.id}); });
    buttons->addWidget(m_check);
    m_more = button(QStringLiteral("Ещё"), "ellipsis");
    m_more->setAccessibleName(QStringLiteral("Действия со всем торрентом"));
    auto* menu = new QMenu(m_more);
    menu->addAction(QStringLiteral("Принудительный старт"), this,
                    [this] { m_engine.action("force_start", {m_torrent.id}); });
    m_sequential = menu->addAction(QStringLiteral("Последовательная загрузка"));
    m_sequential->setCheckable(true);
    connect(m_sequential, &QAction::triggered, this, [this](bool on) {
        m_engine.action(on ? "sequential_on" : "sequential_off", {m_torrent.id});
    });
    menu->addAction(QStringLiteral("Ограничения…"), this,
                    &ContentsTransferControls::limitsRequested);
    menu->addAction(QStringLiteral("Переместить…"), this, &ContentsTransferControls::moveRequested);
    menu->addAction(QStringLiteral("Обновить трекеры"), this,
                    [this] { m_engine.action("reannounce", {m_torrent.id}); });
    menu->addSeparator();
    menu->addAction(QStringLiteral("Удалить…"), this, &ContentsTransferControls::removeRequested);
    m_menu = menu;
    popUpOnClick(m_more, menu);
    buttons->addWidget(m_more);
    buttons->addStretch();
    v->addLayout(buttons);
}

QMenu* ContentsTransferControls::actionsMenu() const {
    return m_menu;
}

void ContentsTransferControls::setTorrent(const TorrentStatus& t) {
    m_torrent = t;
    const bool checking = t.state == "checking";
    m_status->setText(QString::fromStdString(TorrentStatusText::statusText(t)));
    const QColor& tint = t.error.empty() ? LibraryStyle::accent() : LibraryStyle::red();
    QPalette sp = m_status->palette();
    sp.setColor(QPalette::WindowText, tint);
    m_status->setPalette(sp);
    m_statusSymbol->setPixmap(Symbols::pixmap(TorrentStatusText::statusSymbol(t), tint, 12,
                                              m_statusSymbol->devicePixelRatioF()));
    m_percent->setText(QString::fromStdString(Format::percent(doneFraction(t))));
    m_progress->setTorrent(t);
    m_checking->setVisible(checking);
    if (checking)
        m_checking->setTorrent(t);
    m_metrics->setVisible(!checking);
    m_metrics->setText(metricsText(t));

    if (resumable(t)) {
        QString word =
            t.state == "missing" ? QStringLiteral("Перезапустить") : QStringLiteral("Возобновить");
        m_pause->setText(word);
        m_pause->setAccessibleName(word + QStringLiteral(" весь торрент"));
        LibraryButtonStyle::setSymbol(m_pause, "play.fill");
    } else {
        m_pause->setText(QStringLiteral("Пауза"));
        m_pause->setAccessibleName(QStringLiteral("Приостановить весь торрент"));
        LibraryButtonStyle::setSymbol(m_pause, "pause.fill");
    }
    m_check->setEnabled(t.hasMetadata && !checking && !t.moving);
    m_sequential->setChecked(t.sequential);
}

} // namespace tevro
