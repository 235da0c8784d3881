#pragma once

// An installed copy of the test application, a loopback HTTPS feed signed
// with a key made for the test, and the update model over the direct backend.

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <vector>

#include <QByteArray>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "quorvel-direct-updates/app_folder.h"
#include "quorvel-direct-updates/appcast.h"
#include "quorvel-direct-updates/sparkle_update_backend.h"
#include "quorvel-kit/updates/quorvel_updates.h"
#include "tests/support/loopback_https_server.h"
#include "tests/support/qt_app.h"
#include "tests/support/tar_writer.h"
#include "tests/support/temp_dir.h"
#include "tests/support/test_pki.h"

namespace tevro::test {

namespace fs = std::filesystem;

class UpdateFixture : public ::testing::Test {
protected:
    void SetUp() override {
        ensureQtApp();
        ::setenv("XDG_DATA_HOME", (dir / "data").c_str(), 1);
        quorvel::UserDefaults::setStandardFolder(dir / "data");
        fs::create_directories(install);
        fs::copy_file(UPDATE_TEST_APP, install / "app");
        writeAll(install / "Info.json", info("100").dump());
        writeAll(install / quorvel::AppFolder::kMarker, marker());
    }

    // What the install leaves in a folder it made for the application alone.
    static std::string marker() {
        return nlohmann::json{{"identifier", "org.tevro.test"},
                              {"entries", {"app", "Info.json", "lib"}}}
            .dump();
    }

    nlohmann::json info(const std::string& build) const {
        return {
            {"CFBundleIdentifier", "org.tevro.test"},
            {"CFBundleVersion", build},
            {"CFBundleShortVersionString", "1." + build},
            {"CFBundleExecutable", "app"},
            {"QuorvelDistributionChannel", "direct"},
            {"SUFeedURL", server.url("/appcast.xml")},
            {"SUPublicEDKey", key.publicKeyBase64().toStdString()},
            {"SURequireSignedFeed", true},
            {"SUVerifyUpdateBeforeExtraction", true},
            {"SUSignedFeedFailureExpirationInterval", 0},
            {"SUEnableAutomaticChecks", false},
            {"SUAllowsAutomaticUpdates", false},
        };
    }

    // The install folder of a build as the maker packs it.
    TarWriter build(const std::string& version) const {
        TarWriter tar;
        tar.file("app", readAll(UPDATE_TEST_APP), 0755);
        tar.file("Info.json", info(version).dump());
        tar.file(quorvel::AppFolder::kMarker, marker());
        tar.folder("lib");
        tar.file("lib/data.txt", "build " + version);
        tar.symlink("lib/current", "data.txt");
        return tar;
    }

    static std::string item(const std::string& build, const std::string& url,
                            const QByteArray& signature, const std::string& notes = "Исправления") {
        return "<item><title>Build " + build + "</title><appcast:version>" + build +
               "</appcast:version><appcast:shortVersionString>1." + build +
               "</appcast:shortVersionString><description appcast:format=\"plain-text\">" + notes +
               "</description><enclosure url=\"" + url +
               "\" length=\"0\" type=\"application/x-tar\" "
               "appcast:edSignature=\"" +
               signature.toStdString() + "\"/></item>";
    }

    static QByteArray feedBody(const std::vector<std::string>& items) {
        std::string xml = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<rss version=\"2.0\" "
                          "xmlns:appcast=\"urn:quorvel:appcast\"><channel><title>Tevro</title>";
        for (const auto& i : items)
            xml += i;
        xml += "</channel></rss>\n";
        return QByteArray::fromStdString(xml);
    }

    QByteArray signedFeed(const QByteArray& body) const {
        return body + quorvel::Appcast::signatureComment(key.signBase64(body));
    }

    // Serves a signed feed offering `version`, whose archive is `archive`.
    void offer(const std::string& version, const QByteArray& archive) {
        server.route("/build.tar", {.body = archive});
        server.route("/appcast.xml",
                     {.body = signedFeed(feedBody(
                          {item(version, server.url("/build.tar"), key.signBase64(archive))})),
                      .headers = {{"Set-Cookie", "session=1; Path=/"}}});
    }

    void makeModel() {
        backend = std::make_shared<quorvel::SparkleUpdateBackend>(
            quorvel::AppBundle(install), [] { return true; }, [this] { terminated = true; });
        model = std::make_unique<quorvel::QuorvelUpdates>(
            backend, quorvel::UserDefaults("host", dir / "data"));
        QObject::connect(model.get(), &quorvel::QuorvelUpdates::snapshotChanged,
                         [this](const quorvel::UpdateSnapshot& s) { seen.push_back(s); });
    }

    quorvel::UpdatePhase::Kind phase() const { return model->snapshot().phase.kind(); }

    bool waitFor(quorvel::UpdatePhase::Kind kind) {
        return waitUntil([&] { return phase() == kind; }, std::chrono::seconds(20));
    }

    // Starts the model and asks for a check; waits until the check has ended.
    void check() {
        makeModel();
        model->start();
        ASSERT_TRUE(model->snapshot().actions.contains(quorvel::UpdateAction::check));
        model->perform(quorvel::UpdateAction::check);
        ASSERT_TRUE(waitUntil([&] { return phase() != quorvel::UpdatePhase::Kind::checking; },
                              std::chrono::seconds(20)));
    }

    // The installed build is exactly what it was, and nothing is left beside it.
    void expectUntouched() {
        EXPECT_EQ(nlohmann::json::parse(readAll(install / "Info.json"))["CFBundleVersion"], "100");
        EXPECT_EQ(readAll(install / "app"), readAll(UPDATE_TEST_APP));
        EXPECT_FALSE(fs::exists(quorvel::Updater::previousFolder(install)));
        EXPECT_FALSE(fs::exists(quorvel::Updater::stagingFolder(install)));
        EXPECT_FALSE(fs::exists(dir / "escaped"));
    }

    // The application exists before the server's sockets do.
    struct QtFirst {
        QtFirst() { ensureQtApp(); }
    } qtFirst;
    TempDir dir;
    LoopbackHttpsServer server;
    Ed25519Key key;
    fs::path install = dir / "Tevro";
    std::shared_ptr<quorvel::SparkleUpdateBackend> backend;
    std::unique_ptr<quorvel::QuorvelUpdates> model;
    std::vector<quorvel::UpdateSnapshot> seen;
    bool terminated = false;
};

} // namespace tevro::test
