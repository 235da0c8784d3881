#include "quorvel-kit/offers/offers_banners.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QLabel>
#include <QTest>

#include "quorvel-kit/offers/offer_banner.h"
#include "quorvel-kit/offers/offer_card_text.h"
#include "quorvel-kit/offers/offer_picture.h"
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

// At the smallest size a window allows, with the longest texts an offer may
// bring: every banner keeps its third of the row, nothing runs past its panel
// and the picture gives way to the text above it.
TEST(OffersBanners, LongTextsAtTheSmallestSizeStayInsideTheirBanners) {
    std::vector<Offer> list = offers(3);
    list[0].title = "Высокопроизводительный Высокопроизводительный";
    list[0].targetAppID = "com.example.an-application-with-a-name-longer-than-any-banner";
    list[0].stats = {{"123 456 789 012", "пользователей"}, {"98,7 %", "довольных"}};
    list[1].body = std::string(600, 'a') + " " + std::string(20, 'b');
    list[1].bullets = {"Первый пункт длинного списка", "Второй пункт длинного списка",
                       "Третий пункт длинного списка", "Четвёртый пункт длинного списка"};
    for (Offer& o : list)
        o.ctaLabel = "Открыть";
    OffersModel model(list);
    Strip s(model);
    s.strip.resize(s.strip.minimumSize());
    QApplication::processEvents();
    const int third = (900 - 36 - 28) / 3;
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        OfferBanner* b = s.strip.banner(i);
        ASSERT_NE(b, nullptr);
        EXPECT_NEAR(b->width(), third, 2);
        const QRect panel = b->rect();
        for (QWidget* child : b->findChildren<QWidget*>()) {
            if (!child->isVisible())
                continue;
            const QRect r(child->mapTo(b, QPoint(0, 0)), child->size());
            EXPECT_TRUE(panel.contains(r)) << child->metaObject()->className();
        }
        const QRect hero(b->hero()->mapTo(b, QPoint(0, 0)), b->hero()->size());
        const QRect cta(b->callToAction()->mapTo(b, QPoint(0, 0)), b->callToAction()->size());
        EXPECT_LE(hero.bottom(), cta.top()) << "the picture runs under the call to action";
        EXPECT_LE(hero.height(), s.strip.imageHeight());
    }
    OfferBanner* first = s.strip.banner(0);
    // The long word broke onto more lines; the name and the values end in an ellipsis.
    EXPECT_GT(first->title()->height(), 2 * QFontMetrics(first->title()->font()).height());
    EXPECT_LT(first->name()->width(), first->name()->sizeHint().width());
    EXPECT_LE(first->name()->geometry().right(), first->hideButton()->geometry().left());
    // A banner whose texts fit keeps the whole picture.
    EXPECT_EQ(s.strip.banner(2)->hero()->height(), s.strip.imageHeight());
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
