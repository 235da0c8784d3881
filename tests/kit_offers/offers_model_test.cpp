#include "quorvel-kit/offers/offers_model.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "quorvel-kit/offers/url_session_offers_transport.h"
#include "tests/support/loopback_https_server.h"
#include "tests/support/qt_app.h"
#include "tests/support/temp_dir.h"

namespace quorvel {
namespace {

std::vector<Offer> offers(int n, const std::string& prefix = "o") {
    std::vector<Offer> list(n);
    for (int i = 0; i < n; ++i)
        list[i].id = prefix + std::to_string(i);
    return list;
}

std::vector<std::string> ids(const std::vector<Offer>& list) {
    std::vector<std::string> out;
    for (const auto& o : list)
        out.push_back(o.id);
    return out;
}

TEST(OffersModel, Paging) {
    OffersModel empty(std::vector<Offer>{});
    EXPECT_EQ(empty.pageCount(), 1);
    EXPECT_TRUE(empty.pageOffers().empty());
    empty.nextPage();
    empty.previousPage();
    EXPECT_EQ(empty.pageIndex(), 0);

    OffersModel seven(offers(7));
    EXPECT_EQ(seven.pageCount(), 3);
    seven.showPage(2);
    EXPECT_EQ(ids(seven.pageOffers()), std::vector<std::string>{"o6"});
    seven.nextPage();
    EXPECT_EQ(seven.pageIndex(), 2);
    seven.showPage(-5);
    EXPECT_EQ(seven.pageIndex(), 0);

    OffersModel four(offers(4));
    int writes = 0;
    QObject::connect(&four, &OffersModel::pageIndexChanged, [&] { ++writes; });
    four.showPage(99);
    four.showPage(99);
    EXPECT_EQ(four.pageIndex(), 1);
    EXPECT_EQ(writes, 2); // told every time, changed or not
}

TEST(OffersModel, HidingMovesBackAPageAndRemovesEveryCopy) {
    for (int hidden : {3, 0}) {
        OffersModel model(offers(4));
        model.showPage(1);
        model.hide(model.offers()[hidden]);
        EXPECT_EQ(model.offers().size(), 3u);
        EXPECT_EQ(model.pageIndex(), 0);
    }
    auto twins = offers(2);
    twins[1].id = twins[0].id;
    OffersModel model(twins);
    model.hide(twins[0]);
    EXPECT_TRUE(model.offers().empty());
    EXPECT_EQ(model.pageIndex(), 0);
}

TEST(OffersModel, RefreshKeepsThePageWhereItStillExists) {
    tevro::test::ensureQtApp();
    tevro::test::LoopbackHttpsServer server;
    tevro::test::TempDir dir;
    const std::string path = "/v1/offers?appId=tevro&platform=macos&locale=ru&limit=20";
    auto serve = [&](int n) {
        nlohmann::json items = nlohmann::json::array();
        for (int i = 0; i < n; ++i)
            items.push_back(
                {{"id", "s" + std::to_string(i)},
                 {"targetAppId", "notaly"},
                 {"frequency", {{"maxImpressionsPerDay", 1}, {"dismissForDays", 1}}},
                 {"content", {{"title", "T"}, {"ctaLabel", "Go"}, {"ctaUrl", "https://n.test/"}}}});
        server.route(path,
                     {.body = QByteArray::fromStdString(nlohmann::json{{"offers", items}}.dump())});
    };
    QuorvelOffers facade;
    OffersDependencies dependencies;
    dependencies.transport = std::make_shared<URLSessionOffersTransport>();
    dependencies.now = systemNow;
    dependencies.channel = Channel::test;
    facade.configure(OffersConfiguration("tevro", QUrl(QString::fromStdString(server.url(""))),
                                         dir.path(), 20, false, false,
                                         [] { return std::string("ru"); }),
                     dependencies);
    OffersModel model(facade);
    auto refresh = [&] {
        bool done = false;
        model.refresh(true, [&] { done = true; });
        EXPECT_TRUE(tevro::test::waitUntil([&] { return done; }));
    };
    serve(7);
    refresh();
    EXPECT_EQ(model.offers().size(), 7u);
    model.showPage(2);
    serve(8);
    refresh();
    EXPECT_EQ(model.pageIndex(), 2);
    serve(4);
    refresh();
    EXPECT_EQ(model.pageIndex(), 1);
    server.route(path, {.status = 500});
    refresh();
    EXPECT_TRUE(model.offers().empty());
    EXPECT_EQ(model.pageIndex(), 0);
}

} // namespace
} // namespace quorvel
