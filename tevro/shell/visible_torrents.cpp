#include "tevro/shell/visible_torrents.h"

#include <algorithm>
#include <functional>
#include <string_view>
#include <unordered_map>

#include "tevro/engine/torrent_engine.h"

namespace tevro {

namespace {

// An id's share of the set's number: mixed, so that sums of keys rarely meet.
std::size_t share(std::size_t key) {
    std::uint64_t z = std::uint64_t(key) + 0x9e3779b97f4a7c15u;
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9u;
    z = (z ^ (z >> 27)) * 0x94d049bb133111ebu;
    return std::size_t(z ^ (z >> 31));
}

} // namespace

const std::vector<TorrentStatus>& VisibleTorrents::get(const TorrentEngine& engine,
                                                       const LibrarySelection::Inputs& inputs) {
    return *shared(engine, inputs);
}

std::shared_ptr<const std::vector<TorrentStatus>>
VisibleTorrents::shared(const TorrentEngine& engine, const LibrarySelection::Inputs& inputs) {
    const bool current = m_list && m_engine == &engine && m_inputs == inputs;
    if (current && m_revision == engine.torrentsRevision())
        return m_list;
    const std::uint64_t from = m_revision;
    if (current && follow(engine)) {
        m_changeFrom = from;
    } else {
        remake(engine, inputs);
        m_changeFrom.reset();
    }
    m_revision = engine.torrentsRevision();
    return m_list;
}

const ListChange* VisibleTorrents::changeSince(std::uint64_t revision) const {
    static const ListChange none;
    if (!m_list)
        return nullptr;
    if (revision == m_revision)
        return &none;
    return m_changeFrom == revision ? &m_change : nullptr;
}

void VisibleTorrents::remake(const TorrentEngine& engine, const LibrarySelection::Inputs& inputs) {
    m_list = std::make_shared<std::vector<TorrentStatus>>(
        LibrarySelection::visible(engine.torrents(), inputs));
    m_inputs = inputs;
    m_engine = &engine;
    m_keys.clear();
    m_keys.reserve(m_list->size());
    m_idsKey = 0;
    for (const auto& t : *m_list) {
        m_keys.push_back(ListChange::keyOf(t.id));
        m_idsKey += share(m_keys.back());
    }
}

bool VisibleTorrents::follow(const TorrentEngine& engine) {
    // Only the one change since the list was made, and a small one.
    const auto* last = engine.changeSince(m_revision);
    if (!last || last->reordered)
        return false;
    const auto& change = *last;
    const std::size_t touched = change.changed.size() + change.removed.size();
    if (touched > 64 && touched > m_list->size() / 8)
        return false;

    // A list handed out earlier stays as it was for whoever holds it.
    if (m_list.use_count() > 1)
        m_list = std::make_shared<std::vector<TorrentStatus>>(*m_list);
    std::vector<TorrentStatus>& list = *m_list;
    m_change = {};

    // The rows of the touched ids, found by their keys, not by hashing every id.
    struct Touch {
        bool changed = false; // else removed
        bool listed = false;
    };
    std::unordered_map<std::string_view, Touch> touches;
    touches.reserve(touched);
    std::vector<std::size_t> touchedKeys;
    for (const auto& id : change.removed)
        if (touches.emplace(id, Touch{}).second)
            touchedKeys.push_back(ListChange::keyOf(id));
    for (const auto& id : change.changed) {
        auto [it, fresh] = touches.emplace(id, Touch{});
        it->second.changed = true;
        if (fresh)
            touchedKeys.push_back(ListChange::keyOf(id));
    }
    std::ranges::sort(touchedKeys);
    std::vector<std::size_t> rows;
    for (std::size_t i = 0; i < m_keys.size(); ++i)
        if (std::ranges::binary_search(touchedKeys, m_keys[i]))
            if (auto it = touches.find(list[i].id); it != touches.end()) {
                it->second.listed = true;
                rows.push_back(i);
            }

    // Ties of the table keep the engine's order, as the stable sort does.
    auto before = [&](const TorrentStatus& a, const TorrentStatus& b) {
        int r = LibrarySelection::compare(m_inputs, a, b);
        if (r != 0)
            return r < 0;
        return engine.position(a.id).value_or(0) < engine.position(b.id).value_or(0);
    };
    const std::string query = LibrarySelection::query(m_inputs.search);
    auto shownNow = [&](const std::string& id) -> const TorrentStatus* {
        auto at = engine.position(id);
        if (!at)
            return nullptr;
        const TorrentStatus& t = engine.torrents()[*at];
        if (!LibrarySelection::passes(t, m_inputs.filter) || !LibrarySelection::matches(t, query))
            return nullptr;
        return &t;
    };

    // A touched row still shown takes its new values where it stands; the
    // others go.
    std::vector<bool> goes(list.size());
    std::vector<std::size_t> kept; // rows of the list before
    std::vector<const TorrentStatus*> incoming;
    for (std::size_t row : rows) {
        const TorrentStatus* now = touches[list[row].id].changed ? shownNow(list[row].id) : nullptr;
        if (now) {
            list[row] = *now;
            kept.push_back(row);
        } else {
            goes[row] = true;
        }
    }
    // One of them out of order with the rows next to it that stay: they all
    // go and come back in order.
    auto nextStaying = [&](std::size_t row, std::ptrdiff_t step) -> const TorrentStatus* {
        for (auto r = std::ptrdiff_t(row) + step; r >= 0 && r < std::ptrdiff_t(list.size());
             r += step)
            if (!goes[std::size_t(r)])
                return &list[std::size_t(r)];
        return nullptr;
    };
    const bool inOrder = std::ranges::all_of(kept, [&](std::size_t row) {
        const TorrentStatus* up = nextStaying(row, -1);
        const TorrentStatus* down = nextStaying(row, 1);
        return (!up || before(*up, list[row])) && (!down || before(list[row], *down));
    });
    if (!inOrder) {
        for (std::size_t row : kept) {
            goes[row] = true;
            incoming.push_back(shownNow(list[row].id));
        }
        kept.clear();
    }
    // Rows taken out, in one pass.
    std::size_t out = 0;
    std::size_t gone = 0;
    auto nextKept = kept.begin();
    for (std::size_t i = 0; i < list.size(); ++i) {
        if (goes[i]) {
            m_change.removed.push_back(i);
            m_idsKey -= share(m_keys[i]);
            ++gone;
            continue;
        }
        if (nextKept != kept.end() && *nextKept == i) {
            m_change.updated.push_back(i - gone);
            ++nextKept;
        }
        if (gone > 0) {
            list[out] = std::move(list[i]);
            m_keys[out] = m_keys[i];
        }
        ++out;
    }
    list.resize(out);
    m_keys.resize(out);

    // New torrents, and moved ones, at their places.
    for (const auto& id : change.changed)
        if (!touches[id].listed)
            if (const TorrentStatus* now = shownNow(id))
                incoming.push_back(now);
    for (const TorrentStatus* t : incoming) {
        const auto at =
            std::size_t(std::upper_bound(list.begin(), list.end(), *t, before) - list.begin());
        for (auto* rows : {&m_change.inserted, &m_change.updated})
            for (std::size_t& r : *rows)
                r += r >= at;
        m_change.inserted.push_back(at);
        list.insert(list.begin() + std::ptrdiff_t(at), *t);
        m_keys.insert(m_keys.begin() + std::ptrdiff_t(at), ListChange::keyOf(t->id));
        m_idsKey += share(m_keys[at]);
    }
    std::ranges::sort(m_change.inserted);
    return true;
}

} // namespace tevro
