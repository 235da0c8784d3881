// Draws the main window with the sidebar's offers entry, the offers page on
// both of its pages, and a right-to-left reply: argv[1] is the output folder.
// The offers and their pictures come from a scripted service on this machine.

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include <QAbstractButton>
#include <QApplication>
#include <QEventLoop>
#include <QLinearGradient>
#include <QPainter>
#include <QTemporaryDir>
#include <QTimer>
#include <QBuffer>

#include "quorvel-kit/offers/offers_banners.h"
#include "quorvel-kit/offers/offers_model.h"
#include "tests/support/offers_service.h"
#include "tests/support/swarm/loopback_engine_settings.h"
#include "tevro/library/library_style.h"
#include "tevro/shell/application.h"
#include "tevro/shell/main_view.h"
#include "tevro/shell/main_window.h"
#include "tevro/shell/offers_page.h"
#include "tevro/shell/sidebar_offers.h"
#include "tevro/shell/sidebar_offers_state.h"

using namespace tevro;
namespace fs = std::filesystem;
using Item = nlohmann::json;

namespace {

fs::path gOut;

void settle(int milliseconds) {
    QEventLoop loop;
    QTimer::singleShot(milliseconds, &loop, &QEventLoop::quit);
    loop.exec();
}

bool waitFor(const std::function<bool()>& done, int milliseconds = 20000) {
    for (int waited = 0; waited < milliseconds && !done(); waited += 50)
        settle(50);
    return done();
}

void shot(QWidget* window, const char* name) {
    settle(400);
    fs::path file = gOut / (std::string("offers-") + name + ".png");
    if (!window->grab().save(QString::fromStdString(file.string())))
        std::fprintf(stderr, "shots_offers: could not write %s\n", file.c_str());
}

QByteArray png(const QImage& image) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

// A screenshot-like picture: a window with a title bar and a few rows.
QByteArray hero(QColor tint) {
    QImage image(960, 560, QImage::Format_RGB32);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient back(0, 0, 960, 560);
    back.setColorAt(0, tint.lighter(150));
    back.setColorAt(1, tint.darker(130));
    p.fillRect(image.rect(), back);
    p.setBrush(QColor(255, 255, 255, 235));
    p.setPen(Qt::NoPen);
    p.drawRoundedRect(QRectF(70, 60, 820, 440), 18, 18);
    p.setBrush(tint);
    p.drawRoundedRect(QRectF(100, 95, 220, 370), 12, 12);
    p.setBrush(QColor(0, 0, 0, 30));
    for (int i = 0; i < 6; ++i)
        p.drawRoundedRect(QRectF(350, 100 + i * 60, 500 - (i % 3) * 90, 30), 8, 8);
    return png(image);
}

QByteArray icon(QColor colour) {
    QImage image(96, 96, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setBrush(colour);
    p.setPen(Qt::NoPen);
    p.drawRoundedRect(QRectF(4, 4, 88, 88), 22, 22);
    p.setBrush(Qt::white);
    p.drawEllipse(QRectF(30, 30, 36, 36));
    return png(image);
}

Item offer(test::OffersService& service, const std::string& id, const std::string& app,
           const std::string& title, const std::string& body, const std::string& cta,
           std::vector<std::string> background, const std::string& accent) {
    Item item = test::OffersService::offer(id, title);
    item["targetAppId"] = app;
    item["content"]["body"] = body;
    item["content"]["ctaLabel"] = cta;
    item["content"]["imageUrl"] = service.url("/" + id + "-hero.png").toString().toStdString();
    item["design"] = {{"layout", "bottom"},
                      {"background", background},
                      {"foreground", "#FFFFFF"},
                      {"accent", accent},
                      {"iconUrl", service.url("/" + id + "-icon.png").toString().toStdString()},
                      {"bulletIconUrls", {service.url("/check.png").toString().toStdString()}}};
    service.route("/" + id + "-hero.png",
                  {.body = hero(QColor(QString::fromStdString(background[0])))});
    service.route("/" + id + "-icon.png", {.body = icon(QColor(QString::fromStdString(accent)))});
    return item;
}

bool fail(const char* what) {
    std::fprintf(stderr, "shots_offers: %s\n", what);
    return false;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: shots_offers DIR\n");
        return 2;
    }
    gOut = argv[1];
    fs::create_directories(gOut);
    QTemporaryDir scratch;
    fs::path root = scratch.path().toStdString();
    fs::path home = root / "home";
    swarm::writeLoopbackEngineSettings(home, swarm::freeLoopbackPort(), root / "downloads");
    setenv("TEVRO_HOME", home.c_str(), 1);
    setenv("TEVRO_SILENT", "1", 1);
    setenv("QUORVEL_TEST_ROOT", (root / "kit").c_str(), 1);

    QApplication qapp(argc, argv);
    std::setlocale(LC_NUMERIC, "C");
    LibraryStyle::apply(qapp);

    test::OffersService service;
    setenv("QUORVEL_OFFERS_ENDPOINT", service.root().toString().toStdString().c_str(), 1);
    service.route("/check.png", {.body = icon(QColor("#22C55E"))});
    std::vector<Item> items = {
        offer(service, "notes", "notaly", "Заметки, которые всегда под рукой",
              "Пишите, ищите и находите мысли за секунды — на всех устройствах.", "Скачать Notaly",
              {"#7C3AED", "#4C1D95"}, "#5B21B6"),
        offer(service, "photos", "lumora", "Фото без лишнего шума",
              "Разбирает съёмку, находит дубли и лучшие кадры.", "Попробовать бесплатно",
              {"#0EA5E9", "#075985"}, "#0369A1"),
        offer(service, "vault", "vaultik", "Пароли под надёжным замком", "", "Открыть Vaultik",
              {"#F97316", "#9A3412"}, "#C2410C"),
        offer(service, "music", "sonaro", "Музыка, которая подстраивается под вас",
              "Подборки на каждый день, без рекламы.", "Слушать", {"#DB2777", "#831843"},
              "#BE185D"),
    };
    items[0]["content"]["stats"] = {{{"value", "4.9"}, {"label", "средняя оценка"}},
                                    {{"value", "1 млн"}, {"label", "пользователей"}}};
    items[0]["content"]["bullets"] = {"Синхронизация без настройки", "Поиск по рукописному тексту",
                                      "Работает без сети"};
    items[1]["content"]["stats"] = {{{"value", "2×"}, {"label", "меньше места"}}};
    items[1]["content"]["bullets"] = {"Находит похожие снимки"};
    items[2]["content"]["bullets"] = {"Один пароль для всего", "Проверка утечек"};
    service.route("/v1/offers", {.body = test::OffersService::body(items)});

    Application app;
    if (!app.start({}))
        return fail("another Tevro answers on this data folder") ? 0 : 1;
    MainWindow* window = app.mainWindow();
    window->move(0, 0);
    SidebarOffers* entry = window->view()->offersEntry();
    if (!entry || !waitFor([&] { return entry->entry()->isVisible(); }))
        return fail("the offers entry never appeared") ? 0 : 1;
    shot(window, "entry");

    SidebarOffersState& state = SidebarOffersState::shared();
    entry->entry()->click();
    if (!waitFor([&] { return state.isPresented(); }))
        return fail("the offers page did not open") ? 0 : 1;
    shot(window, "page");
    window->view()->offersPage()->banners()->nextButton()->click();
    shot(window, "page-2");
    state.close();

    // A reply in a right-to-left language.
    Item rtl = {{"direction", "rtl"},
                {"offers",
                 {offer(service, "rtl", "notaly", "ملاحظات دائماً في متناول يدك",
                        "اكتب وابحث واعثر على أفكارك في ثوانٍ.", "تنزيل", {"#0F766E", "#134E4A"},
                        "#0F766E")}}};
    rtl["offers"][0]["content"]["bullets"] = {"مزامنة بدون إعداد", "يعمل بدون اتصال"};
    service.route("/v1/offers", {.body = QByteArray::fromStdString(rtl.dump())});
    bool refreshed = false;
    state.refresh(true, [&] { refreshed = true; });
    waitFor([&] { return refreshed; });
    state.present();
    if (!waitFor([&] { return state.isPresented(); }))
        return fail("the right-to-left page did not open") ? 0 : 1;
    shot(window, "page-rtl");
    state.close();

    // The longest texts an offer may bring, at the smallest size the window allows.
    std::vector<Item> tall = {
        offer(service, "long", "com.example.an-application-with-a-very-long-name",
              "Высокопроизводительный Высокопроизводительный",
              "Пишите, ищите и находите мысли за секунды — на всех устройствах, дома и в дороге, "
              "с синхронизацией, поиском по рукописному тексту и работой без сети.",
              "Скачать приложение с очень длинным названием", {"#7C3AED", "#4C1D95"}, "#5B21B6"),
        offer(service, "photos", "lumora", "Фото без лишнего шума",
              "Разбирает съёмку, находит дубли и лучшие кадры.", "Попробовать бесплатно",
              {"#0EA5E9", "#075985"}, "#0369A1"),
        offer(service, "vault", "vaultik", "Пароли под надёжным замком", "", "Открыть Vaultik",
              {"#F97316", "#9A3412"}, "#C2410C"),
    };
    tall[0]["content"]["stats"] = {{{"value", "123 456 789"}, {"label", "загрузок за всё время"}},
                                   {{"value", "99,98 %"}, {"label", "довольных пользователей"}}};
    tall[0]["content"]["bullets"] = {"Синхронизация без настройки", "Поиск по рукописному тексту",
                                     "Работает без сети", "Шифрование на устройстве"};
    tall[1]["content"]["bullets"] = {"Находит похожие снимки"};
    service.route("/v1/offers", {.body = test::OffersService::body(tall)});
    refreshed = false;
    state.refresh(true, [&] { refreshed = true; });
    waitFor([&] { return refreshed; });
    window->resize(window->minimumSize());
    state.present();
    if (!waitFor([&] { return state.isPresented(); }))
        return fail("the page of long texts did not open") ? 0 : 1;
    shot(window, "page-long-minimum");
    state.close();
    app.quit();
    return 0;
}
