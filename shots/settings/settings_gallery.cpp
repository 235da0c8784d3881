// Draws the settings screen with each of its pages, on a real engine over a
// temporary data folder, into PNGs in the folder given as the first argument.

#include <iostream>

#include <QApplication>
#include <QDir>
#include <QScrollArea>
#include <QTemporaryDir>
#include <QThread>

#include "tests/support/swarm/loopback_engine_settings.h"
#include "tevro/engine/torrent_engine.h"
#include "tevro/library/library_style.h"
#include "tevro/settings/settings_page_widget.h"
#include "tevro/settings/settings_screen.h"

using namespace tevro;

namespace {

void settle() {
    for (int i = 0; i < 20; ++i) {
        QApplication::processEvents();
        QThread::msleep(5);
    }
}

bool shoot(SettingsScreen& screen, const QString& path) {
    // Tall enough for the whole page, so nothing hides below the fold.
    screen.resize(1100, 800);
    settle();
    int pageHeight = screen.pageWidget()->sizeHint().height();
    int header = screen.scrollArea()->mapTo(&screen, QPoint(0, 0)).y();
    screen.resize(1100, header + pageHeight + 48 + 4);
    settle();
    QPixmap picture = screen.grab();
    if (!picture.save(path)) {
        std::cerr << "cannot write " << path.toStdString() << "\n";
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    LibraryStyle::apply(app);
    if (argc < 2) {
        std::cerr << "usage: shots_settings DIR\n";
        return 2;
    }
    QString out = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(out);
    QTemporaryDir home;
    std::filesystem::path folder = home.path().toStdString();
    swarm::writeLoopbackEngineSettings(folder / "home", swarm::freeLoopbackPort(),
                                       folder / "Downloads" / "Tevro");
    TorrentEngine::Options options;
    options.dataFolder = folder / "home";
    options.refreshTrackersAtStart = false;
    TorrentEngine engine(options);

    SettingsScreen screen(engine, 0);
    screen.show();
    bool ok = true;
    for (int page = 0; page < 4; ++page) {
        screen.setPage(page);
        QString name = QString::fromUtf8(SettingsScreen::kPageRawValues[std::size_t(page)]);
        ok &= shoot(screen, out + "/settings-" + name + ".png");
    }
    // The network page with a proxy: its extra rows.
    AppSettings s = engine.settings();
    s.proxyKind = ProxyKind::socks5;
    s.proxyHost = "proxy.example";
    s.proxyUser = "user";
    s.proxyPassword = "secret";
    s.customTrackers = "udp://tracker.example:6969/announce\nhttps://tracker.example/announce";
    s.autoTrackers = true;
    engine.setSettings(s);
    screen.setPage(0);
    screen.setPage(2);
    ok &= shoot(screen, out + "/settings-network-proxy.png");
    engine.shutdown();
    return ok ? 0 : 1;
}
