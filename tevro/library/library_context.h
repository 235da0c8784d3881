#pragma once

// The shared objects the library views read when none is given to them: the
// application's engine and artwork store, set once by the main window.

#include <functional>
#include <string>

#include "tevro/core/piece_map.h"

namespace tevro {

class ArtworkStore;
class TorrentEngine;

class LibraryContext {
public:
    LibraryContext() = delete;

    static TorrentEngine* engine();
    static void setEngine(TorrentEngine* engine);
    static ArtworkStore* artworkStore();
    static void setArtworkStore(ArtworkStore* store);

    // Where piece maps come from when a view has no engine of its own: this
    // source when set (a generated library for pictures and benchmarks), else
    // the context's engine.
    using PieceMapSource =
        std::function<void(const std::string& id, std::function<void(PieceMap)>)>;
    static const PieceMapSource& pieceMapSource();
    static void setPieceMapSource(PieceMapSource source);
};

} // namespace tevro
