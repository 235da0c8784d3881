// Draws the kit's offer cards in each arrangement, wide and narrow, at rest
// and revealed, and the offers showroom in both layouts: argv[1] is the output
// folder. The offers' pictures are drawn here and served over loopback HTTPS.

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include <QApplication>
#include <QBuffer>
#include <QEnterEvent>
#include <QEventLoop>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPalette>
#include <QStyleFactory>
#include <QTimer>
#include <QVBoxLayout>

#include "quorvel-kit/offers/offer_card.h"
#include "quorvel-kit/offers/offer_card_layout.h"
#include "quorvel-kit/offers/offer_images.h"
#include "quorvel-kit/offers/offer_showroom.h"
#include "quorvel-kit/offers/offers_model.h"
#include "quorvel-kit/offers/pressable_card.h"
#include "tests/support/loopback_https_server.h"

namespace {

using namespace quorvel;

void settle(int milliseconds) {
    QEventLoop loop;
    QTimer::singleShot(milliseconds, &loop, &QEventLoop::quit);
    loop.exec();
}

void darkTheme(QApplication& app) {
    app.setStyle(QStyleFactory::create("Fusion"));
    QPalette p;
    p.setColor(QPalette::Window, Qt::black);
    p.setColor(QPalette::WindowText, Qt::white);
    p.setColor(QPalette::Base, QColor::fromRgbF(0.08f, 0.08f, 0.08f));
    p.setColor(QPalette::Text, Qt::white);
    p.setColor(QPalette::Button, QColor::fromRgbF(0.12f, 0.12f, 0.12f));
    p.setColor(QPalette::ButtonText, Qt::white);
    app.setPalette(p);
    QFont font("DejaVu Sans");
    font.setPixelSize(13);
    app.setFont(font);
}

QByteArray png(const QImage& image) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

// A made-up application window: title bar, sidebar and a grid of tiles.
QImage screenshot(QColor tint, int seed) {
    QImage image(900, 580, QImage::Format_ARGB32_Premultiplied);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.fillRect(image.rect(), QColor(24, 24, 28));
    p.fillRect(QRect(0, 0, 900, 38), QColor(40, 40, 46));
    for (int i = 0; i < 3; ++i) {
        p.setBrush(QColor::fromHsv((i * 40) % 360, 160, 230));
        p.setPen(Qt::NoPen);
        p.drawEllipse(QPointF(22 + i * 20, 19), 6, 6);
    }
    p.fillRect(QRect(0, 38, 200, 542), QColor(32, 32, 38));
    for (int i = 0; i < 7; ++i)
        p.fillRect(QRect(20, 64 + i * 34, 120 + (i * 37 + seed * 13) % 50, 12),
                   i == 1 ? tint : QColor(70, 70, 80));
    for (int row = 0; row < 3; ++row)
        for (int col = 0; col < 4; ++col) {
            QColor c = tint;
            c.setHsv((tint.hue() + (row * 4 + col) * 17 + seed * 29) % 360, 120, 200);
            QLinearGradient g(0, 0, 0, 150);
            g.setColorAt(0, c.lighter(125));
            g.setColorAt(1, c.darker(140));
            p.setBrush(g);
            p.drawRoundedRect(QRectF(224 + col * 166, 62 + row * 170, 150, 150), 12, 12);
        }
    return image;
}

QImage icon(QColor color, const QString& letter) {
    QImage image(128, 128, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient g(0, 0, 128, 128);
    g.setColorAt(0, color.lighter(130));
    g.setColorAt(1, color.darker(130));
    p.setBrush(g);
    p.setPen(Qt::NoPen);
    p.drawRoundedRect(QRectF(4, 4, 120, 120), 28, 28);
    QFont font("DejaVu Sans");
    font.setPixelSize(70);
    font.setBold(true);
    p.setFont(font);
    p.setPen(Qt::white);
    p.drawText(QRectF(4, 4, 120, 120), Qt::AlignCenter, letter);
    return image;
}

QImage bulletIcon(QColor color, int kind) {
    QImage image(64, 64, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setBrush(color);
    p.setPen(Qt::NoPen);
    p.drawRoundedRect(QRectF(2, 2, 60, 60), 16, 16);
    p.setPen(QPen(Qt::white, 5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    if (kind == 0)
        p.drawPolyline(QPolygonF({{18, 33}, {28, 43}, {46, 22}}));
    else if (kind == 1)
        p.drawEllipse(QPointF(32, 32), 14, 14);
    else
        p.drawRect(QRectF(19, 19, 26, 26));
    return image;
}

OfferDesign::RGB rgb(const char* hex) {
    return *OfferDesign::RGB::fromHex(hex);
}

struct Gallery {
    tevro::test::LoopbackHttpsServer server;
    std::vector<QUrl> urls;

    QUrl serve(const std::string& path, const QImage& image) {
        server.route(path, {.body = png(image), .headers = {{"Content-Type", "image/png"}}});
        const QUrl url(QString::fromStdString(server.url(path)));
        urls.push_back(url);
        return url;
    }

    Offer offer(std::string id, std::string app, OfferDesign::Layout layout, const char* first,
                const char* second, const char* foreground, const char* accent) {
        Offer o;
        o.id = id;
        o.targetAppID = app;
        o.ctaURL = QUrl("https://example.com/" + QString::fromStdString(app));
        o.design.layout = layout;
        o.design.background = {rgb(first), rgb(second)};
        o.design.foreground = rgb(foreground);
        o.design.accent = rgb(accent);
        const QColor tint =
            QColor::fromRgbF(o.design.accent.red, o.design.accent.green, o.design.accent.blue);
        o.design.iconURL =
            serve("/" + id + "/icon.png", icon(tint, QString::fromStdString(o.appName()).left(1)));
        o.imageURL = serve("/" + id + "/shot.png", screenshot(tint, int(id.size())));
        return o;
    }
};

void save(QWidget& widget, const std::filesystem::path& file) {
    widget.grab().save(QString::fromStdString(file.string()));
}

// A card on the window's background, as a host would set it.
void drawCard(const Offer& offer, int width, bool revealed, const std::filesystem::path& file) {
    QWidget frame;
    frame.setAutoFillBackground(true);
    auto* layout = new QVBoxLayout(&frame);
    layout->setContentsMargins(24, 24, 24, 24);
    auto* card = new OfferCard(offer, "Скрыть", {}, {});
    layout->addWidget(card);
    frame.resize(width + 48, card->heightForWidth(width) + 48);
    frame.show();
    settle(50);
    frame.resize(width + 48, card->heightForWidth(width) + 48);
    settle(50);
    if (revealed) {
        const QPointF at = QRectF(card->button()->rect()).center();
        QEnterEvent enter(at, at, card->button()->mapToGlobal(at));
        QCoreApplication::sendEvent(card->button(), &enter);
        settle(700);
    }
    save(frame, file);
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2)
        return 2;
    const std::filesystem::path out = argv[1];
    std::filesystem::create_directories(out);
    // The picture loader keeps its disk cache under the test root.
    const std::filesystem::path root = out / ".offers-gallery";
    setenv("QUORVEL_TEST_ROOT", root.c_str(), 1);
    QApplication app(argc, argv);
    darkTheme(app);

    Gallery g;
    Offer corner = g.offer("lumora-corner", "lumora", OfferDesign::Layout::corner, "#1E3A8A",
                           "#0F172A", "#FFFFFF", "#1D4ED8");
    corner.title = "Фотографии сами раскладываются по альбомам";
    corner.body = "Lumora находит лица, места и поездки и собирает из них альбомы.";
    corner.ctaLabel = "Попробовать бесплатно";
    corner.stats = {{"12K", "снимков в секунду"}, {"4K", "HDR"}, {"0", "рекламы"}};
    corner.bullets = {"Поиск по лицам и местам", "Копии в вашем облаке",
                      "Без подписки для одного Mac"};
    corner.design.bulletIconURLs = {
        g.serve("/lumora-corner/b0.png", bulletIcon(QColor(59, 130, 246), 0)),
        g.serve("/lumora-corner/b1.png", bulletIcon(QColor(16, 185, 129), 1)),
        g.serve("/lumora-corner/b2.png", bulletIcon(QColor(245, 158, 11), 2))};

    Offer side = g.offer("notaly-side", "notaly", OfferDesign::Layout::side, "#FDE68A", "#F59E0B",
                         "#1F2937", "#B45309");
    side.title = "Заметки, которые находятся";
    side.body = "Пишите как удобно, Notaly сама расставит теги.";
    side.ctaLabel = "Открыть в магазине";
    side.stats = {{"7", "дней бесплатно"}, {"1M", "пользователей"}, {"4.8", "оценка"}};
    side.bullets = {"Быстрый поиск по всему", "Синхронизация без аккаунта"};
    side.design.bulletIconURLs = {
        g.serve("/notaly-side/b0.png", bulletIcon(QColor(180, 83, 9), 0))};

    Offer bottom = g.offer("pacebook-bottom", "pacebook", OfferDesign::Layout::bottom, "#7C3AED",
                           "#5B21B6", "#FFFFFF", "#5B21B6");
    bottom.title = "Планы на неделю за минуту";
    bottom.body = "";
    bottom.ctaLabel = "Скачать";
    bottom.stats = {{"5", "минут в день"}};
    bottom.bullets = {"Календарь и задачи в одном окне", "Напоминания на всех устройствах",
                      "Тёмная тема", "Экспорт в PDF"};
    bottom.design.bulletIconURLs = {
        g.serve("/pacebook-bottom/b0.png", bulletIcon(QColor(139, 92, 246), 0)),
        g.serve("/pacebook-bottom/b1.png", bulletIcon(QColor(236, 72, 153), 1))};

    Offer sonaro = g.offer("sonaro", "sonaro", OfferDesign::Layout::side, "#064E3B", "#022C22",
                           "#ECFDF5", "#047857");
    sonaro.title = "Музыка без шума";
    sonaro.body = "Эквалайзер, который слушает комнату.";
    sonaro.ctaLabel = "Подробнее";
    sonaro.stats = {{"32", "полосы"}, {"0", "задержки"}};
    sonaro.bullets = {"Профили для наушников"};

    Offer arabic = g.offer("vaultik-rtl", "vaultik", OfferDesign::Layout::corner, "#111827",
                           "#374151", "#F9FAFB", "#111827");
    arabic.isRightToLeft = true;
    arabic.title = "كلمات المرور في مكان واحد";
    arabic.body = "خزنة مشفرة على جهازك.";
    arabic.ctaLabel = "جرّب الآن";
    arabic.stats = {{"256", "بت تشفير"}};
    arabic.bullets = {"ملء تلقائي", "بدون سحابة"};

    // Every picture is in memory before anything is drawn.
    bool ready = false;
    OfferImages::shared().prefetch(g.urls, 20, [&] { ready = true; });
    for (int i = 0; i < 400 && !ready; ++i)
        settle(25);
    settle(50);

    for (const Offer* offer : {&corner, &side, &bottom}) {
        const std::string name = std::string(rawValue(offer->design.layout));
        drawCard(*offer, 600, false, out / ("offer-card-" + name + "-wide.png"));
        drawCard(*offer, 600, true, out / ("offer-card-" + name + "-wide-revealed.png"));
        drawCard(*offer, 380, false, out / ("offer-card-" + name + "-narrow.png"));
        drawCard(*offer, 380, true, out / ("offer-card-" + name + "-narrow-revealed.png"));
    }
    drawCard(arabic, 600, false, out / "offer-card-corner-wide-rtl.png");
    Offer plain = side;
    plain.imageURL.reset();
    plain.design.layout = OfferDesign::Layout::bottom;
    drawCard(plain, 380, false, out / "offer-card-bottom-narrow-no-picture.png");

    OffersModel model(std::vector<Offer>{corner, side, bottom, sonaro, arabic});
    const OffersShowroom::Labels labels{"Другие приложения", "Закрыть", "Скрыть"};
    {
        OffersShowroom showroom(model, labels, OffersShowroom::Layout::list, [] {});
        showroom.setAutoFillBackground(true);
        showroom.resize(640, 820);
        showroom.show();
        settle(200);
        save(showroom, out / "offers-showroom-list.png");
    }
    {
        OffersModel three(std::vector<Offer>{corner, side, bottom});
        OffersShowroom showroom(three, labels, OffersShowroom::Layout::columns, [] {});
        showroom.setAutoFillBackground(true);
        showroom.resize(1120, 640);
        showroom.show();
        settle(200);
        save(showroom, out / "offers-showroom-columns.png");
    }
    std::filesystem::remove_all(root);
    return 0;
}
