#pragma once

// The picture of a torrent or file as the artwork store hands it out, for a
// view that paints it: asks the store whenever the request identity changes
// (another torrent, file or save path, another progress tenth, metadata
// arrived), drops the picture at once when the identity changes, and keeps
// it while a new request for the same identity runs.

#include <optional>
#include <string>

#include <QImage>
#include <QObject>
#include <QPointer>

#include "tevro/core/torrent_file.h"
#include "tevro/core/torrent_status.h"

namespace tevro {

class ArtworkStore;

class ArtworkLoader : public QObject {
    Q_OBJECT
public:
    // Without a store the loader takes the one of LibraryContext.
    explicit ArtworkLoader(ArtworkStore* store = nullptr, QObject* parent = nullptr);

    void set(const TorrentStatus& torrent, const std::optional<TorrentFile>& file = {});
    const QImage& image() const { return m_image; }

    // "<id>-<file index or cover><save path>": a picture belongs to one identity.
    static std::string identity(const TorrentStatus& torrent,
                                const std::optional<TorrentFile>& file);
    // The identity, the progress tenth and the metadata flag.
    static std::string requestId(const TorrentStatus& torrent,
                                 const std::optional<TorrentFile>& file);

signals:
    // The picture changed (arrived, or dropped for another identity).
    void changed();

private:
    QPointer<ArtworkStore> m_store;
    QImage m_image;
    std::string m_loadedIdentity;
    std::string m_requestId;
    quint64 m_generation = 0;
};

} // namespace tevro
