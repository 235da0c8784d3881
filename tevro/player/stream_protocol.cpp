#include "tevro/player/stream_protocol.h"

#include <atomic>
#include <charconv>
#include <vector>

#include <mpv/client.h>

#include "tevro/bridge/torrent_bridge.h"

namespace tevro {

namespace {

constexpr std::string_view kScheme = "tevro://";

std::atomic<int> g_openStreams{0};

tb_reader* readerOf(void* cookie) {
    return static_cast<tb_reader*>(cookie);
}

int64_t streamRead(void* cookie, char* buffer, uint64_t count) {
    return tb_reader_read(readerOf(cookie), buffer, count);
}

int64_t streamSeek(void* cookie, int64_t offset) {
    int64_t result = tb_reader_seek(readerOf(cookie), offset);
    return result < 0 ? static_cast<int64_t>(MPV_ERROR_GENERIC) : result;
}

int64_t streamSize(void* cookie) {
    return tb_reader_size(readerOf(cookie));
}

void streamClose(void* cookie) {
    tb_reader_close(readerOf(cookie));
    g_openStreams.fetch_sub(1);
}

// mpv calls this from another of its threads when it abandons the stream; the
// bridge wakes a read blocked on a piece so the demuxer can let go.
void streamCancel(void* cookie) {
    tb_reader_cancel(readerOf(cookie));
}

std::optional<std::int32_t> parseIndex(std::string_view text) {
    if (!text.empty() && text.front() == '+')
        text.remove_prefix(1);
    if (text.empty() || (text.front() == '-' && text.size() == 1))
        return std::nullopt;
    std::int32_t value = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

} // namespace

std::string streamURL(std::string_view torrentID, std::int64_t file) {
    return std::string(kScheme) + std::string(torrentID) + "/" + std::to_string(file);
}

std::optional<StreamTarget> parseStreamURL(std::string_view url) {
    if (!url.starts_with(kScheme))
        return std::nullopt;
    url.remove_prefix(kScheme.size());
    std::vector<std::string_view> pieces;
    while (!url.empty()) {
        size_t slash = url.find('/');
        std::string_view piece = url.substr(0, slash);
        if (!piece.empty())
            pieces.push_back(piece);
        if (slash == std::string_view::npos)
            break;
        url.remove_prefix(slash + 1);
    }
    if (pieces.size() != 2)
        return std::nullopt;
    // "+-3" and "-+3" are not numbers.
    if (pieces[1].size() > 1 && pieces[1][0] == '+' && pieces[1][1] == '-')
        return std::nullopt;
    auto index = parseIndex(pieces[1]);
    if (!index)
        return std::nullopt;
    return StreamTarget{std::string(pieces[0]), *index};
}

int openStreams() {
    return g_openStreams.load();
}

int tevroOpen(void* userData, char* uri, mpv_stream_cb_info* info) {
    auto* session = static_cast<tb_session*>(userData);
    if (!session || !uri || !info)
        return MPV_ERROR_LOADING_FAILED;
    auto target = parseStreamURL(uri);
    if (!target)
        return MPV_ERROR_LOADING_FAILED;
    tb_reader* reader = tb_reader_open(session, target->torrentID.c_str(), target->file);
    if (!reader)
        return MPV_ERROR_LOADING_FAILED;
    g_openStreams.fetch_add(1);
    info->cookie = reader;
    info->read_fn = streamRead;
    info->seek_fn = streamSeek;
    info->size_fn = streamSize;
    info->close_fn = streamClose;
    info->cancel_fn = streamCancel;
    return 0;
}

} // namespace tevro
