// The offers entry, its state and the offers page in the main window, against
// a scripted offers service on this machine.

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QLabel>
#include <QTest>
#include <QTimer>
#include <QVBoxLayout>

#include "quorvel-kit/offers/offer_banner.h"
#include "quorvel-kit/offers/offer_images.h"
#include "quorvel-kit/offers/offer_picture.h"
#include "quorvel-kit/offers/offers_banners.h"
#include "quorvel-kit/offers/offers_model.h"
#include "quorvel-kit/offers/quorvel_offers.h"
#include "quorvel-kit/offers/url_session_offers_transport.h"
#include "tests/shell/shell_fixture.h"
#include "tests/support/offers_service.h"
#include "tevro/shell/main_view.h"
#include "tevro/shell/offers_page.h"
#include "tevro/shell/offers_route.h"
#include "tevro/shell/sidebar_filter_list.h"
#include "tevro/shell/sidebar_offers.h"
#include "tevro/shell/sidebar_offers_state.h"

namespace tevro {
namespace {

using test::OffersService;
using test::waitUntil;

std::vector<nlohmann::json> items(int n, const std::string& prefix = "o") {
    std::vector<nlohmann::json> list;
    for (int i = 0; i < n; ++i)
        list.push_back(OffersService::offer(prefix + std::to_string(i), "Предложение"));
    return list;
}

class SidebarOffersTest : public test::ShellFixture {
protected:
    void SetUp() override {
        ShellFixture::SetUp();
        // The shared picture loader keeps its disk cache in the test folder.
        static test::TempDir kitRoot;
        setenv("QUORVEL_TEST_ROOT", kitRoot.path().c_str(), 1);
        quorvel::OffersDependencies dependencies;
        dependencies.transport = std::make_shared<quorvel::URLSessionOffersTransport>();
        dependencies.channel = quorvel::Channel::test;
        facade.configure(quorvel::OffersConfiguration("tevro", service.root(), dir / "kit", 20,
                                                      false, false,
                                                      [] { return std::string("ru"); }),
                         dependencies);
        state = std::make_unique<SidebarOffersState>(facade, *ui);
        ticker.setInterval(10);
        QObject::connect(&ticker, &QTimer::timeout, [this] { ++ticks; });
        ticker.start();
    }

    void TearDown() override {
        window.reset();
        state.reset();
        ShellFixture::TearDown();
    }

    // The main window: the view inside a window named "main".
    MainView& showWindow() {
        window = std::make_unique<QWidget>();
        window->setObjectName("main");
        auto* box = new QVBoxLayout(window.get());
        box->setContentsMargins(0, 0, 0, 0);
        MainView::Parts parts;
        parts.offers = state.get();
        view = new MainView(*engine, *ui, nullptr, nullptr, parts);
        box->addWidget(view);
        window->resize(1280, 860);
        window->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(window.get()));
        return *view;
    }

    bool loaded() {
        return waitUntil([&] { return !state->isRefreshing(); }, std::chrono::seconds(30));
    }

    void present() {
        bool done = false;
        state->present([&] { done = true; });
        ASSERT_TRUE(waitUntil([&] { return done; }, std::chrono::seconds(30)));
    }

    // The main thread kept turning while `during` waited.
    void expectResponsive(const std::function<void()>& during) {
        const int before = ticks;
        during();
        EXPECT_GT(ticks, before + 5);
    }

    // The application must exist before the service listens.
    bool m_app = (test::ensureWidgetsApp(), true);
    OffersService service;
    quorvel::QuorvelOffers facade;
    std::unique_ptr<SidebarOffersState> state;
    std::unique_ptr<QWidget> window;
    MainView* view = nullptr;
    QTimer ticker;
    int ticks = 0;
};

TEST_F(SidebarOffersTest, OffersShowTheEntryAndThePageWithBannersAndPaging) {
    auto list = items(4);
    list[0]["content"]["imageUrl"] = service.url("/good.png").toString().toStdString();
    list[1]["content"]["imageUrl"] = service.url("/bomb.png").toString().toStdString();
    list[2]["content"]["imageUrl"] = service.url("/huge.png").toString().toStdString();
    service.route("/v1/offers", {.body = OffersService::body(list)});
    service.route("/good.png", {.body = OffersService::png(400, 200, Qt::blue)});
    service.route("/bomb.png", {.body = OffersService::pngDeclaring(40'000, 40'000)});
    service.route("/huge.png", {.body = QByteArray(3 << 20, 'x'), .noLength = true});

    MainView& main = showWindow();
    SidebarOffers* entry = main.offersEntry();
    ASSERT_NE(entry, nullptr);
    // The first showing loads the list, and the entry appears by itself.
    ASSERT_TRUE(waitUntil([&] { return entry->entry()->isVisible(); }, std::chrono::seconds(30)));
    EXPECT_EQ(entry->entry()->objectName(), "sidebar.offers");
    EXPECT_EQ(entry->entry()->accessibleName(), "Есть ещё");
    ASSERT_TRUE(loaded());
    EXPECT_EQ(service.requests("/v1/offers"), 1);

    ui->setShowSettings(true);
    const QSize minimum = window->minimumSize();
    QTest::mouseClick(entry->entry(), Qt::LeftButton);
    ASSERT_TRUE(waitUntil([&] { return state->isPresented(); }, std::chrono::seconds(30)));
    EXPECT_FALSE(ui->showSettings()); // left for the page, which stays
    EXPECT_EQ(main.screen(), "offers");
    EXPECT_TRUE(entry->entry()->isChecked());
    EXPECT_FALSE(main.sidebar()->row(TorrentFilter::all)->isChecked());
    EXPECT_EQ(window->minimumSize(), minimum.expandedTo(QSize(1097, 724)));

    OffersPage* page = main.offersPage();
    ASSERT_NE(page, nullptr);
    quorvel::OffersBanners* strip = page->banners();
    ASSERT_NE(strip->banner(2), nullptr);
    EXPECT_EQ(strip->pageLabel()->text(), "1 / 2");
    // The good picture is drawn; the bomb and the oversized one leave their area empty.
    ASSERT_TRUE(waitUntil([&] { return !strip->banner(0)->hero()->image().isNull(); }));
    EXPECT_TRUE(strip->banner(1)->hero()->image().isNull());
    EXPECT_TRUE(strip->banner(2)->hero()->image().isNull());
    EXPECT_EQ(strip->banner(2)->hero()->height(), strip->imageHeight());

    QTest::mouseClick(strip->nextButton(), Qt::LeftButton);
    EXPECT_EQ(state->model().pageIndex(), 1);
    EXPECT_EQ(strip->banner(0)->offer().id, "o3");

    QTest::mouseClick(page->back(), Qt::LeftButton);
    EXPECT_FALSE(state->isPresented());
    QApplication::processEvents();
    EXPECT_EQ(main.screen(), "library");
    EXPECT_EQ(main.offersPage(), nullptr);
    EXPECT_EQ(window->minimumSize(), minimum);
    EXPECT_FALSE(entry->entry()->isChecked());
    EXPECT_TRUE(main.sidebar()->row(TorrentFilter::all)->isChecked());

    // While a load runs the entry shows the spinner and takes no clicks.
    service.route("/v1/offers",
                  {.body = OffersService::body(list), .dribbleBytes = 64, .dribbleMs = 20});
    state->refresh(true);
    EXPECT_FALSE(entry->entry()->isEnabled());
    EXPECT_TRUE(entry->spinner()->isVisible());
    EXPECT_EQ(entry->spinner()->accessibleName(), "Загрузка предложений");
    QTest::mouseClick(entry->entry(), Qt::LeftButton);
    ASSERT_TRUE(loaded());
    EXPECT_FALSE(state->isPresented());
    EXPECT_TRUE(entry->entry()->isEnabled());
    EXPECT_FALSE(entry->spinner()->isVisible());
}

TEST_F(SidebarOffersTest, NotModifiedKeepsTheListAndTheETagIsSent) {
    service.handle([](const OffersService::Request& request) {
        auto tag = request.headers.find("if-none-match");
        if (tag != request.headers.end() && tag->second == "\"v1\"")
            return OffersService::Reply{.status = 304, .headers = {{"ETag", "\"v1\""}}};
        return OffersService::Reply{.body = OffersService::body(items(2)),
                                    .headers = {{"ETag", "\"v1\""}}};
    });
    state->refresh(true);
    ASSERT_TRUE(loaded());
    ASSERT_EQ(state->model().offers().size(), 2u);
    state->refresh(true);
    ASSERT_TRUE(loaded());
    ASSERT_EQ(service.log().size(), 2u);
    EXPECT_EQ(service.log().back().headers.at("if-none-match"), "\"v1\"");
    EXPECT_EQ(state->model().offers().size(), 2u);
}

TEST_F(SidebarOffersTest, ABrokenServiceLeavesTheWindowResponsiveAndTheEntryHidden) {
    const QByteArray big(300'000, ' ');
    std::pair<const char*, OffersService::Reply> replies[] = {
        {"error", {.status = 500, .body = "oops"}},
        {"not json", {.body = "<html>"}},
        {"oversized", {.body = big}},
        {"dribbling past the cap", {.body = big, .dribbleBytes = 8192, .dribbleMs = 5}},
        {"dribbling on",
         {.body = OffersService::body(items(1)), .dribbleBytes = 1, .dribbleMs = 200}},
        {"stall", {.body = OffersService::body(items(1)), .sendBytes = 10, .stall = true}},
    };
    for (const auto& [name, reply] : replies) {
        SCOPED_TRACE(name);
        service.route("/v1/offers", reply);
        // A fresh engine each time; releasing it cancels what still hangs.
        quorvel::QuorvelOffers source;
        quorvel::OffersDependencies dependencies;
        dependencies.transport = std::make_shared<quorvel::URLSessionOffersTransport>();
        dependencies.channel = quorvel::Channel::test;
        source.configure(quorvel::OffersConfiguration("tevro", service.root(), dir / name, 20,
                                                      false, false,
                                                      [] { return std::string("ru"); }),
                         dependencies);
        SidebarOffersState broken(source, *ui);
        QWidget sidebar;
        auto* entry = new SidebarOffers(broken, &sidebar);
        const size_t asked = service.log().size();
        expectResponsive([&] {
            sidebar.show(); // the first showing loads
            ASSERT_TRUE(waitUntil([&] { return service.log().size() > asked; }));
            // Whether the request ended or still hangs, the window goes on.
            test::spinFor(std::chrono::milliseconds(400));
        });
        EXPECT_FALSE(entry->entry()->isVisible());
        EXPECT_TRUE(broken.model().offers().empty());
        if (!broken.isRefreshing()) {
            bool done = false;
            broken.present([&] { done = true; });
            ASSERT_TRUE(waitUntil([&] { return done; }));
            EXPECT_FALSE(broken.isPresented());
        }
    }
}

TEST_F(SidebarOffersTest, PresentingRaisesTheMinimumSizeAndClosingGivesItBack) {
    struct Case {
        int offers;
        QSize minimum, content;
        QSize raised, resized;
    };
    const Case cases[] = {
        {4, {800, 600}, {1000, 700}, {1097, 724}, {1097, 724}},
        {3, {800, 600}, {1000, 700}, {1097, 680}, {1097, 700}},
        {3, {1200, 800}, {1300, 900}, {1200, 800}, {1300, 900}},
    };
    for (const Case& c : cases) {
        service.route("/v1/offers", {.body = OffersService::body(items(c.offers))});
        state->refresh(true);
        ASSERT_TRUE(loaded());
        QWidget main;
        main.setObjectName("main-window");
        main.setMinimumSize(c.minimum);
        main.resize(c.content);
        main.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&main));
        present();
        ASSERT_TRUE(state->isPresented());
        EXPECT_EQ(main.minimumSize(), c.raised);
        EXPECT_EQ(main.size(), c.resized);
        ui->setShowSettings(true); // closes the page
        EXPECT_FALSE(state->isPresented());
        EXPECT_EQ(main.minimumSize(), c.minimum);
        EXPECT_EQ(main.size(), c.resized); // not shrunk back
        ui->setShowSettings(false);
    }
}

TEST_F(SidebarOffersTest, WhatClosesThePageAndWhatTurnsAPresentAway) {
    service.route("/v1/offers", {.body = OffersService::body(items(2))});
    const std::string id = add("movie");
    // A close while the list loads wins: nothing appears, nothing is cleared.
    ui->setOpenedTorrentID(id);
    bool done = false;
    state->present([&] { done = true; });
    EXPECT_TRUE(state->isRefreshing());
    state->present(); // turned away while loading
    state->close();
    ASSERT_TRUE(waitUntil([&] { return done; }, std::chrono::seconds(30)));
    EXPECT_FALSE(state->isPresented());
    EXPECT_EQ(ui->openedTorrentID(), id);

    MainView& main = showWindow();
    ASSERT_TRUE(loaded()); // the entry's own first load
    const std::function<void()> closers[] = {
        [&] { ui->setFilter(ui->filter()); }, // the same filter closes too
        [&] { ui->setShowSettings(true); },
        [&] { ui->setOpenedTorrentID(id); },
        [&] { QTest::keyClick(main.offersPage(), Qt::Key_BracketLeft, Qt::ControlModifier); },
    };
    for (const auto& closeIt : closers) {
        ui->setShowSettings(false);
        ui->setOpenedTorrentID(std::nullopt);
        present();
        ASSERT_TRUE(state->isPresented());
        ASSERT_EQ(main.screen(), "offers");
        closeIt();
        EXPECT_FALSE(state->isPresented());
        EXPECT_NE(main.screen(), "offers");
    }

    // Hiding the last offer closes the page.
    ui->setShowSettings(false);
    ui->setOpenedTorrentID(std::nullopt);
    present();
    ASSERT_TRUE(state->isPresented());
    for (int i = 0; i < 2; ++i) {
        quorvel::OfferBanner* banner = main.offersPage()->banners()->banner(0);
        ASSERT_NE(banner, nullptr);
        QTest::mouseClick(banner->hideButton(), Qt::LeftButton);
        QApplication::processEvents();
    }
    EXPECT_FALSE(state->isPresented());
    EXPECT_EQ(main.screen(), "library");
    EXPECT_FALSE(main.offersEntry()->entry()->isVisible());
}

TEST_F(SidebarOffersTest, TheControlRoutePagesHidesAndClosesThroughTheSameModel) {
    service.route("/v1/offers", {.body = OffersService::body(items(4))});
    MainView& main = showWindow();
    ASSERT_TRUE(loaded());
    auto route = [&](CommandLayer::QueryMap query) {
        std::optional<Json> status;
        OffersRoute::run(*state, query, [&](Json j) { status = std::move(j); });
        EXPECT_TRUE(waitUntil([&] { return status.has_value(); }, std::chrono::seconds(30)));
        return status.value_or(Json::object());
    };
    Json status = route({{"action", "refresh"}});
    EXPECT_EQ(status["visible"], true);
    EXPECT_EQ(status["presented"], false);
    EXPECT_EQ(status["pages"], 2);
    EXPECT_EQ(status["offers"][0]["url"], "https://example.test/get/o0");
    EXPECT_EQ(service.requests("/v1/offers"), 2); // forced

    status = route({{"action", "present"}});
    EXPECT_EQ(status["presented"], true);
    EXPECT_EQ(main.screen(), "offers");
    status = route({{"action", "next"}});
    EXPECT_EQ(status["page"], 1);
    EXPECT_EQ(status["pageOffers"], Json::array({"o3"}));
    EXPECT_EQ(main.offersPage()->banners()->banner(0)->offer().id, "o3");
    status = route({{"action", "hide"}, {"id", "o3"}});
    EXPECT_EQ(status["page"], 0);
    EXPECT_EQ(status["pages"], 1);
    EXPECT_EQ(main.offersPage()->banners()->pageControls(), nullptr);
    status = route({{"action", "hide"}, {"id", "nobody"}});
    EXPECT_EQ(status["offers"].size(), 3u);
    status = route({{"action", "previous"}});
    EXPECT_EQ(status["page"], 0);
    status = route({{"action", "dance"}});
    EXPECT_EQ(status["presented"], true);
    status = route({{"action", "close"}});
    EXPECT_EQ(status["presented"], false);
    EXPECT_EQ(main.screen(), "library");
    EXPECT_EQ(status["sheetCount"], 0);
}

} // namespace
} // namespace tevro
