#pragma once

// The shared objects the library views read when none is given to them: the
// application's engine and artwork store, set once by the main window.

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
};

} // namespace tevro
