#include "tevro/automation/state_text_cache.h"

#include <vector>

#include "tevro/automation/torrent_json_text.h"
#include "tevro/engine/torrent_engine.h"

namespace tevro {

StateTextCache& StateTextCache::of(TorrentEngine& engine) {
    if (auto* cache = engine.findChild<StateTextCache*>(QString(), Qt::FindDirectChildrenOnly))
        return *cache;
    return *new StateTextCache(engine);
}

StateTextCache::StateTextCache(TorrentEngine& engine)
    : QObject(&engine), m_engine(engine), m_revision(engine.torrentsRevision()) {
    connect(&engine, &TorrentEngine::torrentsChanged, this, &StateTextCache::follow);
}

void StateTextCache::follow() {
    const TorrentEngine::TorrentsChange* change = m_engine.changeSince(m_revision);
    if (!change) {
        // A change this cache did not see: nothing kept can be trusted.
        m_texts.clear();
    } else {
        for (const std::string& id : change->changed)
            m_texts.erase(id);
        for (const std::string& id : change->removed)
            m_texts.erase(id);
    }
    m_revision = m_engine.torrentsRevision();
}

void StateTextCache::appendTorrents(std::string& out) {
    if (m_revision != m_engine.torrentsRevision()) {
        m_texts.clear();
        m_revision = m_engine.torrentsRevision();
    }
    const std::vector<TorrentStatus>& list = m_engine.torrents();
    std::vector<const std::string*> texts;
    texts.reserve(list.size());
    std::size_t size = 2 + list.size();
    for (const TorrentStatus& t : list) {
        auto [it, made] = m_texts.try_emplace(t.id);
        if (made)
            it->second = TorrentJsonText::text(t);
        texts.push_back(&it->second);
        size += it->second.size();
    }
    out.reserve(out.size() + size);
    out += '[';
    for (std::size_t i = 0; i < texts.size(); ++i) {
        if (i > 0)
            out += ',';
        out += *texts[i];
    }
    out += ']';
}

} // namespace tevro
