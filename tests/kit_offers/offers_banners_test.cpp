#include "quorvel-kit/offers/offers_banners.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QLabel>
#include <QTest>

#include "quorvel-kit/offers/offer_banner.h"
#include "quorvel-kit/offers/offers_model.h"
#include "quorvel-kit/offers/url_session_offers_transport.h"
#include "quorvel-kit/statistics/file_io.h"
#include "tests/support/offers_service.h"
#include "tests/support/qt_app.h"
#include "tests/support/temp_dir.h"

namespace quorvel {
namespace {

using tevro::test::OffersService;
using tevro::test::waitUntil;

std::vector<Offer> offers(int n) {
    std::vector<Offer> list;
    for (int i = 0; i < n; ++i) {
        Offer o;
        o.id = "o" + std::to_string(i);
        o.targetAppID = "notaly";
        o.title = "Предложение " + std::to_string(i);
        o.ctaLabel = "Открыть";
        o.ctaURL = QUrl("https://n.test/" + QString::number(i));
        list.push_back(o);
    }
    return list;
}

struct Strip {
    OffersModel& model;
    int closed = 0;
    OffersBanners strip;

    explicit Strip(OffersModel& m)
        : model(m), strip(m, "Скрыть", "Предыдущие", "Следующие", [this] { ++closed; }) {
        strip.resize(1100, 700);
        strip.show();
        QApplication::processEvents();
    }

    int banners() const {
        int n = 0;
        for (int i = 0; i < 3; ++i)
            n += strip.banner(i) ? 1 : 0;
        return n;
    }
};

TEST(OffersBanners, OnePageHasNoControls) {
    OffersModel model(offers(1));
    Strip s(model);
    EXPECT_EQ(s.banners(), 1);
    ASSERT_NE(s.strip.banner(0), nullptr);
    EXPECT_EQ(s.strip.banner(0)->offer().id, "o0");
    EXPECT_EQ(s.strip.pageControls(), nullptr);
    EXPECT_EQ(s.strip.minimumSize(), QSize(900, 620));
    // A banner keeps a third of the row beside two empty places.
    EXPECT_NEAR(s.strip.banner(0)->width(), (1100 - 36 - 28) / 3, 2);
    EXPECT_EQ(s.strip.imageHeight(), 280);
}

TEST(OffersBanners, PagesWithItsControls) {
    OffersModel model(offers(4));
    model.showPage(1);
    Strip s(model);
    EXPECT_EQ(model.pageIndex(), 0); // appearing opens the first page
    ASSERT_NE(s.strip.pageControls(), nullptr);
    EXPECT_EQ(s.strip.minimumSize(), QSize(900, 664));
    EXPECT_FALSE(s.strip.previousButton()->isEnabled());
    EXPECT_EQ(s.strip.pageLabel()->text(), "1 / 2");
    EXPECT_EQ(s.strip.previousButton()->objectName(), "offers.previous");
    EXPECT_EQ(s.strip.nextButton()->objectName(), "offers.next");
    EXPECT_EQ(s.strip.pageLabel()->objectName(), "offers.page");
    EXPECT_EQ(s.strip.imageHeight(), 700 - 44 - 400);

    QTest::mouseClick(s.strip.nextButton(), Qt::LeftButton);
    EXPECT_EQ(model.pageIndex(), 1);
    EXPECT_EQ(s.strip.pageLabel()->text(), "2 / 2");
    EXPECT_FALSE(s.strip.nextButton()->isEnabled());
    EXPECT_EQ(s.banners(), 1);
    EXPECT_EQ(s.strip.banner(0)->offer().id, "o3");

    // Hiding the only banner of the last page goes back a page.
    QTest::mouseClick(s.strip.banner(0)->hideButton(), Qt::LeftButton);
    EXPECT_EQ(model.pageIndex(), 0);
    EXPECT_EQ(s.strip.pageControls(), nullptr);
    EXPECT_EQ(s.banners(), 3);
    EXPECT_EQ(s.closed, 0);
}

TEST(OffersBanners, TheLastHideClosesOnce) {
    OffersModel model(offers(2));
    Strip s(model);
    QTest::mouseClick(s.strip.banner(1)->hideButton(), Qt::LeftButton);
    EXPECT_EQ(s.closed, 0);
    QApplication::processEvents();
    QTest::mouseClick(s.strip.banner(0)->hideButton(), Qt::LeftButton);
    EXPECT_EQ(s.closed, 1);
    EXPECT_EQ(s.banners(), 0);
    model.showPage(0);
    EXPECT_EQ(s.closed, 1);
}

TEST(OffersBanners, CountsThePageOnShowInTheStateFile) {
    OffersService service;
    std::vector<nlohmann::json> items;
    for (int i = 0; i < 4; ++i)
        items.push_back(OffersService::offer("o" + std::to_string(i), "Предложение"));
    service.route("/v1/offers", {.body = OffersService::body(items)});
    tevro::test::TempDir dir;
    QuorvelOffers facade;
    OffersDependencies dependencies;
    dependencies.transport = std::make_shared<URLSessionOffersTransport>();
    dependencies.channel = Channel::test;
    facade.configure(OffersConfiguration("tevro", service.root(), dir.path(), 20, false, false,
                                         [] { return std::string("ru"); }),
                     dependencies);
    OffersModel model(facade);
    bool loaded = false;
    model.refresh(false, [&] { loaded = true; });
    ASSERT_TRUE(waitUntil([&] { return loaded; }, std::chrono::seconds(20)));
    ASSERT_EQ(model.offers().size(), 4u);
    model.showPage(1);

    auto count = [&](const std::string& id) -> int64_t {
        auto text = readFile(dir.path() / "offers.json");
        auto state = text ? OffersState::decode(*text) : std::nullopt;
        if (!state || !state->impressions.contains(id))
            return 0;
        int64_t n = 0;
        for (const auto& [day, c] : state->impressions.at(id))
            n += c;
        return n;
    };
    {
        // Appearing on a later page moves to the first and counts it twice:
        // once on appearing, once for the change of the page's offers.
        Strip s(model);
        ASSERT_TRUE(waitUntil([&] { return count("o0") == 2; }));
        QTest::mouseClick(s.strip.nextButton(), Qt::LeftButton);
        ASSERT_TRUE(waitUntil([&] { return count("o3") == 1; }));
    }
    EXPECT_EQ(count("o1"), 2);
    EXPECT_EQ(count("o3"), 1);
}

} // namespace
} // namespace quorvel
