#pragma once

// Each torrent's text of the state document, kept per engine while its row
// stays the same: with thousands of torrents, writing them is most of a
// document, and both local servers write the same texts.

#include <cstdint>
#include <string>
#include <unordered_map>

#include <QObject>

namespace tevro {

class TorrentEngine;

class StateTextCache : public QObject {
    Q_OBJECT
public:
    // The engine's one cache, made on first use and gone with the engine.
    static StateTextCache& of(TorrentEngine& engine);

    // The torrents' array as encoding the document writes it, in the engine's order.
    void appendTorrents(std::string& out);
    // Texts kept now (written and not changed since).
    std::size_t keptCount() const { return m_texts.size(); }

private:
    explicit StateTextCache(TorrentEngine& engine);
    // Drops the texts of the rows the engine's last change touched.
    void follow();

    TorrentEngine& m_engine;
    // By torrent id; the row itself is not kept, the engine names what changed.
    std::unordered_map<std::string, std::string> m_texts;
    std::uint64_t m_revision = 0;
};

} // namespace tevro
