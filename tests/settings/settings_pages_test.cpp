#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTcpSocket>
#include <QTest>

#include <gtest/gtest.h>

#include "tests/settings/settings_fixture.h"
#include "tests/support/loopback_http_server.h"
#include "tests/support/qt_app.h"
#include "tests/support/swarm/generated_torrent.h"
#include "tests/support/swarm/loopback_engine_settings.h"
#include "tevro/core/storage.h"
#include "tevro/settings/downloads_settings.h"
#include "tevro/settings/network_settings.h"
#include "tevro/settings/player_settings.h"
#include "tevro/settings/settings_choice.h"
#include "tevro/settings/settings_number.h"
#include "tevro/settings/settings_stepper.h"
#include "tevro/settings/settings_switch.h"
#include "tevro/settings/speed_settings.h"

using namespace tevro;
using namespace std::chrono_literals;

namespace {

class SettingsPagesTest : public test::SettingsTest {
public:
    std::unique_ptr<SettingsPageWidget> makePage(const std::string& name) {
        std::unique_ptr<SettingsPageWidget> page;
        if (name == "downloads")
            page = std::make_unique<DownloadsSettings>(*engine);
        else if (name == "speed")
            page = std::make_unique<SpeedSettings>(*engine);
        else if (name == "network")
            page = std::make_unique<NetworkSettings>(*engine);
        else
            page = std::make_unique<PlayerSettings>(*engine);
        page->resize(720, 1600);
        page->show();
        return page;
    }

    void commitNumber(QWidget& page, const QString& title, const QString& text) {
        auto* number = child<SettingsNumber>(page, "number:" + title);
        ASSERT_NE(number, nullptr);
        number->field()->setFocus();
        number->field()->selectAll();
        QTest::keyClicks(number->field(), text);
        QTest::keyClick(number->field(), Qt::Key_Return);
    }
    void clickSwitch(QWidget& page, const QString& title) {
        auto* sw = child<SettingsSwitch>(page, "switch:" + title);
        ASSERT_NE(sw, nullptr);
        QTest::mouseClick(sw, Qt::LeftButton, {}, QPoint(20, sw->height() / 2));
    }
    void pick(QWidget& page, const QString& title, int index) {
        auto* choice = child<SettingsChoice>(page, "choice:" + title);
        ASSERT_NE(choice, nullptr);
        QTest::mouseClick(choice, Qt::LeftButton);
        ASSERT_TRUE(choice->expanded());
        QTest::mouseClick(choice->popup()->findChildren<QPushButton*>()[index], Qt::LeftButton);
    }
    void type(QWidget& page, const QString& name, const QString& text) {
        auto* field = child<QLineEdit>(page, "field:" + name);
        ASSERT_NE(field, nullptr);
        field->setFocus();
        field->selectAll();
        QTest::keyClick(field, Qt::Key_Delete);
        QTest::keyClicks(field, text);
    }
    void step(QWidget& page, const QString& title, bool up) {
        auto* stepper = child<SettingsStepper>(page, "stepper:" + title);
        ASSERT_NE(stepper, nullptr);
        QTest::mouseClick(up ? stepper->plus() : stepper->minus(), Qt::LeftButton);
    }
};

// Each edit on a page changes exactly its own field of the settings.
TEST_F(SettingsPagesTest, EveryEditChangesExactlyItsField) {
    QString ratio = QLocale().toString(1.5);
    std::string chosen = (dir / "elsewhere").string();
    struct Case {
        const char* page;
        const char* what;
        std::function<void(SettingsPagesTest&, SettingsPageWidget&)> edit;
        std::function<void(AppSettings&)> expect;
    };
    const std::vector<Case> cases = {
        {"downloads", "add paused",
         [](auto& t, auto& p) { t.clickSwitch(p, "Добавлять на паузе"); },
         [](AppSettings& s) { s.addPaused = true; }},
        {"downloads", "active downloads",
         [](auto& t, auto& p) { t.step(p, "Одновременные загрузки", true); },
         [](AppSettings& s) { s.activeDownloads = 6; }},
        {"downloads", "active seeds",
         [](auto& t, auto& p) { t.step(p, "Одновременные раздачи", false); },
         [](AppSettings& s) { s.activeSeeds = 9; }},
        {"downloads", "ratio",
         [&](auto&, auto& p) {
             auto* field = static_cast<DownloadsSettings&>(p).ratioField();
             field->setFocus();
             field->selectAll();
             QTest::keyClicks(field, ratio);
             QTest::keyClick(field, Qt::Key_Return);
         },
         [](AppSettings& s) { s.ratioLimit = 1.5; }},
        {"downloads", "seed time",
         [](auto& t, auto& p) { t.commitNumber(p, "Время раздачи", "90"); },
         [](AppSettings& s) { s.seedTimeLimitMinutes = 90; }},
        {"downloads", "folder",
         [&](auto&, auto& p) {
             auto& d = static_cast<DownloadsSettings&>(p);
             d.setFolderChooser([&](const QString&) { return QString::fromStdString(chosen); });
             QTest::mouseClick(p.template findChild<QPushButton*>(), Qt::LeftButton);
         },
         [&](AppSettings& s) { s.downloadDirectory = chosen; }},
        {"speed", "download limit",
         [](auto& t, auto& p) { t.commitNumber(p, "Лимит загрузки", "500"); },
         [](AppSettings& s) { s.downloadLimitKiB = 500; }},
        {"speed", "upload limit", [](auto& t, auto& p) { t.commitNumber(p, "Лимит отдачи", "-5"); },
         [](AppSettings& s) { s.uploadLimitKiB = -5; }},
        // Above what the session can take, a rate is stored as the largest it takes.
        {"speed", "alt download",
         [](auto& t, auto& p) {
             t.commitNumber(p, "Альтернативный лимит загрузки", "9007199254740991");
         },
         [](AppSettings& s) { s.altDownloadLimitKiB = 2097151; }},
        {"speed", "alt upload",
         [](auto& t, auto& p) { t.commitNumber(p, "Альтернативный лимит отдачи", "64"); },
         [](AppSettings& s) { s.altUploadLimitKiB = 64; }},
        {"speed", "alt switch",
         [](auto& t, auto& p) { t.clickSwitch(p, "Использовать альтернативные лимиты"); },
         [](AppSettings& s) { s.altSpeedEnabled = true; }},
        {"speed", "connections",
         [](auto& t, auto& p) { t.commitNumber(p, "Максимум соединений", "200"); },
         [](AppSettings& s) { s.maxConnections = 200; }},
        {"network", "encryption", [](auto& t, auto& p) { t.pick(p, "Шифрование", 2); },
         [](AppSettings& s) { s.encryption = EncryptionMode::require; }},
        {"network", "leechers",
         [](auto& t, auto& p) { t.clickSwitch(p, "Блокировать клиентов-пиявок"); },
         [](AppSettings& s) { s.banLeechers = true; }},
        {"network", "port", [](auto& t, auto& p) { t.commitNumber(p, "Входящий порт", "80"); },
         [](AppSettings& s) { s.listenPort = 80; }},
        {"network", "upnp", [](auto& t, auto& p) { t.clickSwitch(p, "UPnP / NAT-PMP"); },
         [](AppSettings& s) { s.upnp = true; }},
        {"network", "ipv6", [](auto& t, auto& p) { t.clickSwitch(p, "IPv6"); },
         [](AppSettings& s) { s.ipv6 = true; }},
        {"network", "utp", [](auto& t, auto& p) { t.clickSwitch(p, "uTP"); },
         [](AppSettings& s) { s.utp = false; }},
        {"network", "dht", [](auto& t, auto& p) { t.clickSwitch(p, "DHT"); },
         [](AppSettings& s) { s.dht = true; }},
        {"network", "lsd", [](auto& t, auto& p) { t.clickSwitch(p, "Поиск в локальной сети"); },
         [](AppSettings& s) { s.lsd = true; }},
        {"network", "public trackers",
         [](auto& t, auto& p) { t.clickSwitch(p, "Публичные трекеры"); },
         [](AppSettings& s) { s.autoTrackers = true; }},
        {"network", "mirrors", [](auto& t, auto& p) { t.clickSwitch(p, "Зеркала трекеров"); },
         [](AppSettings& s) { s.trackerMirrors = true; }},
        {"network", "custom trackers",
         [](auto&, auto& p) {
             auto* editor = static_cast<NetworkSettings&>(p).customTrackers();
             editor->setFocus();
             QTest::keyClicks(editor, "udp://a.invalid:1");
             QTest::keyClick(editor, Qt::Key_Return);
             QTest::keyClicks(editor, "udp://b.invalid:2");
         },
         [](AppSettings& s) { s.customTrackers = "udp://a.invalid:1\nudp://b.invalid:2"; }},
        {"network", "proxy kind", [](auto& t, auto& p) { t.pick(p, "Тип прокси", 1); },
         [](AppSettings& s) { s.proxyKind = ProxyKind::socks5; }},
        {"player", "audio", [](auto& t, auto& p) { t.type(p, "Языки аудио", "eng, en"); },
         [](AppSettings& s) { s.audioLanguages = "eng, en"; }},
        {"player", "subtitles", [](auto& t, auto& p) { t.type(p, "Языки субтитров", ""); },
         [](AppSettings& s) { s.subtitleLanguages = ""; }},
        {"player", "subtitle mode", [](auto& t, auto& p) { t.pick(p, "Включать субтитры", 2); },
         [](AppSettings& s) { s.subtitleMode = SubtitleMode::never; }},
        {"player", "remember",
         [](auto& t, auto& p) { t.clickSwitch(p, "Запоминать выбор для сериала"); },
         [](AppSettings& s) { s.rememberTracks = false; }},
        {"player", "resume",
         [](auto& t, auto& p) { t.clickSwitch(p, "Продолжать с места остановки"); },
         [](AppSettings& s) { s.resumePlayback = false; }},
        {"player", "next",
         [](auto& t, auto& p) { t.clickSwitch(p, "Следующая серия автоматически"); },
         [](AppSettings& s) { s.autoplayNext = false; }},
        {"player", "hwdec", [](auto& t, auto& p) { t.clickSwitch(p, "Аппаратное декодирование"); },
         [](AppSettings& s) { s.hardwareDecoding = false; }},
    };
    const AppSettings original = engine->settings();
    for (const auto& c : cases) {
        engine->setSettings(original);
        auto page = makePage(c.page);
        AppSettings expected = engine->settings();
        c.expect(expected);
        c.edit(*this, *page);
        EXPECT_TRUE(engine->settings() == expected) << c.page << ": " << c.what;
    }
}

// The controls show what the settings hold, also after a change made elsewhere.
TEST_F(SettingsPagesTest, ControlsShowTheStoredValues) {
    auto speed = makePage("speed");
    auto* down = child<SettingsNumber>(*speed, "number:Лимит загрузки");
    auto* altDown = child<SettingsNumber>(*speed, "number:Альтернативный лимит загрузки");
    EXPECT_EQ(down->field()->text(), "0");
    EXPECT_EQ(down->unitLabel()->text(), "∞");
    EXPECT_EQ(altDown->field()->text(), "1024");
    EXPECT_EQ(altDown->unitLabel()->text(), "КиБ/с");

    AppSettings s = engine->settings();
    s.downloadLimitKiB = 777;
    s.altSpeedEnabled = true; // as the sidebar's switch does
    engine->setSettings(s);
    EXPECT_EQ(down->field()->text(), "777");
    EXPECT_TRUE(
        child<SettingsSwitch>(*speed, "switch:Использовать альтернативные лимиты")->isChecked());

    auto player = makePage("player");
    EXPECT_EQ(child<QLineEdit>(*player, "field:Языки аудио")->text(), "rus, ru");
    EXPECT_EQ(child<SettingsChoice>(*player, "choice:Включать субтитры")->text(),
              "Если аудио на другом языке");

    auto downloads = makePage("downloads");
    EXPECT_EQ(static_cast<DownloadsSettings&>(*downloads).ratioField()->text(), "0");
    EXPECT_EQ(
        child<SettingsStepper>(*downloads, "stepper:Одновременные загрузки")->valueLabel()->text(),
        "5");
    s.ratioLimit = 1.256;
    engine->setSettings(s);
    EXPECT_EQ(static_cast<DownloadsSettings&>(*downloads).ratioField()->text(),
              QLocale().toString(1.26));
}

TEST_F(SettingsPagesTest, TwentyQuickKeystrokesSaveOnceAfterTheLast) {
    auto page = makePage("player");
    auto* field = child<QLineEdit>(*page, "field:Языки аудио");
    test::SaveCounter saves(dir / "home", Storage::kSettingsFile);
    field->setFocus();
    field->selectAll();
    QTest::keyClick(field, Qt::Key_Delete);
    const QString text = "eng, en, fre, fr, de";
    ASSERT_EQ(text.size(), 20);
    for (QChar c : text) {
        QTest::keyClick(field, c.toLatin1());
        EXPECT_EQ(engine->settings().audioLanguages, field->text().toStdString());
    }
    EXPECT_EQ(saves.count(), 0);
    auto file = dir / "home" / Storage::kSettingsFile;
    ASSERT_TRUE(test::waitUntil(
        [&] { return Storage::loadSettings(file).audioLanguages == text.toStdString(); }));
    test::spinFor(800ms);
    EXPECT_EQ(saves.count(), 1);
}

TEST_F(SettingsPagesTest, EditsReachTheLiveSession) {
    auto speed = makePage("speed");
    commitNumber(*speed, "Лимит загрузки", "500");
    EXPECT_EQ(sessionSetting("download_rate_limit"), 500 * 1024);
    clickSwitch(*speed, "Использовать альтернативные лимиты");
    EXPECT_EQ(sessionSetting("download_rate_limit"), 1024 * 1024);
    EXPECT_EQ(sessionSetting("upload_rate_limit"), 128 * 1024);
    commitNumber(*speed, "Максимум соединений", "200");
    EXPECT_EQ(sessionSetting("connections_limit"), 200);

    // A new incoming port: the session listens there.
    auto network = makePage("network");
    int newPort = swarm::freeLoopbackPort();
    commitNumber(*network, "Входящий порт", QString::number(newPort));
    EXPECT_EQ(engine->settings().listenPort, newPort);
    EXPECT_TRUE(test::waitUntil([&] {
        QTcpSocket socket;
        socket.connectToHost("127.0.0.1", quint16(newPort));
        return socket.waitForConnected(500);
    }));
}

TEST_F(SettingsPagesTest, RandomPortStaysInItsRange) {
    auto page = makePage("network");
    std::int64_t low = 70000, high = 0;
    for (int i = 0; i < 200; ++i) {
        auto* random = [&]() -> QPushButton* {
            for (auto* b : page->findChildren<QPushButton*>())
                if (b->text() == "Случайный")
                    return b;
            return nullptr;
        }();
        ASSERT_NE(random, nullptr);
        QTest::mouseClick(random, Qt::LeftButton);
        std::int64_t port = engine->settings().listenPort;
        ASSERT_GE(port, NetworkSettings::kRandomPortLow);
        ASSERT_LE(port, NetworkSettings::kRandomPortHigh);
        low = std::min(low, port);
        high = std::max(high, port);
    }
    EXPECT_LT(low, high); // not one fixed port
    // The number field shows the port drawn.
    EXPECT_EQ(child<SettingsNumber>(*page, "number:Входящий порт")->field()->text(),
              QString::number(engine->settings().listenPort));
}

TEST_F(SettingsPagesTest, ProxyRowsFollowTheKindAndKeepTheirValues) {
    auto page = makePage("network");
    auto* host = child<QLineEdit>(*page, "field:Адрес прокси");
    EXPECT_FALSE(host->isVisibleTo(page.get()));
    pick(*page, "Тип прокси", 2);
    EXPECT_TRUE(host->isVisibleTo(page.get()));
    type(*page, "Адрес прокси", "proxy.local");
    EXPECT_EQ(engine->settings().proxyHost, "proxy.local");
    EXPECT_EQ(child<QLineEdit>(*page, "field:Пароль прокси")->echoMode(), QLineEdit::Password);
    pick(*page, "Тип прокси", 0);
    EXPECT_FALSE(host->isVisibleTo(page.get()));
    EXPECT_EQ(engine->settings().proxyHost, "proxy.local");
}

// A folder name may hold a line break, which would inject lines into the
// session's texts: it is refused with the settings' own message.
TEST_F(SettingsPagesTest, ALineBreakIsRefusedWithTheSettingsMessage) {
    auto page = makePage("downloads");
    auto& downloads = static_cast<DownloadsSettings&>(*page);
    const AppSettings before = engine->settings();
    downloads.setFolderChooser([&](const QString&) { return QString("/tmp/a\nsave_path=/"); });
    downloads.chooseDirectory();
    EXPECT_TRUE(engine->settings() == before);
    EXPECT_EQ(engine->toast(), "Папка загрузок не может содержать перевод строки");

    // Cancelling the chooser changes nothing either.
    downloads.setFolderChooser([](const QString&) { return std::nullopt; });
    downloads.chooseDirectory();
    EXPECT_TRUE(engine->settings() == before);
}

TEST_F(SettingsPagesTest, PublicTrackerListRefreshAndFailure) {
    test::LoopbackHttpServer server;
    QByteArray list;
    for (int i = 0; i < 12; ++i)
        list += "udp://tracker" + QByteArray::number(i) + ".invalid:6969/announce\n";
    server.route("/trackers.txt", {200, list, false});
    server.route("/down", {503, "busy", false});
    engine->shutdown();
    auto o = options();
    o.trackerSources = {server.url("/trackers.txt")};
    engine = std::make_unique<TorrentEngine>(o);

    auto page = makePage("network");
    auto& network = static_cast<NetworkSettings&>(*page);
    EXPECT_EQ(network.statusLabel()->text(), "Встроенный");
    EXPECT_FALSE(network.refreshButton()->isEnabled()); // public lists are off
    clickSwitch(*page, "Публичные трекеры");
    EXPECT_TRUE(network.refreshButton()->isEnabled());
    QTest::mouseClick(network.refreshButton(), Qt::LeftButton);
    EXPECT_EQ(network.statusLabel()->text(), "Обновление…");
    ASSERT_TRUE(
        test::waitUntil([&] { return network.statusLabel()->text() == "12 · 127.0.0.1"; }, 30s))
        << network.statusLabel()->text().toStdString();
    EXPECT_EQ(server.requests("/trackers.txt"), 1);
    EXPECT_EQ(engine->settings().fetchedTrackers.size(), 12u);
    // The fetched list reaches a torrent's trackers.
    swarm::GeneratedTorrent::Options o2;
    o2.name = "listed";
    auto torrent = swarm::GeneratedTorrent::create(dir / "seed", o2);
    auto added = engine->addTorrent(torrent.torrentPath(), (dir / "downloads").string(),
                                    std::nullopt, true, false);
    ASSERT_TRUE(added);
    std::vector<TrackerInfo> trackers;
    EXPECT_TRUE(test::waitUntil([&] {
        bool answered = false;
        engine->trackers(added->id, [&](std::vector<TrackerInfo> t) {
            trackers = std::move(t);
            answered = true;
        });
        test::waitUntil([&] { return answered; });
        return std::any_of(trackers.begin(), trackers.end(), [](const TrackerInfo& t) {
            return t.url == "udp://tracker3.invalid:6969/announce";
        });
    })) << trackers.size();

    // A new run shows the count and the time of the stored list.
    engine->shutdown();
    o.trackerSources = {server.url("/down")};
    engine = std::make_unique<TorrentEngine>(o);
    page = makePage("network");
    auto& again = static_cast<NetworkSettings&>(*page);
    EXPECT_TRUE(again.statusLabel()->text().startsWith("12 · "))
        << again.statusLabel()->text().toStdString();
    QTest::mouseClick(again.refreshButton(), Qt::LeftButton);
    ASSERT_TRUE(test::waitUntil(
        [&] { return again.statusLabel()->text() == "Источники недоступны"; }, 30s));
    EXPECT_EQ(engine->settings().fetchedTrackers.size(), 12u);

    clickSwitch(*page, "Публичные трекеры");
    EXPECT_FALSE(again.refreshButton()->isEnabled());
}

} // namespace
