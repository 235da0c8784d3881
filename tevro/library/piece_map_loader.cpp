#include "tevro/library/piece_map_loader.h"

#include "tevro/engine/torrent_engine.h"
#include "tevro/library/library_context.h"

namespace tevro {

PieceMapLoader::PieceMapLoader(TorrentEngine* engine, QObject* parent)
    : QObject(parent), m_engine(engine) {
    if (!m_engine && !LibraryContext::pieceMapSource())
        m_engine = LibraryContext::engine();
    m_timer.setInterval(kRefreshMs);
    connect(&m_timer, &QTimer::timeout, this, &PieceMapLoader::fetch);
}

void PieceMapLoader::setTorrentId(const std::string& id) {
    if (id == m_id)
        return;
    m_id = id;
    reset();
    if (m_active)
        fetch();
}

void PieceMapLoader::setActive(bool active) {
    if (active == m_active)
        return;
    m_active = active;
    if (active) {
        reset(); // back on screen: start again from an empty map
        fetch();
        m_timer.start();
    } else {
        m_timer.stop();
        ++m_generation;
    }
}

void PieceMapLoader::reset() {
    ++m_generation;
    const bool had = !m_map.bytes.empty();
    m_map = PieceMap();
    m_mapId = m_id;
    if (had)
        emit changed();
}

void PieceMapLoader::fetch() {
    if (m_id.empty())
        return;
    const quint64 generation = m_generation;
    QPointer<PieceMapLoader> self(this);
    auto store = [self, generation](PieceMap map) {
        if (!self || self->m_generation != generation || map == self->m_map)
            return;
        self->m_map = std::move(map);
        emit self->changed();
    };
    if (m_engine)
        m_engine->pieceMap(m_id, store);
    else if (const auto& source = LibraryContext::pieceMapSource())
        source(m_id, store);
}

} // namespace tevro
