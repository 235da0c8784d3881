#include "tevro/library/torrent_list_model.h"

#include <algorithm>

#include <QDateTime>
#include <QMetaObject>

#include "tevro/engine/torrent_engine.h"
#include "tevro/library/artwork_loader.h"
#include "tevro/library/library_context.h"
#include "tevro/library/piece_map_loader.h"
#include "tevro/library/transfer_badge.h"
#include "tevro/media/artwork_store.h"

namespace tevro {

namespace {
qint64 nowMs() {
    return QDateTime::currentMSecsSinceEpoch();
}
} // namespace

TorrentListModel::TorrentListModel(ArtworkStore* store, TorrentEngine* engine, QObject* parent)
    : QAbstractListModel(parent), m_store(store ? store : LibraryContext::artworkStore()),
      m_engine(engine) {
    if (!m_engine && !LibraryContext::pieceMapSource())
        m_engine = LibraryContext::engine();
}

int TorrentListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(m_items.size());
}

std::optional<int> TorrentListModel::row(const std::string& id) const {
    auto it = m_rows.find(id);
    if (it != m_rows.end() && it->second < m_items.size() && m_items[it->second].torrent.id == id)
        return int(it->second);
    // Between the insertions of one update the index lags behind the rows.
    if (m_indexStale) {
        for (std::size_t i = 0; i < m_items.size(); ++i)
            if (m_items[i].torrent.id == id)
                return int(i);
    }
    return std::nullopt;
}

QModelIndex TorrentListModel::indexOf(const std::string& id) const {
    auto r = row(id);
    return r ? index(*r) : QModelIndex();
}

void TorrentListModel::rebuildIndex() {
    m_rows.clear();
    m_rows.reserve(m_items.size());
    for (std::size_t i = 0; i < m_items.size(); ++i)
        m_rows.emplace(m_items[i].torrent.id, i);
}

void TorrentListModel::shiftRows(std::size_t from, std::ptrdiff_t by) {
    for (auto& [id, row] : m_rows)
        if (row >= from)
            row = std::size_t(std::ptrdiff_t(row) + by);
}

void TorrentListModel::setTorrents(const std::vector<TorrentStatus>& torrents,
                                   const std::unordered_set<std::string_view>* changed) {
    // The usual poll: the same torrents in the same order.
    bool same = torrents.size() == m_items.size();
    for (std::size_t i = 0; same && i < torrents.size(); ++i)
        same = torrents[i].id == m_items[i].torrent.id;
    if (same) {
        for (std::size_t i = 0; i < torrents.size(); ++i)
            if (!changed || changed->contains(torrents[i].id))
                refreshRow(i, torrents[i]);
        return;
    }

    // Each torrent's row now, by the index as it stands: a few runs of rows
    // come or go at a poll, and the index follows them without being made
    // again (thousands of ids) unless there are many.
    std::vector<bool> fresh(torrents.size());
    std::vector<bool> kept(m_items.size());
    bool ordered = true;
    std::optional<std::size_t> last;
    std::size_t insertRuns = 0;
    for (std::size_t i = 0; i < torrents.size(); ++i) {
        auto it = m_rows.find(torrents[i].id);
        fresh[i] = it == m_rows.end();
        if (fresh[i]) {
            insertRuns += i == 0 || !fresh[i - 1];
            continue;
        }
        kept[it->second] = true;
        ordered = ordered && (!last || it->second > *last);
        last = it->second;
    }
    std::size_t removeRuns = 0;
    for (std::size_t i = 0; i < kept.size(); ++i)
        removeRuns += !kept[i] && (i == 0 || kept[i - 1]);
    const bool follow = insertRuns + removeRuns <= 8;

    // Gone torrents, from the end so that the rows above keep their numbers;
    // each run of them in one removal.
    for (std::size_t i = m_items.size(); i-- > 0;) {
        if (kept[i])
            continue;
        std::size_t first = i;
        while (first > 0 && !kept[first - 1])
            --first;
        beginRemoveRows({}, int(first), int(i));
        if (follow) {
            for (std::size_t k = first; k <= i; ++k)
                m_rows.erase(m_items[k].torrent.id);
            shiftRows(i + 1, -std::ptrdiff_t(i + 1 - first));
        } else {
            m_indexStale = true;
        }
        m_items.erase(m_items.begin() + std::ptrdiff_t(first),
                      m_items.begin() + std::ptrdiff_t(i + 1));
        endRemoveRows();
        i = first;
    }
    if (m_indexStale) {
        rebuildIndex();
        m_indexStale = false;
    }

    // Kept torrents in the new order.
    if (!ordered) {
        std::unordered_map<std::string_view, std::size_t> wanted;
        wanted.reserve(torrents.size());
        for (std::size_t i = 0; i < torrents.size(); ++i)
            wanted.emplace(torrents[i].id, i);
        emit layoutAboutToBeChanged();
        const QModelIndexList before = persistentIndexList();
        std::vector<std::string> oldIds;
        for (const QModelIndex& index : before)
            oldIds.push_back(m_items[std::size_t(index.row())].torrent.id);
        std::stable_sort(m_items.begin(), m_items.end(), [&](const Item& a, const Item& b) {
            return wanted[a.torrent.id] < wanted[b.torrent.id];
        });
        rebuildIndex();
        QModelIndexList after;
        for (const std::string& id : oldIds)
            after << index(int(m_rows[id]));
        changePersistentIndexList(before, after);
        emit layoutChanged();
    }

    // New torrents at their places, each run of them in one insertion.
    std::size_t j = 0;
    while (j < torrents.size()) {
        if (!fresh[j]) {
            ++j;
            continue;
        }
        std::size_t end = j;
        while (end < torrents.size() && fresh[end])
            ++end;
        std::vector<Item> run;
        run.reserve(end - j);
        for (std::size_t k = j; k < end; ++k) {
            Item item;
            item.torrent = torrents[k];
            item.presentation = MediaPresentation(item.torrent.name);
            item.selected = m_selection.count(item.torrent.id) > 0;
            run.push_back(std::move(item));
        }
        beginInsertRows({}, int(j), int(end - 1));
        if (follow) {
            shiftRows(j, std::ptrdiff_t(end - j));
            for (std::size_t k = j; k < end; ++k)
                m_rows.emplace(torrents[k].id, k);
        } else {
            m_indexStale = true;
        }
        // Grown by an eighth, not doubled: items are large, and an
        // insertion in the middle moves the rows after it anyway.
        if (m_items.size() + run.size() > m_items.capacity())
            m_items.reserve(m_items.size() + run.size() + m_items.size() / 8);
        m_items.insert(m_items.begin() + std::ptrdiff_t(j), std::make_move_iterator(run.begin()),
                       std::make_move_iterator(run.end()));
        endInsertRows();
        j = end;
    }
    if (m_indexStale) {
        rebuildIndex();
        m_indexStale = false;
    }

    for (std::size_t j = 0; j < torrents.size() && j < m_items.size(); ++j)
        if (!fresh[j] && (!changed || changed->contains(torrents[j].id)))
            refreshRow(j, torrents[j]);
}

void TorrentListModel::refreshRow(std::size_t row, const TorrentStatus& torrent) {
    Item& item = m_items[row];
    if (item.torrent == torrent)
        return;
    const bool renamed = item.torrent.name != torrent.name;
    // A row whose texts were never made is compared by the texts its old record gave.
    std::optional<LibraryItemText> before;
    if (!item.shownText)
        before = LibraryItemText::make(item.torrent, item.presentation);
    item.torrent = torrent;
    if (renamed)
        item.presentation = MediaPresentation(torrent.name);
    LibraryItemText text = LibraryItemText::make(torrent, item.presentation);
    // Another identity (save path moved): its old picture goes at once.
    const bool identityChanged =
        !item.artworkIdentity.empty() &&
        item.artworkIdentity != ArtworkLoader::identity(torrent, std::nullopt);
    if (identityChanged) {
        item.artwork = QImage();
        item.artworkIdentity.clear();
        ++item.artworkGeneration;
    }
    if (text == (before ? *before : *item.shownText) && !identityChanged)
        return; // nothing shown changed
    if (item.shownText)
        *item.shownText = std::move(text);
    const QModelIndex i = index(int(row));
    emit dataChanged(i, i);
}

void TorrentListModel::setSelection(const std::set<std::string>& ids) {
    m_selection = ids;
    for (std::size_t row = 0; row < m_items.size(); ++row) {
        Item& item = m_items[row];
        const bool selected = ids.count(item.torrent.id) > 0;
        if (selected == item.selected)
            continue;
        item.selected = selected;
        const QModelIndex i = index(int(row));
        emit dataChanged(i, i, {SelectedRole});
    }
}

void TorrentListModel::prepare(int row) const {
    if (row < 0 || row >= int(m_items.size()))
        return;
    const Item& item = m_items[std::size_t(row)];
    bool wants = false;
    if (m_store && item.artworkRequest != ArtworkLoader::requestId(item.torrent, std::nullopt)) {
        m_pendingArtwork.insert(item.torrent.id);
        wants = true;
    }
    if (!item.mapInFlight &&
        (item.mapFetched == 0 || nowMs() - item.mapFetched >= PieceMapLoader::kRefreshMs)) {
        m_pendingPieces.insert(item.torrent.id);
        wants = true;
    }
    if (wants && !m_fetchScheduled) {
        // Never from inside a paint: the answers may come at once.
        m_fetchScheduled = true;
        QMetaObject::invokeMethod(const_cast<TorrentListModel*>(this),
                                  &TorrentListModel::fetchPending, Qt::QueuedConnection);
    }
}

void TorrentListModel::refreshPieces(int first, int last) {
    first = std::max(first, 0);
    last = std::min(last, int(m_items.size()) - 1);
    // A map fetched a moment ago (for a first paint) is not asked for again.
    const qint64 now = nowMs();
    for (int row = first; row <= last; ++row) {
        const Item& item = m_items[std::size_t(row)];
        if (item.mapFetched == 0 || now - item.mapFetched >= PieceMapLoader::kRefreshMs / 2)
            requestPieces(item.torrent.id);
    }
}

void TorrentListModel::fetchPending() {
    m_fetchScheduled = false;
    const auto artwork = std::exchange(m_pendingArtwork, {});
    const auto pieces = std::exchange(m_pendingPieces, {});
    for (const std::string& id : artwork)
        requestArtwork(id);
    for (const std::string& id : pieces)
        requestPieces(id);
}

void TorrentListModel::requestArtwork(const std::string& id) {
    auto r = row(id);
    if (!r || !m_store)
        return;
    Item& item = m_items[std::size_t(*r)];
    const std::string request = ArtworkLoader::requestId(item.torrent, std::nullopt);
    if (request == item.artworkRequest)
        return;
    item.artworkRequest = request;
    const std::string identity = ArtworkLoader::identity(item.torrent, std::nullopt);
    const quint64 generation = ++item.artworkGeneration;
    QPointer<TorrentListModel> self(this);
    m_store->image(item.torrent, std::nullopt,
                   [self, id, identity, generation](std::optional<QImage> image) {
                       if (!self || !image || image->isNull())
                           return;
                       auto r = self->row(id);
                       if (!r)
                           return;
                       Item& item = self->m_items[std::size_t(*r)];
                       if (item.artworkGeneration != generation)
                           return;
                       item.artwork = *image;
                       item.artworkIdentity = identity;
                       const QModelIndex i = self->index(*r);
                       emit self->dataChanged(i, i, {HasArtworkRole});
                   });
}

void TorrentListModel::requestPieces(const std::string& id) {
    auto r = row(id);
    if (!r)
        return;
    Item& item = m_items[std::size_t(*r)];
    if (item.mapInFlight)
        return;
    item.mapInFlight = true;
    QPointer<TorrentListModel> self(this);
    auto store = [self, id](PieceMap map) {
        if (!self)
            return;
        auto r = self->row(id);
        if (!r)
            return;
        Item& item = self->m_items[std::size_t(*r)];
        item.mapInFlight = false;
        item.mapFetched = nowMs();
        if (map == item.map)
            return;
        item.map = std::move(map);
        const QModelIndex i = self->index(*r);
        emit self->dataChanged(i, i, {FractionRole});
    };
    if (m_engine)
        m_engine->pieceMap(id, store);
    else if (const auto& source = LibraryContext::pieceMapSource())
        source(id, store);
    else
        item.mapInFlight = false;
}

QVariant TorrentListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= int(m_items.size()))
        return {};
    const Item& item = m_items[std::size_t(index.row())];
    // Roles that need no texts first: asking for them leaves a row's texts unmade.
    switch (role) {
    case IdRole:
        return QString::fromStdString(item.torrent.id);
    case BadgeTintRole:
        return TransferBadge::tint(item.torrent).name();
    case SelectedRole:
        return item.selected;
    case HasArtworkRole:
        return !item.artwork.isNull();
    case Qt::DisplayRole:
    case TitleRole:
    case Qt::AccessibleTextRole:
    case Qt::ToolTipRole:
    case CaptionRole:
    case SizeTextRole:
    case ProgressTextRole:
    case PercentRole:
    case FractionRole:
    case RateTextRole:
    case WatchTitleRole:
    case ResumeWordingRole:
    case StatusTextRole:
    case StatusSymbolRole:
    case CheckingRole:
        break;
    default:
        return {};
    }
    const LibraryItemText& t = item.text();
    switch (role) {
    case Qt::DisplayRole:
    case TitleRole:
        return t.title;
    case Qt::AccessibleTextRole:
        return t.cardLabel();
    case Qt::ToolTipRole:
        return t.name;
    case CaptionRole:
        return t.caption;
    case SizeTextRole:
        return t.sizeText;
    case ProgressTextRole:
        return t.progressText;
    case PercentRole:
        return t.percent;
    case FractionRole:
        return t.fraction;
    case RateTextRole:
        return t.rowRateText;
    case WatchTitleRole:
        return t.watchTitle;
    case ResumeWordingRole:
        return t.resumeWording;
    case StatusTextRole:
        return t.statusText;
    case StatusSymbolRole:
        return QString::fromStdString(t.statusSymbol);
    case CheckingRole:
        return t.checking;
    default:
        return {};
    }
}

QHash<int, QByteArray> TorrentListModel::roleNames() const {
    QHash<int, QByteArray> names = QAbstractListModel::roleNames();
    names.insert(IdRole, "id");
    names.insert(TitleRole, "title");
    names.insert(CaptionRole, "caption");
    names.insert(SizeTextRole, "sizeText");
    names.insert(ProgressTextRole, "progressText");
    names.insert(PercentRole, "percent");
    names.insert(FractionRole, "fraction");
    names.insert(RateTextRole, "rateText");
    names.insert(WatchTitleRole, "watchTitle");
    names.insert(ResumeWordingRole, "resumeWording");
    names.insert(StatusTextRole, "statusText");
    names.insert(StatusSymbolRole, "statusSymbol");
    names.insert(BadgeTintRole, "badgeTint");
    names.insert(CheckingRole, "checking");
    names.insert(SelectedRole, "selected");
    names.insert(HasArtworkRole, "hasArtwork");
    return names;
}

} // namespace tevro
