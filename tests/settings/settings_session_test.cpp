// The network page's encryption and proxy choices, read back from what the
// live session does with them.

#include <QLineEdit>
#include <QPushButton>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

#include <gtest/gtest.h>

#include "tests/settings/settings_fixture.h"
#include "tests/support/qt_app.h"
#include "tests/support/swarm/generated_torrent.h"
#include "tevro/settings/network_settings.h"
#include "tevro/settings/settings_choice.h"
#include "tevro/settings/settings_number.h"

using namespace tevro;
using namespace std::chrono_literals;

namespace {

class SettingsSessionTest : public test::SettingsTest {
protected:
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
    void commitNumber(QWidget& page, const QString& title, const QString& text) {
        auto* number = child<SettingsNumber>(page, "number:" + title);
        ASSERT_NE(number, nullptr);
        number->field()->setFocus();
        number->field()->selectAll();
        QTest::keyClicks(number->field(), text);
        QTest::keyClick(number->field(), Qt::Key_Return);
    }

    // Offers a plaintext handshake for the torrent; true when the session
    // answers with its own.
    bool plaintextAccepted(const QByteArray& infoHash) {
        QTcpSocket socket;
        socket.connectToHost("127.0.0.1", quint16(engine->settings().listenPort));
        if (!socket.waitForConnected(3000))
            return false;
        QByteArray hello;
        hello += char(19);
        hello += "BitTorrent protocol";
        hello += QByteArray(8, '\0');
        hello += infoHash;
        hello += QByteArray("-XX0001-abcdefghijkl");
        socket.write(hello);
        QByteArray answer;
        test::waitUntil(
            [&] {
                socket.waitForReadyRead(50);
                answer += socket.readAll();
                return answer.size() >= 68 || socket.state() != QAbstractSocket::ConnectedState;
            },
            5s);
        return answer.startsWith(QByteArray(1, char(19)) + "BitTorrent protocol");
    }
};

TEST_F(SettingsSessionTest, EncryptionChoiceDecidesWhetherPlaintextPeersGetIn) {
    swarm::GeneratedTorrent::Options o;
    o.name = "enc";
    o.v1Only = true;
    auto torrent = swarm::GeneratedTorrent::create(dir / "seed", o);
    ASSERT_TRUE(engine->addTorrent(torrent.torrentPath(), (dir / "downloads").string(),
                                   std::nullopt, false, false));
    auto v1 = torrent.infoHashes().v1;
    QByteArray hash(reinterpret_cast<const char*>(v1.data()), int(v1.size()));

    NetworkSettings page(*engine);
    page.show();
    ASSERT_TRUE(test::waitUntil([&] { return plaintextAccepted(hash); }, 20s));
    pick(page, "Шифрование", 2); // "Только шифрованные"
    EXPECT_EQ(engine->settings().encryption, EncryptionMode::require);
    EXPECT_FALSE(plaintextAccepted(hash));
    pick(page, "Шифрование", 0);
    EXPECT_TRUE(test::waitUntil([&] { return plaintextAccepted(hash); }, 20s));
}

TEST_F(SettingsSessionTest, HttpProxyCarriesTheTrackerAnnounce) {
    // The proxy stand-in records the first line of every request it gets.
    QTcpServer proxy;
    ASSERT_TRUE(proxy.listen(QHostAddress::LocalHost));
    QStringList requests;
    QObject::connect(&proxy, &QTcpServer::newConnection, [&] {
        while (auto* socket = proxy.nextPendingConnection()) {
            QObject::connect(socket, &QTcpSocket::readyRead, socket, [socket, &requests] {
                QByteArray data = socket->readAll();
                requests << QString::fromLatin1(data.left(data.indexOf("\r\n")));
                socket->write(
                    "HTTP/1.1 503 Busy\r\nContent-Length: 0\r\nConnection: close\r\n\r\n");
                socket->disconnectFromHost();
            });
        }
    });

    NetworkSettings page(*engine);
    page.show();
    pick(page, "Тип прокси", 2); // HTTP
    type(page, "Адрес прокси", "127.0.0.1");
    commitNumber(page, "Порт прокси", QString::number(proxy.serverPort()));

    swarm::GeneratedTorrent::Options o;
    o.name = "announce";
    o.trackers = {"http://tracker.invalid:6969/announce"};
    auto torrent = swarm::GeneratedTorrent::create(dir / "seed", o);
    ASSERT_TRUE(engine->addTorrent(torrent.torrentPath(), (dir / "downloads").string(),
                                   std::nullopt, false, false));
    ASSERT_TRUE(test::waitUntil(
        [&] { return requests.filter("http://tracker.invalid:6969/announce?").size() > 0; }, 30s))
        << requests.join(" | ").toStdString();
}

} // namespace
