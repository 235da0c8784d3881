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
} // namespace

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
