// What a screen reader reads of the real main window over AT-SPI, from
// outside the process: Xvfb with Qt's xcb platform, a private session bus
// with the accessibility bus on it, and a Python client walking the tree.

#include <csignal>
#include <cstdlib>
#include <memory>

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTest>

#include "tests/shell/shell_fixture.h"
#include "tests/support/playback/xvfb_display.h"
#include "tevro/shell/main_window.h"

extern char** environ;

using namespace tevro;
using namespace std::chrono_literals;

namespace {

// A program of the desktop session, ended with the test.
struct Service {
    pid_t pid = -1;
    ~Service() {
        if (pid > 0) {
            ::kill(pid, SIGTERM);
            ::waitpid(pid, nullptr, 0);
        }
    }
    bool start(std::vector<std::string> argv) {
        std::vector<char*> args;
        for (auto& a : argv)
            args.push_back(a.data());
        args.push_back(nullptr);
        return posix_spawnp(&pid, args[0], nullptr, nullptr, args.data(), environ) == 0;
    }
};

class MainWindowAtspiTest : public test::ShellFixture {
protected:
    void SetUp() override {
        if (QCoreApplication::instance())
            GTEST_SKIP() << "needs a process of its own (the xcb platform)";
        // The private session bus: its address is the first line the daemon prints.
        int out[2];
        ASSERT_EQ(::pipe(out), 0);
        posix_spawn_file_actions_t files;
        posix_spawn_file_actions_init(&files);
        posix_spawn_file_actions_adddup2(&files, out[1], 1);
        char* argv[] = {const_cast<char*>("dbus-daemon"), const_cast<char*>("--session"),
                        const_cast<char*>("--nofork"), const_cast<char*>("--print-address"),
                        nullptr};
        if (posix_spawnp(&bus.pid, argv[0], &files, nullptr, argv, environ) != 0)
            GTEST_SKIP() << "no dbus-daemon";
        posix_spawn_file_actions_destroy(&files);
        ::close(out[1]);
        std::string address;
        char c;
        while (::read(out[0], &c, 1) == 1 && c != '\n')
            address += c;
        ::close(out[0]);
        ASSERT_FALSE(address.empty());
        setenv("DBUS_SESSION_BUS_ADDRESS", address.c_str(), 1);
        if (::access("/usr/libexec/at-spi-bus-launcher", X_OK) != 0)
            GTEST_SKIP() << "no at-spi-bus-launcher";
        ASSERT_TRUE(launcher.start({"/usr/libexec/at-spi-bus-launcher", "--launch-immediately"}));
        display = playback::XvfbDisplay::start(1600, 1000);
        if (!display)
            GTEST_SKIP() << "no Xvfb";
        // Qt exports its tree whether or not the desktop asked for a screen reader.
        setenv("QT_LINUX_ACCESSIBILITY_ALWAYS_ON", "1", 1);
        ShellFixture::SetUp();
    }

    // The walker's report on the item named "`title`, …" of the list `list`.
    QJsonObject walk(const QString& list, const QString& title, QStringList presses = {}) {
        QProcess walker;
        walker.start(QStringLiteral("/usr/bin/python3"),
                     QStringList{QStringLiteral(TEVRO_ATSPI_WALK),
                                 QString::number(QCoreApplication::applicationPid()), list, title} +
                         presses);
        // The tree is answered from this thread's event loop: keep it turning.
        EXPECT_TRUE(test::waitUntil([&] { return walker.state() == QProcess::NotRunning; }, 60s));
        const QByteArray out = walker.readAllStandardOutput();
        EXPECT_EQ(walker.exitCode(), 0)
            << out.toStdString() << walker.readAllStandardError().toStdString();
        return QJsonDocument::fromJson(out).object();
    }

    Service bus, launcher;
    std::unique_ptr<playback::XvfbDisplay> display;
};

bool hasChild(const QJsonObject& item, const QString& role, const QString& name) {
    for (const QJsonValue& c : item["children"].toArray())
        if (c["role"].toString() == role && c["name"].toString() == name)
            return true;
    return false;
}

TEST_F(MainWindowAtspiTest, AScreenReaderFindsTheControlsOfACardAndARowAndUsesThem) {
    swarm::GeneratedTorrent::Options o;
    o.name = "Docs";
    o.files = {{"Docs/readme.txt", 50000}, {"Docs/book.pdf", 90000}};
    auto docs = swarm::GeneratedTorrent::create(dir / "docs", o);
    auto added = engine->addTorrent(docs.torrentPath(), docs.savePath().string(), std::nullopt,
                                    false, false);
    ASSERT_TRUE(added);
    const std::string id = added->id;
    ASSERT_TRUE(
        test::waitUntil([&] { return engine->torrent(id) && engine->torrent(id)->seeding; }, 30s));
    MainWindow window(*engine, *ui, nullptr, nullptr, {});
    window.resize(1280, 860);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    ui->setSelection({id});
    test::spinFor(1s);

    const QJsonObject card = walk(QStringLiteral("Медиатека"), QStringLiteral("Docs"),
                                  {QStringLiteral("Приостановить загрузку")});
    EXPECT_EQ(card["name"].toString(), QStringLiteral("Docs, Раздача, 100%"));
    EXPECT_TRUE(card["states"].toArray().contains(QStringLiteral("selected")));
    for (const auto& [role, name] :
         std::vector<std::pair<const char*, const char*>>{{"push button", "Docs, Раздача, 100%"},
                                                          {"push button", "Открыть"},
                                                          {"push button", "Приостановить загрузку"},
                                                          {"push button", "Файлы и сведения"},
                                                          {"label", "Раздача"}})
        EXPECT_TRUE(hasChild(card, QString::fromUtf8(role), QString::fromUtf8(name))) << name;
    bool bar = false;
    for (const QJsonValue& c : card["children"].toArray())
        if (c["role"].toString() == QStringLiteral("progress bar"))
            bar = c["value"].toDouble() == 100.0;
    EXPECT_TRUE(bar);
    ASSERT_EQ(card["pressed"].toArray().size(), 1);
    ASSERT_TRUE(test::waitUntil([&] { return engine->torrent(id)->paused; }));

    LibraryPreferences p = ui->preferences();
    p.layout = LibraryLayout::list;
    ui->setPreferences(p);
    test::spinFor(500ms);
    const QJsonObject row = walk(QStringLiteral("Список торрентов"), QStringLiteral("Docs"),
                                 {QStringLiteral("Открыть")});
    for (const auto& [role, name] :
         std::vector<std::pair<const char*, const char*>>{{"push button", "Выбрать Docs"},
                                                          {"push button", "Docs"},
                                                          {"push button", "Открыть"},
                                                          {"button menu", "Действия с торрентом"}})
        EXPECT_TRUE(hasChild(row, QString::fromUtf8(role), QString::fromUtf8(name))) << name;
    ASSERT_EQ(row["pressed"].toArray().size(), 1);
    // "Открыть" of a torrent without video shows it in the file manager.
    EXPECT_TRUE(test::waitUntil([&] { return !revealed.empty(); }));
}

} // namespace
