#include "tevro/library/library_context.h"

#include <QPointer>

#include "tevro/engine/torrent_engine.h"
#include "tevro/media/artwork_store.h"

namespace tevro {

namespace {
QPointer<TorrentEngine>& engineSlot() {
    static QPointer<TorrentEngine> engine;
    return engine;
}
QPointer<ArtworkStore>& storeSlot() {
    static QPointer<ArtworkStore> store;
    return store;
}
LibraryContext::PieceMapSource& sourceSlot() {
    static LibraryContext::PieceMapSource source;
    return source;
}
} // namespace

const LibraryContext::PieceMapSource& LibraryContext::pieceMapSource() {
    return sourceSlot();
}
void LibraryContext::setPieceMapSource(PieceMapSource source) {
    sourceSlot() = std::move(source);
}

TorrentEngine* LibraryContext::engine() {
    return engineSlot();
}
void LibraryContext::setEngine(TorrentEngine* engine) {
    engineSlot() = engine;
}
ArtworkStore* LibraryContext::artworkStore() {
    return storeSlot();
}
void LibraryContext::setArtworkStore(ArtworkStore* store) {
    storeSlot() = store;
}

} // namespace tevro
