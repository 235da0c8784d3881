#include "tests/settings/settings_fixture.h"

#include <sys/inotify.h>
#include <unistd.h>

#include <QApplication>

#include "tests/support/qt_app.h"
#include "tests/support/swarm/loopback_engine_settings.h"
#include "tevro/core/json_value.h"
#include "tevro/library/library_style.h"

namespace tevro::test {

void ensureSettingsApp() {
    if (qobject_cast<QApplication*>(QCoreApplication::instance()))
        return;
    static int argc = 1;
    static char name[] = "settings_tests";
    static char* argv[] = {name, nullptr};
    static QApplication* app = new QApplication(argc, argv);
    LibraryStyle::apply(*app);
}

SaveCounter::SaveCounter(const std::filesystem::path& folder, std::string name)
    : m_name(std::move(name)) {
    m_fd = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    inotify_add_watch(m_fd, folder.c_str(), IN_MOVED_TO | IN_CLOSE_WRITE);
}

SaveCounter::~SaveCounter() {
    if (m_fd >= 0)
        ::close(m_fd);
}

int SaveCounter::count() {
    alignas(inotify_event) char buffer[8192];
    for (;;) {
        ssize_t n = ::read(m_fd, buffer, sizeof buffer);
        if (n <= 0)
            break;
        for (char* p = buffer; p < buffer + n;) {
            auto* e = reinterpret_cast<inotify_event*>(p);
            if (e->len > 0 && m_name == e->name)
                ++m_count;
            p += sizeof(inotify_event) + e->len;
        }
    }
    return m_count;
}

void SettingsTest::SetUp() {
    ensureSettingsApp();
    port = swarm::freeLoopbackPort();
    swarm::writeLoopbackEngineSettings(dir / "home", port, dir / "downloads");
    engine = std::make_unique<TorrentEngine>(options());
}

void SettingsTest::TearDown() {
    if (engine)
        engine->shutdown();
    engine.reset();
}

TorrentEngine::Options SettingsTest::options() {
    TorrentEngine::Options o;
    o.dataFolder = dir / "home";
    o.refreshTrackersAtStart = false;
    return o;
}

std::int64_t SettingsTest::sessionSetting(const std::string& name) {
    std::string diagnostics;
    engine->networkDiagnostics([&](std::string d) { diagnostics = std::move(d); });
    EXPECT_TRUE(waitUntil([&] { return !diagnostics.empty(); }));
    Json j = Json::parse(diagnostics);
    return j["settings"][name].get<std::int64_t>();
}

} // namespace tevro::test
