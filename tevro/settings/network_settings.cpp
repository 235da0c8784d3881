#include "tevro/settings/network_settings.h"

#include <QDateTime>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPainter>
#include <QPlainTextEdit>
#include <QRandomGenerator>
#include <QVBoxLayout>

#include "tevro/engine/torrent_engine.h"
#include "tevro/library/library_style.h"
#include "tevro/settings/settings_choice.h"
#include "tevro/settings/settings_group.h"
#include "tevro/settings/settings_number.h"
#include "tevro/settings/settings_row.h"
#include "tevro/settings/settings_style.h"
#include "tevro/settings/settings_switch.h"

namespace tevro {

namespace {

// The custom tracker editor: monospaced 11-pixel text on a framed black box.
class TrackerEditor : public QPlainTextEdit {
public:
    explicit TrackerEditor(QWidget* parent) : QPlainTextEdit(parent) {
        QFont mono = QFontDatabase::systemFont(QFontDatabase::FixedFont);
        mono.setPixelSize(11);
        setFont(mono);
        setFrameShape(QFrame::NoFrame);
        setFixedHeight(100);
        setViewportMargins(8, 8, 8, 8);
        viewport()->setAutoFillBackground(false);
        setAutoFillBackground(false);
        setStyleSheet(QStringLiteral("QPlainTextEdit { background: transparent; color: white; }"));
        setAccessibleName(QStringLiteral("Свои трекеры"));
        setObjectName(QStringLiteral("field:Свои трекеры"));
    }
};

// The frame around the editor lies outside its viewport; the box draws it.
class EditorBox : public QWidget {
public:
    using QWidget::QWidget;

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        if (auto* editor = findChild<QPlainTextEdit*>())
            SettingsStyle::roundedBox(p, QRectF(editor->geometry()), 8, LibraryStyle::background(),
                                      LibraryStyle::line(), 1);
    }
};

} // namespace

QStringList NetworkSettings::encryptionLabels() {
    return {QStringLiteral("Разрешить"), QStringLiteral("Предпочитать"),
            QStringLiteral("Только шифрованные")};
}

QStringList NetworkSettings::proxyKindLabels() {
    return {QStringLiteral("Нет"), QStringLiteral("SOCKS5"), QStringLiteral("HTTP")};
}

NetworkSettings::NetworkSettings(TorrentEngine& engine, QWidget* parent)
    : SettingsPageWidget(engine, parent) {
    setObjectName(QStringLiteral("page:network"));

    auto* protection = addGroup(QStringLiteral("Защита"));
    protection->add(choiceRow(QStringLiteral("Шифрование"), QStringLiteral("Шифрование"),
                              &AppSettings::encryption, encryptionLabels()));
    protection->add(new SettingsDivider);
    protection->add(
        makeSwitch(QStringLiteral("Блокировать клиентов-пиявок"), &AppSettings::banLeechers));

    auto* connection = addGroup(QStringLiteral("Подключение"));
    auto* portBox = new QWidget;
    auto* portLine = new QHBoxLayout(portBox);
    portLine->setContentsMargins(0, 0, 0, 0);
    portLine->setSpacing(8);
    auto* port =
        new SettingsNumber(QStringLiteral("Входящий порт"), getter(&AppSettings::listenPort),
                           setter(&AppSettings::listenPort), QString(), false, portBox);
    onSync([port] { port->sync(); });
    portLine->addWidget(port);
    auto* random = new SettingsActionButton(QStringLiteral("Случайный"), portBox);
    connect(random, &QPushButton::clicked, this, &NetworkSettings::randomPort);
    portLine->addWidget(random);
    connection->add(new SettingsRow(QStringLiteral("Входящий порт"), portBox));
    const std::pair<const char*, bool AppSettings::*> switches[] = {
        {"UPnP / NAT-PMP", &AppSettings::upnp},
        {"IPv6", &AppSettings::ipv6},
        {"uTP", &AppSettings::utp},
        {"DHT", &AppSettings::dht},
        {"Поиск в локальной сети", &AppSettings::lsd}};
    for (const auto& [title, field] : switches) {
        connection->add(new SettingsDivider);
        connection->add(makeSwitch(QString::fromUtf8(title), field));
    }

    auto* trackers = addGroup(QStringLiteral("Трекеры"));
    trackers->add(makeSwitch(QStringLiteral("Публичные трекеры"), &AppSettings::autoTrackers));
    trackers->add(new SettingsDivider);
    trackers->add(makeSwitch(QStringLiteral("Зеркала трекеров"), &AppSettings::trackerMirrors));
    trackers->add(new SettingsDivider);
    auto* listBox = new QWidget;
    auto* listLine = new QHBoxLayout(listBox);
    listLine->setContentsMargins(0, 0, 0, 0);
    listLine->setSpacing(12);
    m_status = new QLabel(listBox);
    m_status->setObjectName(QStringLiteral("trackerStatus"));
    m_status->setWordWrap(true);
    m_status->setFont(LibraryStyle::font(11));
    QPalette pal = m_status->palette();
    pal.setColor(QPalette::WindowText, LibraryStyle::muted());
    m_status->setPalette(pal);
    m_status->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    listLine->addWidget(m_status, 1);
    m_refresh = new SettingsActionButton(QStringLiteral("Обновить"), listBox);
    connect(m_refresh, &QPushButton::clicked, this, &NetworkSettings::refresh);
    listLine->addWidget(m_refresh);
    auto* listRow = new SettingsRow(QStringLiteral("Список"), listBox);
    // The status text takes the row's width and wraps; the title keeps its own.
    auto* rowLine = qobject_cast<QBoxLayout*>(listRow->layout());
    rowLine->setStretch(0, 0);
    rowLine->setStretch(1, 1);
    trackers->add(listRow);
    auto showStatus = [this] {
        const auto& status = this->engine().trackerFetchStatus();
        m_status->setText(status ? QString::fromStdString(*status) : fetchedText());
        m_refresh->setEnabled(this->engine().settings().autoTrackers);
    };
    onSync(showStatus);
    connect(&engine, &TorrentEngine::trackerFetchStatusChanged, this, showStatus);
    trackers->add(new SettingsDivider);
    auto* custom = new EditorBox;
    auto* customColumn = new QVBoxLayout(custom);
    customColumn->setContentsMargins(16, 16, 16, 16);
    customColumn->setSpacing(12);
    auto* customTitle = new QLabel(QStringLiteral("Свои трекеры"), custom);
    customTitle->setFont(LibraryStyle::font(12));
    customColumn->addWidget(customTitle);
    m_custom = new TrackerEditor(custom);
    customColumn->addWidget(m_custom);
    trackers->add(custom);
    connect(m_custom, &QPlainTextEdit::textChanged, this, [this] {
        std::string text = m_custom->toPlainText().toStdString();
        if (text != this->engine().settings().customTrackers)
            write([&](AppSettings& s) { s.customTrackers = text; });
    });
    onSync([this] {
        QString stored = QString::fromStdString(this->engine().settings().customTrackers);
        if (m_custom->toPlainText() != stored)
            m_custom->setPlainText(stored);
    });

    auto* proxy = addGroup(QStringLiteral("Прокси"));
    proxy->add(choiceRow(QStringLiteral("Тип"), QStringLiteral("Тип прокси"),
                         &AppSettings::proxyKind, proxyKindLabels()));
    std::vector<QWidget*> proxyRows;
    auto addProxy = [&](QWidget* row) {
        auto* divider = new SettingsDivider;
        proxy->add(divider);
        proxy->add(row);
        proxyRows.push_back(divider);
        proxyRows.push_back(row);
    };
    addProxy(new SettingsRow(QStringLiteral("Адрес"), makeTextField(QStringLiteral("Адрес прокси"),
                                                                    &AppSettings::proxyHost)));
    addProxy(numberRow(QStringLiteral("Порт"), QStringLiteral("Порт прокси"),
                       &AppSettings::proxyPort, QString(), false));
    addProxy(new SettingsRow(QStringLiteral("Логин"), makeTextField(QStringLiteral("Логин прокси"),
                                                                    &AppSettings::proxyUser)));
    addProxy(new SettingsRow(
        QStringLiteral("Пароль"),
        makeTextField(QStringLiteral("Пароль прокси"), &AppSettings::proxyPassword, true)));
    addProxy(makeSwitch(QStringLiteral("Только для трекеров"), &AppSettings::proxyTrackersOnly));
    onSync([this, proxyRows] {
        bool shown = this->engine().settings().proxyKind != ProxyKind::none;
        for (auto* w : proxyRows)
            w->setVisible(shown);
    });
}

void NetworkSettings::randomPort() {
    std::int64_t port = kRandomPortLow + std::int64_t(QRandomGenerator::system()->bounded(
                                             quint32(kRandomPortHigh - kRandomPortLow + 1)));
    write([&](AppSettings& s) { s.listenPort = port; });
}

void NetworkSettings::refresh() {
    engine().refreshTrackers(true);
}

QString NetworkSettings::fetchedText() const {
    const AppSettings& s = engine().settings();
    if (!s.trackersFetchedAt)
        return QStringLiteral("Встроенный");
    auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                  s.trackersFetchedAt->time_since_epoch())
                  .count();
    QDateTime when = QDateTime::fromMSecsSinceEpoch(ms).toLocalTime();
    QLocale locale;
    return QString::number(s.fetchedTrackers.size()) + QStringLiteral(" · ") +
           locale.toString(when.date(), QLocale::ShortFormat) + QLatin1Char(' ') +
           locale.toString(when.time(), QLocale::ShortFormat);
}

} // namespace tevro
