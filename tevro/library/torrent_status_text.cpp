#include "tevro/library/torrent_status_text.h"

#include "tevro/media/status_text.h"

namespace tevro {

// One wording for the whole application: the media logic's.
std::string TorrentStatusText::statusText(const TorrentStatus& t) {
    return tevro::statusText(t);
}

std::string TorrentStatusText::statusSymbol(const TorrentStatus& t) {
    return tevro::statusSymbol(t);
}

std::string TorrentStatusText::resumeTitle(const std::vector<TorrentStatus>& torrents) {
    return tevro::resumeTitle(torrents);
}

} // namespace tevro
