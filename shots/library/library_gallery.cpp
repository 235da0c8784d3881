// Draws every widget of the library in each state a torrent can be in, with
// and without artwork, into PNGs in the folder given as the first argument.

#include <filesystem>
#include <functional>
#include <iostream>
#include <memory>
#include <set>

#include <QApplication>
#include <QDir>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QThread>
#include <QVBoxLayout>

#include "shots/library/sample_torrents.h"
#include "tevro/library/checking_metrics.h"
#include "tevro/library/featured_torrent.h"
#include "tevro/library/file_pieces_bar.h"
#include "tevro/library/library_button_style.h"
#include "tevro/library/library_context.h"
#include "tevro/library/library_style.h"
#include "tevro/library/pattern_cover.h"
#include "tevro/library/pieces_bar.h"
#include "tevro/library/pieces_legend.h"
#include "tevro/library/sidebar_transfer_status.h"
#include "tevro/library/symbols.h"
#include "tevro/library/torrent_grid_view.h"
#include "tevro/library/torrent_list_model.h"
#include "tevro/library/torrent_row_view.h"
#include "tests/support/swarm/generated_torrent.h"
#include "tests/support/swarm/loopback_engine_settings.h"
#include "tevro/engine/torrent_engine.h"
#include "tevro/library/torrent_list_row.h"
#include "tevro/library/transfer_badge.h"
#include "tevro/library/transfer_progress.h"
#include "tevro/media/artwork_store.h"

using namespace tevro;

namespace {

QString g_out;
int g_written = 0;

void settle() {
    for (int i = 0; i < 20; ++i) {
        QApplication::processEvents();
        QThread::msleep(5);
    }
}

void save(QWidget& w, const QString& name) {
    // The page's own size, even where it exceeds the screen.
    w.layout()->activate();
    const QSize hint = w.sizeHint();
    const int height = w.hasHeightForWidth()
                           ? std::max(hint.height(), w.heightForWidth(hint.width()))
                           : hint.height();
    w.resize(hint.width(), height);
    w.show();
    settle();
    const QString path = QDir(g_out).filePath(name + QStringLiteral(".png"));
    if (w.grab().save(path))
        ++g_written;
    else
        std::cerr << "could not write " << path.toStdString() << "\n";
    w.hide();
}

QWidget* page(const QString& title, QLayout* body) {
    auto* w = new QWidget;
    w->setAutoFillBackground(true);
    auto* v = new QVBoxLayout(w);
    v->setContentsMargins(24, 20, 24, 24);
    v->setSpacing(16);
    auto* heading = new QLabel(title);
    heading->setFont(LibraryStyle::font(13, QFont::DemiBold));
    v->addWidget(heading);
    v->addLayout(body);
    return w;
}

QLabel* caption(const QString& text) {
    auto* l = new QLabel(text);
    l->setFont(LibraryStyle::font(11));
    QPalette p = l->palette();
    p.setColor(QPalette::WindowText, LibraryStyle::muted());
    l->setPalette(p);
    return l;
}

struct Sample {
    QString label;
    TorrentStatus torrent;
    bool selected = false;
};

std::vector<Sample> samples() {
    using sample::State;
    auto t = [](State s, const char* id, const char* name, double f = 0.42) {
        return sample::torrent(s, id, name, f);
    };
    TorrentStatus checkingNoEta = t(State::checking, "c2", "Garden.Timelapse.2020.1080p.mkv", 0.1);
    checkingNoEta.checkingRate.reset();
    return {
        {"загрузка, с картинкой",
         t(State::downloading, "art1", "Northern.Lights.2019.1080p.BluRay.x264.mkv", 0.42), true},
        {"раздача", t(State::seeding, "s1", "The.Long.Road.S02E05.720p.WEB-DL.mkv", 1)},
        {"пауза", t(State::paused, "p1", "Classic.Jazz.Collection.flac", 0.075)},
        {"в очереди", t(State::queued, "q1", "Ocean.Documentary.2021.2160p.HDR.mkv", 0.6)},
        {"проверка", t(State::checking, "c1", "Mountain.Expedition.2016.1080p.mkv", 0.55)},
        {"проверка без оценки", checkingNoEta},
        {"ошибка", t(State::error, "e1", "Linux.Distribution.Images.zip", 0.3)},
        {"файлы отсутствуют", t(State::missing, "m1", "Space.Station.Tour.2022.720p.mp4", 0.8)},
        {"метаданные", t(State::metadata, "d1", "Magnet link")},
    };
}

// The samples' states, one per card or row, in the views the window uses.
std::unique_ptr<TorrentListModel> sampleModel() {
    auto model = std::make_unique<TorrentListModel>();
    std::vector<TorrentStatus> list;
    std::set<std::string> selected;
    for (const Sample& s : samples()) {
        list.push_back(s.torrent);
        if (s.selected)
            selected.insert(s.torrent.id);
    }
    model->setTorrents(list);
    model->setSelection(selected);
    return model;
}

void grab(QWidget& w, const QString& name) {
    w.show();
    settle();
    settle(); // pictures and piece maps of the painted items arrive
    if (w.grab().save(QDir(g_out).filePath(name + QStringLiteral(".png"))))
        ++g_written;
    else
        std::cerr << "could not write " << name.toStdString() << "\n";
    w.hide();
}

void cards() {
    auto model = sampleModel();
    TorrentGridView grid;
    grid.setTorrentModel(model.get());
    grid.resize(5 * (260 + TorrentGridView::kSpacing) + 2 * LibraryItemView::kSidePadding, 400);
    grid.show();
    settle();
    grid.resize(grid.width(), grid.sizeHint().height());
    grab(grid, QStringLiteral("library-cards"));
}

void rows() {
    auto model = sampleModel();
    TorrentRowView list;
    list.setTorrentModel(model.get());
    list.resize(900, model->rowCount() * (int(TorrentListRow::kHeight) + TorrentRowView::kSpacing) +
                         TorrentRowView::kSpacing);
    grab(list, QStringLiteral("library-rows"));
}

// Every status word, each on a 200-character name, on cards of the minimum
// width and on rows as narrow as the window at its minimum size lets them be.
void statuses() {
    using sample::State;
    std::string name = "The.Extraordinarily.Long.And.Winding.Title.Of.A.Documentary.Series.About."
                       "The.Northern.Lights.Over.The.Arctic.Circle.Filmed.Across.Four.Seasons."
                       "Directors.Cut.Remastered.Special.Edition";
    name.resize(200 - 11, '.');
    name += ".2023.1080p";
    std::vector<TorrentStatus> list;
    auto add = [&](State state, auto&& change) {
        TorrentStatus t =
            sample::torrent(state, "status" + std::to_string(list.size()), name, 0.42);
        change(t);
        list.push_back(t);
    };
    auto same = [](TorrentStatus&) {};
    add(State::missing, same);
    add(State::error, same);
    add(State::downloading, [](TorrentStatus& t) { t.moving = true; });
    add(State::checking, same);
    add(State::checking, [](TorrentStatus& t) {
        t.paused = true;
        t.autoManaged = false;
    });
    add(State::checking, [](TorrentStatus& t) { t.paused = true; });
    add(State::metadata, same);
    add(State::metadata, [](TorrentStatus& t) { t.paused = true; });
    add(State::queued, same);
    add(State::seeding, [](TorrentStatus& t) {
        t.paused = true;
        t.autoManaged = false;
    });
    add(State::paused, same);
    add(State::seeding, same);
    add(State::downloading, same);
    add(State::seeding, [](TorrentStatus& t) {
        t.state = "finished";
        t.seeding = false;
        t.wanted = 0;
    });
    TorrentListModel model;
    model.setTorrents(list);

    TorrentGridView grid;
    grid.setTorrentModel(&model);
    // Four cards of the minimum width.
    grid.resize(4 * (TorrentGridView::kMinCardWidth + TorrentGridView::kSpacing) +
                    2 * LibraryItemView::kSidePadding,
                400);
    grid.show();
    settle();
    grid.resize(grid.width(), grid.sizeHint().height());
    grab(grid, QStringLiteral("library-statuses-cards"));

    TorrentRowView rows;
    rows.setTorrentModel(&model);
    // The list's width in a window of 900 points: less the sidebar and its line.
    rows.resize(900 - 197,
                int(list.size()) * (int(TorrentListRow::kHeight) + TorrentRowView::kSpacing) +
                    TorrentRowView::kSpacing);
    grab(rows, QStringLiteral("library-statuses-rows"));
}

void featured() {
    using sample::State;
    auto* list = new QVBoxLayout;
    list->setSpacing(12);
    const std::pair<const char*, TorrentStatus> items[] = {
        {"загрузка, с картинкой",
         sample::torrent(State::downloading, "art1", "Northern.Lights.2019.1080p.BluRay.x264.mkv",
                         0.42)},
        {"проверка завершённого",
         [] {
             auto t = sample::torrent(State::checking, "c1", "The.Long.Road.S02E05.720p.WEB-DL.mkv",
                                      0.3);
             t.finished = true;
             return t;
         }()},
        {"музыка на паузе, без картинки",
         sample::torrent(State::paused, "p1",
                         "A.Very.Long.Title.Of.A.Classic.Jazz.Collection.Remastered.Deluxe.Edition."
                         "With.Bonus.Tracks.flac",
                         0.6)},
    };
    for (const auto& [label, t] : items) {
        auto* f = new FeaturedTorrent;
        f->setFixedWidth(900);
        f->setTorrent(t);
        list->addWidget(caption(QString::fromUtf8(label)));
        list->addWidget(f);
    }
    std::unique_ptr<QWidget> w(page(QStringLiteral("Главный торрент"), list));
    save(*w, QStringLiteral("library-featured"));
}

void parts() {
    using sample::State;
    auto* v = new QVBoxLayout;
    v->setSpacing(10);

    v->addWidget(caption(QStringLiteral("Кнопки: главная, обычная, нажатая, выключенная, пустая")));
    auto* buttons = new QHBoxLayout;
    buttons->setSpacing(10);
    auto addButton = [&](const QString& text, bool prominent, const char* symbol, bool down,
                         bool enabled) {
        auto* b = new QPushButton(text);
        LibraryButtonStyle::apply(b, prominent);
        if (symbol)
            LibraryButtonStyle::setSymbol(b, symbol);
        b->setDown(down);
        b->setEnabled(enabled);
        buttons->addWidget(b);
    };
    addButton(QStringLiteral("Смотреть"), true, "play.fill", false, true);
    addButton(QStringLiteral("Открыть торрент"), false, "rectangle.stack", false, true);
    addButton(QStringLiteral("Нажата"), true, nullptr, true, true);
    addButton(QStringLiteral("Выключена"), true, nullptr, true, false);
    addButton(QString(), false, nullptr, false, true);
    buttons->addStretch(1);
    v->addLayout(buttons);

    v->addWidget(caption(QStringLiteral("Значки состояния")));
    auto* badges = new QHBoxLayout;
    for (const Sample& s : samples()) {
        auto* b = new TransferBadge;
        b->setTorrent(s.torrent);
        badges->addWidget(b);
    }
    badges->addStretch(1);
    v->addLayout(badges);

    v->addWidget(caption(QStringLiteral(
        "Полосы частей: 400 частей на 600 точек, на 120 точек, 8 частей, пустая карта")));
    const TorrentStatus dl = sample::torrent(State::downloading, "bar", "x.mkv", 0.5);
    for (auto [map, width] :
         {std::pair{sample::pieces(dl), 600}, std::pair{sample::pieces(dl), 120},
          std::pair{PieceMap("11120033"), 600}, std::pair{PieceMap(), 600}}) {
        auto* bar = new PiecesBar;
        bar->setMap(map);
        bar->setFixedSize(width, 8);
        v->addWidget(bar);
    }
    v->addWidget(caption(QStringLiteral("Полосы файла: части 100–199, запасная полоса 30%")));
    TorrentFile file;
    file.size = 100;
    file.done = 30;
    file.first = 100;
    file.last = 199;
    auto* fileBar = new FilePiecesBar;
    fileBar->set(sample::pieces(dl), file);
    fileBar->setFixedSize(600, 8);
    v->addWidget(fileBar);
    file.first = -1;
    auto* fallback = new FilePiecesBar;
    fallback->set(sample::pieces(dl), file);
    fallback->setFixedSize(600, 8);
    v->addWidget(fallback);

    v->addWidget(caption(QStringLiteral("Легенда: строкой и столбцом")));
    auto* legend = new PiecesLegend;
    v->addWidget(legend);
    auto* narrow = new PiecesLegend;
    narrow->setFixedWidth(narrow->minimumSizeHint().width());
    narrow->setFixedHeight(narrow->heightForWidth(narrow->width()));
    v->addWidget(narrow);

    v->addWidget(caption(QStringLiteral("Полоса прогресса: 7.5%, проверка 50%, готово")));
    for (auto t : {sample::torrent(State::paused, "a", "a", 0.075),
                   sample::torrent(State::checking, "b", "b", 0.5),
                   sample::torrent(State::seeding, "c", "c", 1)}) {
        auto* p = new TransferProgress(5);
        p->setTorrent(t);
        p->setFixedWidth(280);
        v->addWidget(p);
    }

    v->addWidget(caption(QStringLiteral("Метрики проверки: в строку и в два ряда")));
    const TorrentStatus checking = sample::torrent(State::checking, "m", "m", 0.4);
    for (int width : {400, 150}) {
        auto* m = new CheckingMetrics;
        m->setTorrent(checking);
        m->setFixedWidth(width);
        m->setFixedHeight(m->heightForWidth(width));
        v->addWidget(m);
    }
    std::unique_ptr<QWidget> w(page(QStringLiteral("Части"), v));
    save(*w, QStringLiteral("library-parts"));
}

void covers() {
    auto* grid = new QGridLayout;
    grid->setSpacing(10);
    for (int i = 0; i < PatternCover::kRampCount; ++i) {
        // Find an identity that lands on ramp i.
        std::string identity;
        for (int k = 0;; ++k) {
            identity = "cover-" + std::to_string(k);
            if (PatternCover::rampIndex(identity) == i)
                break;
        }
        auto* c = new PatternCover(identity);
        c->setFixedSize(192, 120);
        grid->addWidget(c, i / 4, i % 4);
    }
    std::unique_ptr<QWidget> w(page(QStringLiteral("Обложки-узоры"), grid));
    save(*w, QStringLiteral("library-covers"));
}

void symbols() {
    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(14);
    grid->setVerticalSpacing(6);
    int i = 0;
    for (const std::string& name : Symbols::names()) {
        auto* icon = new QLabel;
        icon->setPixmap(Symbols::pixmap(name, LibraryStyle::text(), 20, 2.0));
        auto* text = caption(QString::fromStdString(name));
        grid->addWidget(icon, i / 4, (i % 4) * 2);
        grid->addWidget(text, i / 4, (i % 4) * 2 + 1);
        ++i;
    }
    std::unique_ptr<QWidget> w(page(QStringLiteral("Символы"), grid));
    save(*w, QStringLiteral("library-symbols"));
}

void views() {
    TorrentListModel model;
    std::vector<TorrentStatus> list = sample::library(40, 3);
    list[0] = sample::torrent(sample::State::downloading, "art1",
                              "Northern.Lights.2019.1080p.BluRay.x264.mkv", 0.42);
    list[3] =
        sample::torrent(sample::State::seeding, "art2", "Ocean.Documentary.2021.2160p.mkv", 1);
    model.setTorrents(list);
    model.setSelection({"art1", list[5].id});

    TorrentGridView grid;
    grid.setTorrentModel(&model);
    grid.resize(1180, 900);
    grab(grid, QStringLiteral("library-grid"));

    TorrentRowView rows;
    rows.setTorrentModel(&model);
    rows.resize(1000, 760);
    grab(rows, QStringLiteral("library-list"));
}

void sidebar() {
    // A loopback engine seeding one generated torrent, so the figures are real.
    QTemporaryDir home;
    const std::filesystem::path root = home.path().toStdString();
    swarm::writeLoopbackEngineSettings(root / "home", swarm::freeLoopbackPort(),
                                       root / "downloads");
    TorrentEngine::Options options;
    options.dataFolder = root / "home";
    options.refreshTrackersAtStart = false;
    TorrentEngine engine(options);
    swarm::GeneratedTorrent::Options o;
    o.name = "Gallery";
    o.files = {{"Gallery/clip.mkv", 2 << 20}};
    const auto made = swarm::GeneratedTorrent::create(root / "seed", o);
    (void)engine.addTorrent(made.torrentPath(), made.savePath().string(), std::nullopt, false,
                            false);
    for (int i = 0; i < 100 && engine.torrents().empty(); ++i)
        settle();

    auto* h = new QHBoxLayout;
    h->setSpacing(24);
    auto add = [&](const char* label, bool collapsed, bool settings) {
        auto* v = new QVBoxLayout;
        v->addWidget(caption(QString::fromUtf8(label)));
        auto* block = new SidebarTransferStatus(&engine);
        block->setFixedWidth(240);
        block->setCollapsed(collapsed);
        block->setSettingsShown(settings);
        v->addWidget(block);
        v->addStretch(1);
        h->addLayout(v);
    };
    add("развёрнуто", false, false);
    add("открыты настройки", false, true);
    add("свёрнуто", true, false);
    std::unique_ptr<QWidget> w(page(QStringLiteral("Сводка загрузок"), h));
    save(*w, QStringLiteral("library-sidebar"));
    w.reset();
    engine.shutdown();
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    LibraryStyle::apply(app);
    g_out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(".");
    QDir().mkpath(g_out);

    // A store whose disk cache holds a picture for the "art" torrents.
    QTemporaryDir cache;
    ArtworkStore store({.files = {},
                        .videos = {},
                        .directory = cache.path().toStdString(),
                        .extractor = "/nonexistent"});
    for (const char* id : {"art1", "art2"})
        sample::frame(std::uint32_t(id[3]))
            .save(QDir(cache.path())
                      .filePath(QString::fromStdString(ArtworkStore::cacheKey(id, std::nullopt) +
                                                       ".jpg")),
                  "JPG", 92);
    LibraryContext::setArtworkStore(&store);
    LibraryContext::setPieceMapSource([](const std::string& id,
                                         std::function<void(PieceMap)> done) {
        if (id == "art1" || id == "s1" || id == "q1")
            done(sample::pieces(
                sample::torrent(id == "s1" ? sample::State::seeding : sample::State::downloading,
                                id, id, id == "q1" ? 0.6 : 0.42)));
        else
            done(PieceMap());
    });

    cards();
    rows();
    statuses();
    featured();
    parts();
    covers();
    symbols();
    views();
    sidebar();
    std::cout << "wrote " << g_written << " pictures to " << g_out.toStdString() << "\n";
    return g_written > 0 ? 0 : 1;
}
