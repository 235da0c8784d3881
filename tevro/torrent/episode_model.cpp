#include "tevro/torrent/episode_model.h"

#include <QPointer>

#include "tevro/core/format.h"
#include "tevro/media/artwork_store.h"
#include "tevro/media/media_matcher.h"
#include "tevro/media/media_presentation.h"
#include "tevro/media/media_text.h"

namespace tevro {

EpisodeModel::EpisodeModel(QObject* parent) : QAbstractListModel(parent) {}

void EpisodeModel::setTorrent(const TorrentStatus& torrent) {
    bool other = torrent.id != m_torrent.id;
    m_torrent = torrent;
    if (other) {
        m_images.clear();
        m_requested.clear();
    }
    for (const TorrentFile& f : m_episodes)
        request(f);
}

void EpisodeModel::clear() {
    beginResetModel();
    m_episodes.clear();
    m_pieceMap = {};
    m_images.clear();
    m_requested.clear();
    endResetModel();
}

void EpisodeModel::setEpisodes(std::vector<TorrentFile> episodes) {
    bool sameRows =
        std::ranges::equal(episodes, m_episodes, [](auto& a, auto& b) { return a.i == b.i; });
    if (!sameRows) {
        beginResetModel();
        m_episodes = std::move(episodes);
        endResetModel();
    } else {
        for (int r = 0; r < static_cast<int>(episodes.size()); ++r) {
            if (episodes[r] == m_episodes[r])
                continue;
            m_episodes[r] = std::move(episodes[r]);
            emit dataChanged(index(r), index(r));
        }
    }
    for (const TorrentFile& f : m_episodes)
        request(f);
}

void EpisodeModel::setPieceMap(PieceMap map) {
    if (map == m_pieceMap)
        return;
    m_pieceMap = std::move(map);
    if (!m_episodes.empty())
        emit dataChanged(index(0), index(rowCount() - 1));
}

const TorrentFile* EpisodeModel::file(const QModelIndex& index) const {
    if (!index.isValid() || index.row() >= static_cast<int>(m_episodes.size()))
        return nullptr;
    return &m_episodes[index.row()];
}

QImage EpisodeModel::image(std::int64_t fileIndex) const {
    auto it = m_images.find(fileIndex);
    return it == m_images.end() ? QImage() : it->second;
}

void EpisodeModel::request(const TorrentFile& file) {
    if (!m_store || m_torrent.id.empty())
        return;
    // Asked again as the file's download advances by a tenth.
    std::string key = std::to_string(static_cast<int>(fraction(file) * 10));
    auto [it, fresh] = m_requested.try_emplace(file.i, key);
    if (!fresh && it->second == key)
        return;
    it->second = key;
    QPointer<EpisodeModel> self(this);
    std::string id = m_torrent.id;
    std::int64_t index = file.i;
    m_store->image(m_torrent, file, [self, id, index](std::optional<QImage> image) {
        if (!self || self->m_torrent.id != id || !image)
            return;
        self->m_images[index] = *image;
        for (int r = 0; r < self->rowCount(); ++r)
            if (self->m_episodes[r].i == index)
                emit self->dataChanged(self->EpisodeModel::index(r), self->EpisodeModel::index(r));
    });
}

QString EpisodeModel::episodeTitle(const TorrentFile& file) {
    std::string name(MediaText::lastComponent(file.path));
    if (auto n = MediaMatcher::episodeNumber(name))
        return QStringLiteral("Серия ") + QString::number(n->episode);
    return QString::fromStdString(MediaPresentation(name).title);
}

double EpisodeModel::fraction(const TorrentFile& file) {
    return file.size < 1 ? 1.0 : static_cast<double>(file.done) / static_cast<double>(file.size);
}

QString EpisodeModel::badgeText(const TorrentFile& file) {
    if (file.done >= file.size)
        return QStringLiteral("Готово");
    return QString::fromStdString(Format::percent(fraction(file)));
}

int EpisodeModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_episodes.size());
}

QVariant EpisodeModel::data(const QModelIndex& index, int role) const {
    const TorrentFile* f = file(index);
    if (!f)
        return {};
    switch (role) {
    case Qt::DisplayRole:
    case Qt::AccessibleTextRole:
        return episodeTitle(*f);
    case Qt::ToolTipRole:
        return QString::fromStdString(std::string(MediaText::lastComponent(f->path)));
    default:
        return {};
    }
}

} // namespace tevro
