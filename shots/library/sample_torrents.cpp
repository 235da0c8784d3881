#include "shots/library/sample_torrents.h"

#include <algorithm>
#include <cmath>
#include <random>

#include <QLinearGradient>
#include <QPainter>
#include <QRadialGradient>

namespace tevro::sample {

namespace {

const char* const kNames[] = {
    "Northern.Lights.2019.1080p.BluRay.x264.mkv",
    "The.Long.Road.S02E05.720p.WEB-DL.mkv",
    "Ocean.Documentary.2021.2160p.HDR.mkv",
    "Classic.Jazz.Collection.FLAC",
    "Linux.Distribution.Images.iso.zip",
    "Mountain.Expedition.2016.1080p.mkv",
    "Lecture.Notes.Physics.pdf",
    "City.Nights.S01.1080p.WEB",
    "Space.Station.Tour.2022.720p.mp4",
    "Photo.Archive.Summer.jpg",
    "Old.Radio.Plays.mp3",
    "Garden.Timelapse.2020.1080p.mkv",
};

constexpr std::int64_t kMiB = 1 << 20;

} // namespace

TorrentStatus torrent(State state, const std::string& id, const std::string& name,
                      double fraction) {
    TorrentStatus t;
    t.id = id;
    t.name = name;
    t.savePath = "/home/user/Downloads/Tevro";
    t.hasMetadata = true;
    t.autoManaged = true;
    t.total = 1400 * kMiB + std::int64_t(std::hash<std::string>()(id) % 3000) * kMiB;
    t.wanted = t.total;
    t.wantedDone = std::int64_t(double(t.wanted) * fraction);
    t.totalDone = t.wantedDone;
    t.progress = fraction;
    t.pieces = 400;
    t.state = "downloading";
    switch (state) {
    case State::downloading:
        t.downloadRate = 3 * kMiB + 400 * 1024;
        t.peers = 12;
        t.seeds = 5;
        break;
    case State::seeding:
        t.state = "seeding";
        t.finished = t.seeding = true;
        t.wantedDone = t.totalDone = t.wanted;
        t.progress = 1;
        t.uploadRate = 512 * 1024;
        break;
    case State::paused:
        t.paused = true;
        t.autoManaged = false;
        break;
    case State::queued:
        t.paused = true;
        break;
    case State::checking:
        t.state = "checking";
        t.progress = fraction;
        t.checkingRate = 180 * kMiB;
        break;
    case State::error:
        t.error = "Нет места на диске";
        t.paused = true;
        t.autoManaged = false;
        break;
    case State::missing:
        t.state = "missing";
        t.paused = true;
        t.autoManaged = false;
        t.error = "Файлы не найдены";
        break;
    case State::metadata:
        t.state = "metadata";
        t.hasMetadata = false;
        t.wanted = t.wantedDone = t.totalDone = 0;
        t.total = 0;
        t.progress = 0;
        break;
    }
    return t;
}

std::vector<TorrentStatus> library(int count, std::uint32_t seed) {
    std::mt19937 random(seed);
    const State states[] = {State::downloading, State::downloading, State::seeding, State::seeding,
                            State::seeding,     State::paused,      State::queued,  State::checking,
                            State::error,       State::missing,     State::metadata};
    std::vector<TorrentStatus> out;
    out.reserve(std::size_t(count));
    for (int i = 0; i < count; ++i) {
        const State state = states[random() % std::size(states)];
        const std::string name =
            std::string(kNames[random() % std::size(kNames)]).insert(0, std::to_string(i) + ".");
        char id[41];
        std::snprintf(id, sizeof id, "%08x%08x%08x%08x%08x", unsigned(random()), unsigned(random()),
                      unsigned(random()), unsigned(random()), unsigned(i));
        out.push_back(torrent(state, id, name, double(random() % 1000) / 1000.0));
    }
    return out;
}

PieceMap pieces(const TorrentStatus& t, int count) {
    std::string bytes(std::size_t(count), '0');
    const double fraction = t.displayProgress();
    std::mt19937 random(unsigned(std::hash<std::string>()(t.id)));
    for (int i = 0; i < count; ++i) {
        // Mostly in order with some scatter, as a swarm delivers them.
        const double position = double(i) / count + (double(random() % 100) - 50) / 600.0;
        if (position < fraction)
            bytes[std::size_t(i)] = '1';
    }
    if (!t.finished && !t.paused) {
        for (int k = 0; k < 6; ++k)
            bytes[std::size_t(std::min(count - 1, int(fraction * count) + k * 3))] = '2';
    }
    if (t.swarmSeeds == 0 || !t.error.empty())
        for (int i = count - count / 8; i < count; ++i)
            if (bytes[std::size_t(i)] == '0')
                bytes[std::size_t(i)] = '3';
    return PieceMap(bytes);
}

QImage frame(std::uint32_t seed, QSize size) {
    std::mt19937 random(seed);
    QImage image(size, QImage::Format_RGB32);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    auto colour = [&] {
        return QColor::fromHsv(int(random() % 360), 80 + int(random() % 120),
                               60 + int(random() % 150));
    };
    QLinearGradient sky(0, 0, 0, size.height());
    sky.setColorAt(0, colour());
    sky.setColorAt(1, colour().darker(170));
    p.fillRect(image.rect(), sky);
    QRadialGradient sun(size.width() * (0.2 + (random() % 60) / 100.0), size.height() * 0.35,
                        size.height() * 0.3);
    sun.setColorAt(0, QColor(255, 240, 200, 220));
    sun.setColorAt(1, QColor(255, 240, 200, 0));
    p.fillRect(image.rect(), sun);
    for (int layer = 0; layer < 3; ++layer) {
        QPolygonF hills;
        hills << QPointF(0, size.height());
        const double base = size.height() * (0.55 + layer * 0.14);
        for (int x = 0; x <= size.width(); x += 16)
            hills << QPointF(x, base - 30 * std::sin(x / (60.0 + layer * 30) + seed + layer) -
                                    double(random() % 8));
        hills << QPointF(size.width(), size.height());
        p.setPen(Qt::NoPen);
        p.setBrush(colour().darker(150 + layer * 60));
        p.drawPolygon(hills);
    }
    return image;
}

void advance(std::vector<TorrentStatus>& torrents, double share, std::uint32_t step) {
    std::mt19937 random(step);
    const auto changes = std::size_t(double(torrents.size()) * share);
    for (std::size_t k = 0; k < changes; ++k) {
        TorrentStatus& t = torrents[random() % torrents.size()];
        if (t.wanted > 0 && t.wantedDone < t.wanted) {
            t.wantedDone = std::min(t.wanted, t.wantedDone + t.wanted / 500 + 1);
            t.totalDone = t.wantedDone;
        }
        t.downloadRate = (random() % 2) ? std::int64_t(random() % (8 * kMiB)) : 0;
        t.peers = random() % 40;
    }
}

} // namespace tevro::sample
