#include "quorvel-kit/offers/offer_banner.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
#include <QTest>

#include "quorvel-kit/offers/offer_card_text.h"
#include "quorvel-kit/offers/offer_images.h"
#include "quorvel-kit/offers/offer_picture.h"
#include "quorvel-kit/offers/url_session_offers_transport.h"

namespace quorvel {
namespace {

Offer sample(const std::string& id) {
    Offer o;
    o.id = id;
    o.targetAppID = "notaly";
    o.title = "Заметки, которые всегда под рукой";
    o.body = "Пишите, ищите и находите за секунды.";
    o.ctaLabel = "Открыть";
    o.ctaURL = QUrl("https://n.test/get");
    o.stats = {{"4.9", "оценка"}, {"1M", "пользователей"}};
    o.bullets = {"Первый", "Второй", "Третий"};
    // Refused before any request: the icon stays empty.
    o.design.bulletIconURLs = {QUrl("http://127.0.0.1:9/b1.png")};
    return o;
}

QStringList texts(const QWidget* widget) {
    QStringList all;
    for (const OfferCardText* text : widget->findChildren<OfferCardText*>())
        all << text->text();
    return all;
}

// A banner in a left-to-right window of its own.
struct Shown {
    OfferImages images{std::make_shared<URLSessionOffersTransport>()};
    QWidget window;
    OfferBanner* banner;
    int opened = 0;
    int hidden = 0;

    explicit Shown(const Offer& offer) {
        window.setLayoutDirection(Qt::LeftToRight);
        banner = new OfferBanner(
            offer, QStringLiteral("Скрыть"), [this] { ++opened; }, [this] { ++hidden; }, 220,
            &window, &images);
        banner->resize(300, 760);
        window.resize(300, 760);
        window.show();
        QApplication::processEvents();
    }
};

TEST(OfferBanner, ComposesTheOfferAsPlainText) {
    struct Case {
        const char* name;
        std::function<void(Offer&)> change;
        std::function<void(const OfferBanner&)> check;
    };
    const Case cases[] = {
        {"right to left puts the hide button at the left", [](Offer& o) { o.isRightToLeft = true; },
         [](const OfferBanner& b) {
             EXPECT_EQ(b.layoutDirection(), Qt::RightToLeft);
             EXPECT_LT(b.hideButton()->x(), b.icon()->x());
         }},
        {"left to right puts the icon first", [](Offer&) {},
         [](const OfferBanner& b) {
             EXPECT_LT(b.icon()->x(), b.hideButton()->x());
             EXPECT_NE(b.body(), nullptr);
         }},
        {"an empty body leaves no gap", [](Offer& o) { o.body.clear(); },
         [](const OfferBanner& b) {
             EXPECT_EQ(b.body(), nullptr);
             EXPECT_EQ(b.statistics()->y() - (b.title()->y() + b.title()->height()), 10);
         }},
        {"no statistics keep their row", [](Offer& o) { o.stats.clear(); },
         [](const OfferBanner& b) { EXPECT_GE(b.statistics()->height(), 48); }},
        {"only bullets with an icon address show one", [](Offer&) {},
         [](const OfferBanner& b) {
             EXPECT_EQ(b.bullets()->findChildren<OfferPicture*>().size(), 1);
             auto* icon = b.bullets()->findChildren<OfferPicture*>().front();
             EXPECT_LT(icon->y(), 24); // before the first bullet
         }},
        {"an unknown application shows its identifier", [](Offer& o) { o.targetAppID = "zeta"; },
         [](const OfferBanner& b) { EXPECT_TRUE(texts(&b).contains("zeta")); }},
        {"markup stays text",
         [](Offer& o) {
             o.title = "<b>Жирный</b> <a href='https://x.test'>ссылка</a>";
             o.bullets = {"<img src='file:///etc/passwd'>"};
         },
         [](const OfferBanner& b) {
             EXPECT_EQ(b.title()->text(), "<b>Жирный</b> <a href='https://x.test'>ссылка</a>");
             // Every text is drawn as it is, none by a rich-text label.
             EXPECT_TRUE(b.findChildren<QLabel*>().isEmpty());
             EXPECT_TRUE(texts(&b).contains("<img src='file:///etc/passwd'>"));
         }},
        {"a short title still takes 50 points", [](Offer& o) { o.title = "Да"; },
         [](const OfferBanner& b) { EXPECT_GE(b.title()->height(), 50); }},
        {"the hero keeps its height without a picture", [](Offer&) {},
         [](const OfferBanner& b) {
             EXPECT_EQ(b.hero()->height(), 220);
             EXPECT_TRUE(b.hero()->image().isNull());
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Offer offer = sample("a");
        c.change(offer);
        Shown shown(offer);
        c.check(*shown.banner);
    }
}

TEST(OfferBanner, ButtonsCarryTheOfferIdAndCallTheirActionOnce) {
    Shown a(sample("alpha"));
    Shown b(sample("alpha2"));
    EXPECT_EQ(a.banner->hideButton()->objectName(), "offer.hide.alpha");
    EXPECT_EQ(a.banner->callToAction()->objectName(), "offer.alpha");
    EXPECT_EQ(a.banner->hideButton()->accessibleName(), "Скрыть");
    EXPECT_EQ(a.banner->callToAction()->accessibleName(), "Открыть");
    EXPECT_EQ(b.banner->callToAction()->objectName(), "offer.alpha2");

    QTest::mouseClick(a.banner->hideButton(), Qt::LeftButton);
    EXPECT_EQ(a.hidden, 1);
    EXPECT_EQ(a.opened, 0);
    QTest::mouseClick(a.banner->callToAction(), Qt::LeftButton);
    EXPECT_EQ(a.opened, 1);
    EXPECT_EQ(a.hidden, 1);
    EXPECT_EQ(b.opened + b.hidden, 0);
}

TEST(OfferBanner, ALongCallToActionWrapsInsteadOfBeingCut) {
    Offer offer = sample("a");
    offer.ctaLabel = "Очень длинная надпись на кнопке, которая никак не помещается в одну строку";
    Shown shown(offer);
    EXPECT_GT(shown.banner->callToAction()->height(), 40);
    EXPECT_EQ(shown.banner->callToAction()->width(), 300 - 28);
}

} // namespace
} // namespace quorvel
