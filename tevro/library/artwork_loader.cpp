#include "tevro/library/artwork_loader.h"

#include <algorithm>

#include "tevro/library/library_context.h"
#include "tevro/media/artwork_store.h"

namespace tevro {

namespace {

double requestFraction(const TorrentStatus& t, const std::optional<TorrentFile>& file) {
    if (file) {
        if (file->size < 1)
            return 1;
        return std::clamp(double(file->done) / double(file->size), 0.0, 1.0);
    }
    if (t.wanted >= 1)
        return std::clamp(double(t.wantedDone) / double(t.wanted), 0.0, 1.0);
    return t.hasMetadata ? 1 : 0;
}

} // namespace

ArtworkLoader::ArtworkLoader(ArtworkStore* store, QObject* parent)
    : QObject(parent), m_store(store ? store : LibraryContext::artworkStore()) {}

std::string ArtworkLoader::identity(const TorrentStatus& t,
                                    const std::optional<TorrentFile>& file) {
    return t.id + "-" + (file ? std::to_string(file->i) : std::string("cover")) + t.savePath;
}

std::string ArtworkLoader::requestId(const TorrentStatus& t,
                                     const std::optional<TorrentFile>& file) {
    const int tenths = int(requestFraction(t, file) * 10);
    return identity(t, file) + "-" + std::to_string(tenths) + "-" +
           (t.hasMetadata ? "true" : "false");
}

void ArtworkLoader::set(const TorrentStatus& torrent, const std::optional<TorrentFile>& file) {
    const std::string id = requestId(torrent, file);
    if (id == m_requestId)
        return;
    m_requestId = id;
    const std::string ident = identity(torrent, file);
    if (ident != m_loadedIdentity) {
        m_loadedIdentity = ident;
        if (!m_image.isNull()) {
            m_image = QImage();
            emit changed();
        }
    }
    const quint64 generation = ++m_generation;
    if (!m_store)
        return;
    QPointer<ArtworkLoader> self(this);
    m_store->image(torrent, file, [self, generation](std::optional<QImage> image) {
        // A late answer to an older request is dropped; none keeps what shows.
        if (!self || self->m_generation != generation || !image || image->isNull())
            return;
        self->m_image = *image;
        emit self->changed();
    });
}

} // namespace tevro
