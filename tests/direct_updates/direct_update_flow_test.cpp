#include <unistd.h>

#include <QByteArray>

#include "tests/direct_updates/update_fixture.h"

namespace tevro::test {
namespace {

using quorvel::UpdateAction;
using quorvel::UpdateFailure;
using Kind = quorvel::UpdatePhase::Kind;

class DirectUpdateFlow : public UpdateFixture {};

TEST_F(DirectUpdateFlow, NewerSignedBuildDownloadsInstallsAndStarts) {
    const QByteArray archive = QByteArray::fromStdString(build("200").finish());
    offer("200", archive);
    const auto report = dir / "report.txt";
    ::setenv("UPDATE_TEST_REPORT", report.c_str(), 1);

    check();
    ASSERT_EQ(phase(), Kind::available);
    const auto& release = *model->snapshot().phase.release();
    EXPECT_EQ(release.id, "200");
    EXPECT_EQ(release.version, "1.200");
    EXPECT_EQ(release.releaseNotes, "Исправления");
    EXPECT_EQ(
        model->snapshot().actions,
        (quorvel::UpdateActions{UpdateAction::download, UpdateAction::later, UpdateAction::skip}));

    model->perform(UpdateAction::download);
    ASSERT_TRUE(waitFor(Kind::readyToInstall));
    // Progress was shown against the full size, and the archive was verified and unpacked.
    bool sawFullProgress = false;
    bool sawExtracting = false;
    for (const auto& s : seen) {
        if (s.phase.kind() == Kind::downloading && s.phase.total() &&
            *s.phase.total() == std::uint64_t(archive.size()) &&
            s.phase.received() == std::uint64_t(archive.size()))
            sawFullProgress = true;
        sawExtracting |= s.phase.kind() == Kind::extracting;
    }
    EXPECT_TRUE(sawFullProgress);
    EXPECT_TRUE(sawExtracting);
    // Still the old build until the user installs.
    EXPECT_EQ(nlohmann::json::parse(readAll(install / "Info.json"))["CFBundleVersion"], "100");

    model->perform(UpdateAction::installAndRelaunch);
    ASSERT_TRUE(waitFor(Kind::installed));
    EXPECT_TRUE(waitUntil([&] { return terminated; }));
    EXPECT_EQ(nlohmann::json::parse(readAll(install / "Info.json"))["CFBundleVersion"], "200");
    EXPECT_EQ(readAll(install / "lib/current"), "build 200");

    // The new build starts from the swapped folder and clears the old copy.
    ASSERT_TRUE(waitUntil([&] { return fs::exists(report); }, std::chrono::seconds(30)));
    // Started by the updater, which tells it the process to wait for.
    EXPECT_EQ(readAll(report), "200\nrelaunched after " + std::to_string(::getpid()));
    EXPECT_TRUE(waitUntil([&] { return !fs::exists(quorvel::Updater::previousFolder(install)); }));
    EXPECT_FALSE(fs::exists(quorvel::Updater::stagingFolder(install)));
    ::unsetenv("UPDATE_TEST_REPORT");

    // Nothing is kept between transfers: the feed's cookie never comes back.
    for (const auto& request : server.log())
        EXPECT_FALSE(request.headers.contains("cookie")) << request.path;
}

TEST_F(DirectUpdateFlow, SameOrOlderBuildIsUpToDate) {
    for (const std::string version : {"100", "99", "1.0"}) {
        SCOPED_TRACE(version);
        offer(version, QByteArray::fromStdString(build(version).finish()));
        check();
        EXPECT_EQ(phase(), Kind::upToDate);
        EXPECT_TRUE(model->snapshot().actions.contains(UpdateAction::check));
        EXPECT_EQ(server.requests("/build.tar"), 0);
    }
}

TEST_F(DirectUpdateFlow, LaterAndSkipLeaveTheOffer) {
    offer("200", QByteArray::fromStdString(build("200").finish()));
    check();
    ASSERT_EQ(phase(), Kind::available);
    model->perform(UpdateAction::later);
    EXPECT_EQ(phase(), Kind::idle);
    EXPECT_TRUE(waitUntil([&] { return model->snapshot().actions.contains(UpdateAction::check); }));
    EXPECT_EQ(server.requests("/build.tar"), 0);
    expectUntouched();
}

struct Broken {
    const char* name;
    UpdateFailure failure;
};

// Each case spoils one thing the maker signed or sent; every one must leave
// the installed build as it was.
TEST_F(DirectUpdateFlow, RefusesWhatTheMakerDidNotSign) {
    const Broken cases[] = {
        {"tampered archive", UpdateFailure::verification},
        {"tampered feed", UpdateFailure::verification},
        {"unsigned feed", UpdateFailure::verification},
        {"wrong key", UpdateFailure::verification},
        {"http enclosure", UpdateFailure::unsupportedUpdate},
        {"dot-dot entry", UpdateFailure::verification},
        {"absolute entry", UpdateFailure::verification},
        {"escaping link", UpdateFailure::verification},
        {"absolute link", UpdateFailure::verification},
        {"link chain", UpdateFailure::verification},
        {"another application", UpdateFailure::verification},
        {"feed above the cap", UpdateFailure::network},
        {"redirect to http", UpdateFailure::network},
        {"missing archive", UpdateFailure::network},
        {"feed cut short", UpdateFailure::network},
        {"archive cut short", UpdateFailure::network},
    };
    for (const Broken& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string name = c.name;
        TarWriter tar = build("200");
        if (name == "dot-dot entry")
            tar.file("lib/../../escaped", "x");
        if (name == "absolute entry")
            tar.file((dir / "escaped").string(), "x");
        if (name == "escaping link")
            tar.symlink("lib/out", "../../escaped");
        if (name == "link chain") {
            tar.folder("lib/sub");
            tar.symlink("lib/sub/up", "..");
            tar.symlink("lib/out", "sub/up/../..");
        }
        if (name == "absolute link") {
            tar.symlink("outside", dir.path().string());
            tar.file("outside/escaped", "x");
        }
        QByteArray archive = QByteArray::fromStdString(tar.finish());
        if (name == "another application") {
            TarWriter other;
            nlohmann::json foreign = info("200");
            foreign["CFBundleIdentifier"] = "org.example.other";
            other.file("app", "#!/bin/sh\n", 0755);
            other.file("Info.json", foreign.dump());
            archive = QByteArray::fromStdString(other.finish());
        }
        offer("200", archive);
        if (name == "tampered archive") {
            QByteArray spoiled = archive;
            spoiled[700] = char(spoiled[700] ^ 1);
            server.route("/build.tar", {.body = spoiled});
        }
        const QByteArray body =
            feedBody({item("200", server.url("/build.tar"), key.signBase64(archive))});
        if (name == "tampered feed") {
            QByteArray feed = signedFeed(body);
            feed.replace("Build 200", "Build 201");
            server.route("/appcast.xml", {.body = feed});
        }
        if (name == "unsigned feed")
            server.route("/appcast.xml", {.body = body});
        if (name == "wrong key") {
            Ed25519Key other;
            server.route("/appcast.xml", {.body = body + quorvel::Appcast::signatureComment(
                                                             other.signBase64(body))});
        }
        if (name == "http enclosure") {
            const QByteArray plain =
                feedBody({item("200", "http://127.0.0.1:1/build.tar", key.signBase64(archive))});
            server.route("/appcast.xml", {.body = signedFeed(plain)});
        }
        if (name == "feed above the cap") {
            const QByteArray big =
                feedBody({item("200", server.url("/build.tar"), key.signBase64(archive),
                               std::string(quorvel::Updater::kMaxFeedBytes, 'x'))});
            server.route("/appcast.xml", {.body = signedFeed(big), .noLength = true});
        }
        if (name == "redirect to http")
            server.route(
                "/appcast.xml",
                {.status = 302, .headers = {{"Location", "http://127.0.0.1:1/appcast.xml"}}});
        if (name == "missing archive")
            server.route("/build.tar", {.status = 404, .body = "gone"});
        // "200 OK" and then the connection drops before the declared length.
        if (name == "feed cut short") {
            const QByteArray feed = signedFeed(body);
            server.route("/appcast.xml",
                         {.body = feed.left(feed.size() / 2), .declaredLength = feed.size()});
        }
        if (name == "archive cut short")
            server.route("/build.tar", {.body = archive.left(archive.size() / 2),
                                        .declaredLength = archive.size()});

        check();
        if (phase() == Kind::available) {
            model->perform(UpdateAction::download);
            ASSERT_TRUE(waitUntil(
                [&] { return phase() == Kind::failed || phase() == Kind::readyToInstall; },
                std::chrono::seconds(20)));
        }
        ASSERT_EQ(phase(), Kind::failed);
        EXPECT_EQ(model->snapshot().phase.failure(), c.failure);
        EXPECT_TRUE(model->snapshot().actions.contains(UpdateAction::acknowledge));
        expectUntouched();
        model->perform(UpdateAction::acknowledge);
        EXPECT_EQ(phase(), Kind::idle);
    }
}

// Between the start and the swap something else moved into the folder: it is
// no longer the application's alone, so nothing is renamed.
TEST_F(DirectUpdateFlow, AFolderThatTookInSomethingElseIsNotSwapped) {
    offer("200", QByteArray::fromStdString(build("200").finish()));
    check();
    ASSERT_EQ(phase(), Kind::available);
    model->perform(UpdateAction::download);
    ASSERT_TRUE(waitFor(Kind::readyToInstall));
    writeAll(install / "notes.txt", "mine");
    model->perform(UpdateAction::installAndRelaunch);
    ASSERT_EQ(phase(), Kind::failed);
    EXPECT_EQ(model->snapshot().phase.failure(), UpdateFailure::installation);
    EXPECT_FALSE(terminated);
    EXPECT_EQ(readAll(install / "notes.txt"), "mine");
    expectUntouched();
}

// Quitting while the download is being verified and unpacked: the unpacking
// ends with the updater and leaves nothing behind.
TEST_F(DirectUpdateFlow, QuittingWhilePreparingStopsTheUnpacking) {
    TarWriter tar = build("200");
    for (int i = 0; i < 40; ++i)
        tar.file("lib/blob" + std::to_string(i), std::string(1 << 20, char('a' + i % 26)));
    offer("200", QByteArray::fromStdString(tar.finish()));
    check();
    ASSERT_EQ(phase(), Kind::available);
    model->perform(UpdateAction::download);
    ASSERT_TRUE(waitFor(Kind::extracting));
    model.reset();
    backend.reset();
    const fs::path staging = quorvel::Updater::stagingFolder(install);
    EXPECT_FALSE(fs::exists(staging));
    spinFor(std::chrono::milliseconds(500));
    EXPECT_FALSE(fs::exists(staging));
    expectUntouched();
}

TEST_F(DirectUpdateFlow, CancelDuringDownloadKeepsTheInstalledBuild) {
    // An archive that never finishes: the declared length is larger than what is sent.
    const QByteArray archive = QByteArray::fromStdString(build("200").finish());
    offer("200", archive);
    server.route("/build.tar",
                 {.body = archive.left(4096), .declaredLength = archive.size(), .stall = true});
    check();
    ASSERT_EQ(phase(), Kind::available);
    model->perform(UpdateAction::download);
    ASSERT_TRUE(waitUntil(
        [&] { return phase() == Kind::downloading && model->snapshot().phase.received() > 0; }));
    EXPECT_EQ(model->snapshot().phase.total(), std::uint64_t(archive.size()));
    model->perform(UpdateAction::cancel);
    EXPECT_EQ(phase(), Kind::idle);
    EXPECT_TRUE(waitUntil([&] { return model->snapshot().actions.contains(UpdateAction::check); }));
    spinFor(std::chrono::milliseconds(200));
    EXPECT_EQ(phase(), Kind::idle);
    expectUntouched();
}

} // namespace
} // namespace tevro::test
