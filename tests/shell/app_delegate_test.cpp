#include "tevro/shell/app_delegate.h"

#include <cstdlib>

#include <QSignalSpy>

#include "tests/shell/shell_fixture.h"
#include "tevro/core/storage.h"
#include "tevro/media/artwork_store.h"
#include "tevro/player/player_model.h"
#include "tevro/shell/bundled_runtime.h"
#include "tevro/shell/command_line.h"
#include "tevro/shell/control_service.h"
#include "tevro/shell/single_instance.h"

using namespace tevro;
using namespace std::chrono_literals;

namespace {

TEST(AppDelegate, ControlPortParsing) {
    struct Case {
        const char* text;
        std::optional<std::uint16_t> port;
    } cases[] = {{"8080", 8080},   {"+8080", 8080},     {"0", 0},      {"-0", 0},
                 {"65535", 65535}, {" 8080", {}},       {"8080 ", {}}, {"80a0", {}},
                 {"65536", {}},    {"-5", {}},          {"+", {}},     {"-", {}},
                 {"", {}},         {"99999999999", {}}, {"007", 7}};
    for (const auto& c : cases)
        EXPECT_EQ(AppDelegate::parseControlPort(c.text), c.port) << "'" << c.text << "'";
}

TEST(AppDelegate, BackgroundModeNeedsExactlyOne) {
    for (const char* value : {"true", "01", " 1", ""}) {
        setenv("TEVRO_BACKGROUND", value, 1);
        EXPECT_FALSE(AppDelegate::backgroundMode()) << value;
    }
    setenv("TEVRO_BACKGROUND", "1", 1);
    EXPECT_TRUE(AppDelegate::backgroundMode());
    unsetenv("TEVRO_BACKGROUND");
    EXPECT_FALSE(AppDelegate::backgroundMode());
}

TEST(AppDelegate, ArgumentsBecomeURLs) {
    EXPECT_EQ(AppDelegate::urlFromArgument("magnet:?xt=urn:btih:abc", "/home/u"),
              "magnet:?xt=urn:btih:abc");
    EXPECT_EQ(AppDelegate::urlFromArgument("file:///a/b.torrent", "/x"), "file:///a/b.torrent");
    EXPECT_EQ(AppDelegate::urlFromArgument("films/Мой фильм.torrent", "/home/u"),
              "file:///home/u/films/%D0%9C%D0%BE%D0%B9%20%D1%84%D0%B8%D0%BB%D1%8C%D0%BC.torrent");
    EXPECT_EQ(AppDelegate::urlFromArgument("/abs/../x.torrent", "/home/u"), "file:///x.torrent");
    EXPECT_EQ(AppDelegate::urlFromArgument("C:x", "/w"), "file:///w/C:x");
    // Not a resource path: a file under the launch's folder like any other.
    EXPECT_EQ(AppDelegate::urlFromArgument(":x.torrent", "/w"), "file:///w/:x.torrent");
}

// A link is what begins with a link prefix as written; everything else is a
// path under the launch's folder, and options are not files.
TEST(CommandLine, LinksPathsAndOptions) {
    struct Case {
        std::vector<std::string> arguments;
        std::vector<std::string> urls;
        std::vector<std::string> unknown = {};
        bool help = false;
    } cases[] = {
        {{"magnet:?xt=urn:btih:abc&dn=%"}, {"magnet:?xt=urn:btih:abc&dn=%"}},
        {{"magnet:?xt=urn:btih:abc&dn=%zz"}, {"magnet:?xt=urn:btih:abc&dn=%zz"}},
        {{"ab:cd.torrent"}, {"file:///w/ab:cd.torrent"}},
        {{"MAGNET:?xt=x"}, {"file:///w/MAGNET:%3Fxt=x"}},
        {{"file:///a/b%20c.torrent", "https://host/x.torrent"},
         {"file:///a/b%20c.torrent", "https://host/x.torrent"}},
        {{"--quorvel-test", "x.torrent"}, {"file:///w/x.torrent"}},
        {{"--help"}, {}, {}, true},
        {{"x.torrent", "-h"}, {"file:///w/x.torrent"}, {}, true},
        {{"--quorvel-test=1", "--verbose", "x.torrent"},
         {"file:///w/x.torrent"},
         {"--quorvel-test=1", "--verbose"}},
        // An empty argument names no file; "-" alone is one.
        {{"-x", "", "-", "y.torrent"}, {"file:///w/-", "file:///w/y.torrent"}, {"-x"}},
        {{"--", "--odd.torrent", "-x", "-h"},
         {"file:///w/--odd.torrent", "file:///w/-x", "file:///w/-h"}},
    };
    for (const auto& c : cases) {
        CommandLine line = CommandLine::parse(c.arguments, "/w");
        EXPECT_EQ(line.urls, c.urls) << c.arguments.front();
        EXPECT_EQ(line.unknownOptions, c.unknown) << c.arguments.front();
        EXPECT_EQ(line.help, c.help) << c.arguments.front();
    }
}

// Every add sheet on screen is in the state document, under its file or, when
// it was given no file, under what it was given.
TEST(ControlService, TheStateNamesEveryAddSheet) {
    test::ensureWidgetsApp();
    test::TempDir dir;
    MainUIState ui(dir.path());
    EXPECT_EQ(ControlService::uiState(ui)["addSheet"], "");
    const std::pair<const char*, const char*> cases[] = {
        {"file:///films/a%20b.torrent", "/films/a b.torrent"},
        {"https://host", "https://host"},
        {"ab:cd.torrent", "ab:cd.torrent"},
        {"", "(empty)"},
        // A link is passed on as given, so it may hold any bytes.
        {"https://host/\xff.torrent", "https://host/\xef\xbf\xbd.torrent"},
    };
    for (const auto& [url, reported] : cases) {
        ui.setAddURL(std::string(url));
        Json state = ControlService::uiState(ui);
        EXPECT_EQ(state["addSheet"], reported) << url;
        EXPECT_NO_THROW((void)state.dump()) << url;
    }
}

TEST(BundledRuntime, SetsTheFourVariablesOnlyWithCertificatesAndNeverReplaces) {
    test::TempDir dir;
    std::filesystem::create_directories(dir / "fontconfig");
    for (const char* name : {"SSL_CERT_FILE", "OPENSSL_CONF", "FONTCONFIG_PATH", "FONTCONFIG_FILE"})
        unsetenv(name);
    BundledRuntime::configure(dir.path());
    EXPECT_EQ(std::getenv("FONTCONFIG_PATH"), nullptr);
    BundledRuntime::configure(std::nullopt);
    EXPECT_EQ(std::getenv("OPENSSL_CONF"), nullptr);
    test::writeAll(dir / "cacert.pem", "x");
    setenv("SSL_CERT_FILE", "/mine.pem", 1);
    BundledRuntime::configure(dir.path());
    EXPECT_STREQ(std::getenv("SSL_CERT_FILE"), "/mine.pem");
    EXPECT_STREQ(std::getenv("OPENSSL_CONF"), "/dev/null");
    EXPECT_EQ(std::string(std::getenv("FONTCONFIG_FILE")),
              (dir / "fontconfig" / "fonts.conf").string());
    for (const char* name : {"SSL_CERT_FILE", "OPENSSL_CONF", "FONTCONFIG_PATH", "FONTCONFIG_FILE"})
        unsetenv(name);
}

class AppDelegateEngineTest : public test::ShellFixture {};

TEST_F(AppDelegateEngineTest, StartsInOrderQueuesURLsAndShutsDownInOrder) {
    AppDelegate::Services services;
    std::vector<std::string> steps;
    std::optional<std::uint16_t> controlPort;
    services.engine = [&]() -> TorrentEngine& {
        if (steps.empty() || steps.back() != "engine")
            steps.push_back("engine");
        return *engine;
    };
    services.startAutomation = [&] { steps.push_back("automation"); };
    services.startControlServer = [&](std::uint16_t p) { controlPort = p; };
    services.stopAutomation = [&] { steps.push_back("stop automation"); };
    ArtworkStore artwork(ArtworkStore::Dependencies{});
    PlayerModel player(*engine);
    services.artwork = [&] { return &artwork; };
    services.player = [&] { return &player; };
    AppDelegate delegate(services);

    setenv("TEVRO_CONTROL_PORT", "+8080", 1);
    delegate.didFinishLaunching();
    EXPECT_EQ(steps, (std::vector<std::string>{"engine", "automation"}));
    EXPECT_EQ(controlPort, 8080);
    controlPort.reset();
    setenv("TEVRO_CONTROL_PORT", "80 80", 1);
    delegate.didFinishLaunching();
    EXPECT_FALSE(controlPort);
    unsetenv("TEVRO_CONTROL_PORT");

    engine->setPendingOpen({"magnet:?xt=urn:btih:first"});
    QSignalSpy pending(engine.get(), &TorrentEngine::pendingOpenChanged);
    delegate.openURLs({"magnet:?xt=urn:btih:a", "file:///x.torrent", "magnet:?xt=urn:btih:b"});
    EXPECT_EQ(pending.count(), 1);
    EXPECT_EQ(engine->pendingOpen(),
              (std::vector<std::string>{"magnet:?xt=urn:btih:first", "magnet:?xt=urn:btih:a",
                                        "file:///x.torrent", "magnet:?xt=urn:btih:b"}));

    std::filesystem::remove(dir / "home" / "settings.json");
    QSignalSpy shutdown(&delegate, &AppDelegate::shutdownStep);
    delegate.willTerminate();
    delegate.willTerminate();
    std::vector<QString> order;
    for (const auto& args : shutdown)
        order.push_back(args.at(0).toString());
    EXPECT_EQ(order,
              (std::vector<QString>{"automation", "windows", "artwork", "player", "engine"}));
    EXPECT_TRUE(engine->isShutDown());
    EXPECT_TRUE(std::filesystem::exists(dir / "home" / "settings.json"));
    EXPECT_TRUE(std::filesystem::exists(dir / "home" / "torrents.json"));
    EXPECT_EQ(steps.back(), "engine");
}

TEST(SingleInstance, ALaterLaunchHandsItsURLsOverInOrder) {
    test::ensureWidgetsApp();
    test::TempDir dir;
    SingleInstance first(dir.path());
    SingleInstance second(dir.path());
    EXPECT_FALSE(second.handOff({"magnet:?a"}, 300)); // nobody listens yet
    ASSERT_TRUE(first.listen());
    EXPECT_NE(SingleInstance::serverName(dir.path()), SingleInstance::serverName(dir / "other"));

    std::vector<std::string> received;
    QObject::connect(&first, &SingleInstance::received, [&](const std::vector<std::string>& urls) {
        received.insert(received.end(), urls.begin(), urls.end());
    });
    std::vector<std::string> burst;
    for (int i = 0; i < 100; ++i)
        burst.push_back("magnet:?xt=urn:btih:" + std::to_string(i));
    // The running instance answers from its event loop, the launch waits on
    // its socket: run the launch on a thread as a separate process would.
    std::atomic<bool> done{false}, ok{false};
    std::thread launch([&] {
        SingleInstance later(dir.path());
        ok =
            later.handOff({"file:///films/a.torrent"}) && later.handOff(burst) && later.handOff({});
        done = true;
    });
    EXPECT_TRUE(test::waitUntil([&] { return done.load(); }, 10s));
    launch.join();
    EXPECT_TRUE(ok);
    std::vector<std::string> expected = {"file:///films/a.torrent"};
    expected.insert(expected.end(), burst.begin(), burst.end());
    EXPECT_EQ(received, expected);
}

} // namespace
