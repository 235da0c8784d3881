#include "tevro/shell/visible_torrents.h"

#include <algorithm>
#include <string_view>
#include <unordered_set>

#include "tevro/engine/torrent_engine.h"

namespace tevro {

const std::vector<TorrentStatus>& VisibleTorrents::get(const TorrentEngine& engine,
                                                       const LibrarySelection::Inputs& inputs) {
    return *shared(engine, inputs);
}

std::shared_ptr<const std::vector<TorrentStatus>>
VisibleTorrents::shared(const TorrentEngine& engine, const LibrarySelection::Inputs& inputs) {
    const bool current = m_list && m_engine == &engine && m_inputs == inputs;
    if (current && m_revision == engine.torrentsRevision())
        return m_list;
    if (!current || !follow(engine)) {
        m_list = std::make_shared<std::vector<TorrentStatus>>(
            LibrarySelection::visible(engine.torrents(), inputs));
        m_inputs = inputs;
        m_engine = &engine;
    }
    m_revision = engine.torrentsRevision();
    return m_list;
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
    std::unordered_set<std::string_view> gone;
    for (const auto& id : change.changed)
        gone.insert(id);
    for (const auto& id : change.removed)
        gone.insert(id);
    std::erase_if(list, [&](const TorrentStatus& t) { return gone.contains(t.id); });

    // Ties of the table keep the engine's order, as the stable sort does.
    auto before = [&](const TorrentStatus& a, const TorrentStatus& b) {
        int r = LibrarySelection::compare(m_inputs, a, b);
        if (r != 0)
            return r < 0;
        return engine.position(a.id).value_or(0) < engine.position(b.id).value_or(0);
    };
    const std::string query = LibrarySelection::query(m_inputs.search);
    for (const auto& id : change.changed) {
        auto at = engine.position(id);
        if (!at)
            continue;
        const TorrentStatus& t = engine.torrents()[*at];
        if (!LibrarySelection::passes(t, m_inputs.filter) || !LibrarySelection::matches(t, query))
            continue;
        list.insert(std::upper_bound(list.begin(), list.end(), t, before), t);
    }
    return true;
}

} // namespace tevro
