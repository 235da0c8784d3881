#include "tevro/automation/torrent_json_text.h"

#include <charconv>
#include <cmath>
#include <cstdint>

#include "tevro/bridge/utf8.h"
#include "tevro/library/torrent_status_text.h"

namespace tevro {

namespace {

void appendInteger(std::string& out, std::int64_t value) {
    char digits[24];
    auto [end, ec] = std::to_chars(digits, digits + sizeof digits, value);
    out.append(digits, end);
}

void appendBool(std::string& out, bool value) {
    out += value ? "true" : "false";
}

// Printable ASCII but '"' and '\\', or well-formed UTF-8: copied as it is.
bool plain(std::string_view text) {
    for (std::size_t i = 0; i < text.size();) {
        auto c = static_cast<unsigned char>(text[i]);
        if (c < 0x80) {
            if (c < 0x20 || c == '"' || c == '\\')
                return false;
            ++i;
            continue;
        }
        std::size_t n = bridge::utf8SequenceLength(text.substr(i));
        if (n == 0)
            return false;
        i += n;
    }
    return true;
}

} // namespace

void TorrentJsonText::appendString(std::string& out, std::string_view value) {
    if (plain(value)) {
        out += '"';
        out += value;
        out += '"';
        return;
    }
    // Escapes and repairs are rare: the encoder's own rules for them.
    out += Json(std::string(value)).dump(-1, ' ', false, Json::error_handler_t::replace);
}

void TorrentJsonText::appendReal(std::string& out, double value) {
    if (!std::isfinite(value)) {
        out += "null";
        return;
    }
    // The encoder's own shortest form, so a value reads back the same.
    char digits[64];
    char* end = nlohmann::detail::to_chars(digits, digits + sizeof digits, value);
    out.append(digits, end);
}

void TorrentJsonText::append(std::string& out, const TorrentStatus& t) {
    // Keys in the encoder's order: sorted by their bytes.
    out += "{\"checkingETA\":";
    if (auto eta = t.checkingETA())
        appendReal(out, *eta);
    else
        out += "null";
    out += ",\"checkingRate\":";
    if (t.checkingRate)
        appendReal(out, static_cast<double>(*t.checkingRate));
    else
        out += "null";
    out += ",\"displayProgress\":";
    appendReal(out, t.displayProgress());
    out += ",\"downloadLimit\":";
    appendInteger(out, t.downloadLimit);
    out += ",\"downloadRate\":";
    appendInteger(out, t.downloadRate);
    out += ",\"error\":";
    appendString(out, t.error);
    out += ",\"id\":";
    appendString(out, t.id);
    out += ",\"name\":";
    appendString(out, t.name);
    out += ",\"paused\":";
    appendBool(out, t.paused);
    out += ",\"peers\":";
    appendInteger(out, t.peers);
    out += ",\"progress\":";
    appendReal(out, t.progress);
    out += ",\"savePath\":";
    appendString(out, t.savePath);
    out += ",\"seeds\":";
    appendInteger(out, t.seeds);
    out += ",\"sequential\":";
    appendBool(out, t.sequential);
    out += ",\"state\":";
    appendString(out, t.state);
    out += ",\"status\":";
    appendString(out, TorrentStatusText::statusText(t));
    out += ",\"swarmPeers\":";
    appendInteger(out, t.swarmPeers);
    out += ",\"swarmSeeds\":";
    appendInteger(out, t.swarmSeeds);
    out += ",\"uploadLimit\":";
    appendInteger(out, t.uploadLimit);
    out += ",\"uploadRate\":";
    appendInteger(out, t.uploadRate);
    out += ",\"wanted\":";
    appendInteger(out, t.wanted);
    out += ",\"wantedDone\":";
    appendInteger(out, t.wantedDone);
    out += '}';
}

std::string TorrentJsonText::text(const TorrentStatus& t) {
    // Written in a buffer kept for the next, then copied at its length: the
    // texts of thousands of torrents are kept, and without slack.
    thread_local std::string scratch;
    scratch.clear();
    append(scratch, t);
    return std::string(scratch);
}

} // namespace tevro
