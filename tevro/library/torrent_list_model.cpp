#include "tevro/library/torrent_list_model.h"

#include <algorithm>
#include <functional>
#include <iterator>

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
    const std::size_t key = ListChange::keyOf(id);
    for (std::size_t i = 0; i < m_keys.size(); ++i)
        if (m_keys[i] == key && m_items[i]->torrent.id == id)
            return int(i);
    return std::nullopt;
}

QModelIndex TorrentListModel::indexOf(const std::string& id) const {
    auto r = row(id);
    return r ? index(*r) : QModelIndex();
}

void TorrentListModel::insertRows(std::size_t row, const TorrentStatus* first, std::size_t count) {
    std::vector<std::unique_ptr<Item>> run;
    std::vector<std::size_t> keys;
    run.reserve(count);
    for (std::size_t k = 0; k < count; ++k) {
        auto item = std::make_unique<Item>();
        item->torrent = first[k];
        item->presentation = MediaPresentation(item->torrent.name);
        item->selected = m_selection.count(item->torrent.id) > 0;
        keys.push_back(ListChange::keyOf(item->torrent.id));
        run.push_back(std::move(item));
    }
    beginInsertRows({}, int(row), int(row + count - 1));
    m_items.insert(m_items.begin() + std::ptrdiff_t(row), std::make_move_iterator(run.begin()),
                   std::make_move_iterator(run.end()));
    m_keys.insert(m_keys.begin() + std::ptrdiff_t(row), keys.begin(), keys.end());
    endInsertRows();
}

void TorrentListModel::removeRows(std::size_t row, std::size_t count) {
    beginRemoveRows({}, int(row), int(row + count - 1));
    m_items.erase(m_items.begin() + std::ptrdiff_t(row),
                  m_items.begin() + std::ptrdiff_t(row + count));
    m_keys.erase(m_keys.begin() + std::ptrdiff_t(row),
                 m_keys.begin() + std::ptrdiff_t(row + count));
    endRemoveRows();
}

bool TorrentListModel::follow(const std::vector<TorrentStatus>& torrents, ListChange change) {
    if (!change.settle(
            m_items.size(),
            [this](std::size_t row) { return std::string_view(m_items[row]->torrent.id); },
            torrents))
        return false;
    // Each run of rows that go or come in one signal.
    change.replay(
        [&](std::size_t row, std::size_t count) { removeRows(row, count); },
        [&](std::size_t row, std::size_t count) { insertRows(row, &torrents[row], count); });
    for (std::size_t row : change.updated)
        refreshRow(row, torrents[row]);
    return true;
}

void TorrentListModel::setTorrents(const std::vector<TorrentStatus>& torrents,
                                   const ListChange* change) {
    if (change && follow(torrents, *change))
        return;
    // The usual poll: the same torrents in the same order.
    bool same = torrents.size() == m_items.size();
    for (std::size_t i = 0; same && i < torrents.size(); ++i)
        same = torrents[i].id == m_items[i]->torrent.id;
    if (same) {
        for (std::size_t i = 0; i < torrents.size(); ++i)
            refreshRow(i, torrents[i]);
        return;
    }

    // Each torrent's row now.
    std::unordered_map<std::string_view, std::size_t> rows;
    rows.reserve(m_items.size());
    for (std::size_t i = 0; i < m_items.size(); ++i)
        rows.emplace(m_items[i]->torrent.id, i);
    std::vector<bool> fresh(torrents.size());
    std::vector<bool> kept(m_items.size());
    bool ordered = true;
    std::optional<std::size_t> last;
    for (std::size_t i = 0; i < torrents.size(); ++i) {
        auto it = rows.find(torrents[i].id);
        fresh[i] = it == rows.end();
        if (fresh[i])
            continue;
        kept[it->second] = true;
        ordered = ordered && (!last || it->second > *last);
        last = it->second;
    }
    rows.clear(); // its views go with the rows removed below

    // Gone torrents, from the end so that the rows above keep their numbers;
    // each run of them in one removal.
    for (std::size_t i = m_items.size(); i-- > 0;) {
        if (kept[i])
            continue;
        std::size_t first = i;
        while (first > 0 && !kept[first - 1])
            --first;
        removeRows(first, i + 1 - first);
        i = first;
    }

    // Kept torrents in the new order.
    if (!ordered) {
        std::unordered_map<std::string_view, std::size_t> wanted;
        wanted.reserve(torrents.size());
        for (std::size_t i = 0; i < torrents.size(); ++i)
            wanted.emplace(torrents[i].id, i);
        emit layoutAboutToBeChanged();
        const QModelIndexList before = persistentIndexList();
        std::vector<const Item*> oldItems;
        for (const QModelIndex& index : before)
            oldItems.push_back(m_items[std::size_t(index.row())].get());
        std::stable_sort(m_items.begin(), m_items.end(), [&](const auto& a, const auto& b) {
            return wanted[a->torrent.id] < wanted[b->torrent.id];
        });
        std::unordered_map<const Item*, int> placed;
        placed.reserve(m_items.size());
        for (std::size_t i = 0; i < m_items.size(); ++i) {
            placed.emplace(m_items[i].get(), int(i));
            m_keys[i] = ListChange::keyOf(m_items[i]->torrent.id);
        }
        QModelIndexList after;
        for (const Item* item : oldItems)
            after << index(placed[item]);
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
        insertRows(j, &torrents[j], end - j);
        j = end;
    }

    for (std::size_t j = 0; j < torrents.size() && j < m_items.size(); ++j)
        if (!fresh[j])
            refreshRow(j, torrents[j]);
}

void TorrentListModel::refreshRow(std::size_t row, const TorrentStatus& torrent) {
    Item& item = *m_items[row];
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
    if (ids == m_selection)
        return;
    // Only the rows that come into or leave the selection: rows are made
    // with the selection as it stands.
    std::vector<std::string> changed;
    std::ranges::set_symmetric_difference(ids, m_selection, std::back_inserter(changed));
    m_selection = ids;
    for (const std::string& id : changed) {
        auto r = row(id);
        if (!r)
            continue;
        Item& item = *m_items[std::size_t(*r)];
        const bool selected = ids.count(id) > 0;
        if (selected == item.selected)
            continue;
        item.selected = selected;
        const QModelIndex i = index(*r);
        emit dataChanged(i, i, {SelectedRole});
    }
}

void TorrentListModel::prepare(int row) const {
    if (row < 0 || row >= int(m_items.size()))
        return;
    const Item& item = *m_items[std::size_t(row)];
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
        const Item& item = *m_items[std::size_t(row)];
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
    Item& item = *m_items[std::size_t(*r)];
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
                       Item& item = *self->m_items[std::size_t(*r)];
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
    Item& item = *m_items[std::size_t(*r)];
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
        Item& item = *self->m_items[std::size_t(*r)];
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
    const Item& item = *m_items[std::size_t(index.row())];
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
