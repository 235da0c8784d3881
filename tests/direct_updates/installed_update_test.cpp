// An update from end to end as a packager ships it: the stand-in application
// installed with the application's install rules and update options by a real
// `cmake --install`, newer builds packed and signed by scripts/make-update and
// served in a signed feed, and the installed copy updating itself.

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include <QProcess>
#include <QProcessEnvironment>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "quorvel-direct-updates/app_folder.h"
#include "quorvel-direct-updates/updater.h"
#include "tests/support/loopback_https_server.h"
#include "tests/support/qt_app.h"
#include "tests/support/run_program.h"
#include "tests/support/temp_dir.h"

namespace tevro::test {
namespace {

namespace fs = std::filesystem;

const fs::path kSource = UPDATE_SOURCE_DIR;
const fs::path kScript = kSource / "scripts/make-update";

std::string run(const std::vector<std::string>& args) {
    const ProgramResult result = runProgram(args, std::chrono::seconds(120));
    EXPECT_TRUE(result.exited() && result.exitCode == 0) << args[0] << " " << args[1] << "\n"
                                                         << result.out;
    return result.out;
}

class InstalledUpdate : public ::testing::Test {
protected:
    void SetUp() override {
        ::setenv("XDG_DATA_HOME", (dir / "data").c_str(), 1);
        publicKey = run({kScript, "key", dir / "keys"});
        while (!publicKey.empty() && publicKey.back() == '\n')
            publicKey.pop_back();
    }

    // The stand-in application at `build`, configured with the update options.
    fs::path configure(const std::string& build, std::vector<std::string> options = {}) {
        const fs::path folder = dir / ("build" + build);
        std::vector<std::string> args = {
            "cmake",
            "-S",
            kSource / "tests/direct_updates/install_project",
            "-B",
            folder,
            "-DTEVRO_SOURCE_DIR=" + kSource.string(),
            "-DUPDATE_TEST_APP=" UPDATE_TEST_APP,
            "-DTEVRO_BUILD_VERSION=" + build,
            "-DTEVRO_BUNDLE_IDENTIFIER=org.tevro.test",
            "-DTEVRO_UPDATE_FEED_URL=" + server.url("/appcast.xml"),
            "-DTEVRO_UPDATE_PUBLIC_KEY=" + publicKey,
        };
        args.insert(args.end(), options.begin(), options.end());
        run(args);
        return folder;
    }

    // Packs `build` with the project's script and offers it in a signed feed.
    void publish(const fs::path& build, const std::string& version) {
        run({kScript, "archive", build, keyFile, server.url("/update.tar.gz"), dir / "out"});
        const std::string item = readAll(dir / "out" / ("app-" + version + ".item.xml"));
        writeAll(dir / "appcast.xml",
                 "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<rss version=\"2.0\" "
                 "xmlns:appcast=\"urn:quorvel:appcast\"><channel><title>Tevro</title>\n" +
                     item + "</channel></rss>\n");
        run({kScript, "feed", dir / "appcast.xml", keyFile});
        server.route("/appcast.xml",
                     {.body = QByteArray::fromStdString(readAll(dir / "appcast.xml"))});
        server.route("/update.tar.gz", {.body = QByteArray::fromStdString(readAll(
                                            dir / "out" / ("app-" + version + ".tar.gz")))});
    }

    // Starts the installed copy, which goes through the update by itself;
    // answers how it ended.
    std::string updateInstalledCopy() {
        fs::remove(outcome);
        QProcess copy;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("UPDATE_TEST_REPORT", QString::fromStdString(report.string()));
        environment.insert("UPDATE_TEST_OUTCOME", QString::fromStdString(outcome.string()));
        copy.setProcessEnvironment(environment);
        copy.setProgram(QString::fromStdString((prefix / "bin/app").string()));
        copy.start();
        EXPECT_TRUE(copy.waitForStarted());
        oldProcess = copy.processId();
        EXPECT_TRUE(waitUntil([&] { return copy.state() == QProcess::NotRunning; },
                              std::chrono::seconds(90)));
        return fs::exists(outcome) ? readAll(outcome) : "no outcome";
    }

    // Everything under the prefix: files with their content, links with their target.
    std::map<std::string, std::string> contents() const {
        std::map<std::string, std::string> all;
        for (const auto& entry : fs::recursive_directory_iterator(prefix)) {
            const std::string name = entry.path().lexically_relative(prefix).string();
            if (entry.is_symlink())
                all[name] = "-> " + fs::read_symlink(entry.path()).string();
            else if (entry.is_regular_file())
                all[name] = readAll(entry.path());
            else
                all[name] = "folder";
        }
        return all;
    }

    nlohmann::json info() const { return nlohmann::json::parse(readAll(folder / "Info.json")); }

    struct QtFirst {
        QtFirst() { ensureQtApp(); }
    } qtFirst;
    TempDir dir;
    LoopbackHttpsServer server;
    std::string publicKey;
    fs::path keyFile = dir / "keys/update-key.pem";
    fs::path prefix = dir / "prefix";
    fs::path folder = prefix / "lib/tevro";
    fs::path report = dir / "report.txt";
    fs::path outcome = dir / "outcome.txt";
    qint64 oldProcess = 0;
};

TEST_F(InstalledUpdate, FromTheScriptsArchiveIntoAnInstallWithTheOptions) {
    run({"cmake", "--install", configure("100"), "--prefix", prefix});
    // The install: a folder of the application's own, its information and a link on the PATH.
    EXPECT_EQ(fs::read_symlink(prefix / "bin/app"), "../lib/tevro/app");
    EXPECT_EQ(info()["CFBundleVersion"], "100");
    EXPECT_EQ(info()["SUFeedURL"], server.url("/appcast.xml"));
    EXPECT_EQ(info()["SUPublicEDKey"], publicKey);
    EXPECT_EQ(info()["SURequireSignedFeed"], true);
    EXPECT_EQ(
        nlohmann::json::parse(readAll(folder / quorvel::AppFolder::kMarker)),
        (nlohmann::json{{"identifier", "org.tevro.test"}, {"entries", {"Info.json", "app"}}}));
    const auto installed = contents();

    // A signed build whose links lead out of the folder only together.
    fs::create_directories(dir / "links/sub");
    fs::create_directory_symlink("..", dir / "links/sub/up");
    fs::create_directory_symlink("sub/up/..", dir / "links/out");
    publish(
        configure("300", {"-DEXTRA_FOLDER=" + (dir / "links").string(), "-DEXTRA_ENTRIES=sub;out"}),
        "300");
    EXPECT_EQ(updateInstalledCopy(), "failed verification");
    EXPECT_EQ(contents(), installed);

    // The folder holds something that is not the application's: no update at all.
    publish(configure("200"), "200");
    writeAll(folder / "notes.txt", "mine");
    EXPECT_EQ(updateInstalledCopy(), "unavailable");
    EXPECT_EQ(server.requests("/appcast.xml"), 1);
    fs::remove(folder / "notes.txt");
    EXPECT_EQ(contents(), installed);

    EXPECT_EQ(updateInstalledCopy(), "installed");
    ASSERT_TRUE(waitUntil([&] { return fs::exists(report) && readAll(report).starts_with("200"); },
                          std::chrono::seconds(30)));
    EXPECT_EQ(readAll(report), "200\nrelaunched after " + std::to_string(oldProcess));
    EXPECT_EQ(info()["CFBundleVersion"], "200");
    EXPECT_TRUE(fs::exists(prefix / "bin/app"));
    EXPECT_TRUE(waitUntil([&] { return !fs::exists(quorvel::Updater::previousFolder(folder)); }));
    EXPECT_FALSE(fs::exists(quorvel::Updater::stagingFolder(folder)));
}

TEST_F(InstalledUpdate, TheInstallRefusesAFolderThatIsNotItsOwn) {
    fs::create_directories(prefix / "share/Tevro");
    writeAll(prefix / "share/Tevro/settings.json", "{}");
    const auto before = contents();
    const ProgramResult result = runProgram(
        {"cmake", "--install", configure("100", {"-DTEVRO_INSTALL_APPDIR=."}), "--prefix", prefix});
    EXPECT_NE(result.exitCode, 0);
    EXPECT_EQ(contents(), before);
}

TEST_F(InstalledUpdate, WithoutTheOptionsUpdatesAreUnavailable) {
    run({"cmake", "-S", kSource / "tests/direct_updates/install_project", "-B", dir / "plain",
         "-DTEVRO_SOURCE_DIR=" + kSource.string(), "-DUPDATE_TEST_APP=" UPDATE_TEST_APP,
         "-DTEVRO_BUILD_VERSION=100"});
    run({"cmake", "--install", dir / "plain", "--prefix", prefix});
    EXPECT_FALSE(info().contains("SUFeedURL"));
    EXPECT_EQ(updateInstalledCopy(), "unavailable");
}

} // namespace
} // namespace tevro::test
