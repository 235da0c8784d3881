#include "tevro/bridge/status_rows.h"

#include <iterator>

#include "tevro/bridge/json_writer.h"

namespace tevro::bridge {

namespace {

// Within this many seconds a running torrent's counted times alone do not
// make a new row: every row of a large idle library would change with each
// whole report, and redrawing thousands of rows for a clock costs more than
// the library itself. A minute: the seeding-time limit counts in minutes.
constexpr std::int64_t kTimeStep = 60;

} // namespace

std::string_view StatusRows::row(const std::string& id, Values values, Source source) {
    Slot slot;
    return row(slot, id, std::move(values), std::move(source));
}

std::string_view StatusRows::row(Slot& slot, const std::string& id, Values values, Source source,
                                 bool* changed) {
    Entry* found = find(slot, id);
    const bool added = !found;
    if (!found) {
        found = &m_rows.try_emplace(id).first->second;
        slot = {found, m_erasures};
    }
    if (changed)
        *changed = false;
    Entry& e = *found;
    // The row's text is what it shows: a row written the same again is the
    // same row. The counted times alone, moved forward within a step, are
    // taken as they were.
    const bool timesStep = !added && values.activeTime >= e.activeTime &&
                           values.seedingTime >= e.seedingTime &&
                           values.activeTime - e.activeTime < kTimeStep &&
                           values.seedingTime - e.seedingTime < kTimeStep;
    std::string text;
    if (timesStep) {
        Values same = values;
        same.activeTime = e.activeTime;
        same.seedingTime = e.seedingTime;
        text = write(id, same);
    } else {
        text = write(id, values);
    }
    if (added || text != e.text) {
        if (timesStep && !added)
            text = write(id, values);
        if (changed)
            *changed = true;
        m_download += values.downloadRate - e.downloadRate;
        m_upload += values.uploadRate - e.uploadRate;
        // Kept until the row changes, thousands of them: no growth slack.
        text.shrink_to_fit();
        e.text = std::move(text);
        e.activeTime = values.activeTime;
        e.seedingTime = values.seedingTime;
        e.downloadRate = values.downloadRate;
        e.uploadRate = values.uploadRate;
    }
    e.source = std::move(source);
    return e.text;
}

std::string_view StatusRows::row(const std::string& id, Values values) {
    return row(id, std::move(values), Source{});
}

const std::string* StatusRows::kept(const std::string& id, const Source& source) {
    Slot slot;
    return kept(slot, id, source);
}

const std::string* StatusRows::kept(Slot& slot, const std::string& id, const Source& source) {
    Entry* e = find(slot, id);
    if (!e || e->source != source)
        return nullptr;
    return &e->text;
}

StatusRows::Entry* StatusRows::find(Slot& slot, const std::string& id) {
    // Entries are map nodes: they stay where they are until one is erased.
    if (slot.entry && slot.erasures == m_erasures)
        return slot.entry;
    auto it = m_rows.find(id);
    slot = {it == m_rows.end() ? nullptr : &it->second, m_erasures};
    return slot.entry;
}

bool StatusRows::erase(const std::string& id) {
    auto it = m_rows.find(id);
    if (it == m_rows.end())
        return false;
    m_download -= it->second.downloadRate;
    m_upload -= it->second.uploadRate;
    m_rows.erase(it);
    ++m_erasures;
    return true;
}

std::string StatusRows::write(const std::string& id, const Values& v) {
    JsonWriter w;
    w.beginObject();
    w.key("id").text(id);
    w.key("name").text(v.name);
    w.key("state").text(v.state);
    w.key("paused").boolean(v.paused);
    w.key("autoManaged").boolean(v.autoManaged);
    w.key("sequential").boolean(v.sequential);
    w.key("private").boolean(v.isPrivate);
    w.key("hasMetadata").boolean(v.hasMetadata);
    w.key("finished").boolean(v.finished);
    w.key("seeding").boolean(v.seeding);
    w.key("moving").boolean(v.moving);
    w.key("progress").real(v.progress);
    w.key("total").integer(v.total);
    w.key("totalDone").integer(v.totalDone);
    w.key("wanted").integer(v.wanted);
    w.key("wantedDone").integer(v.wantedDone);
    w.key("downloadRate").integer(v.downloadRate);
    w.key("uploadRate").integer(v.uploadRate);
    w.key("peers").integer(v.peers);
    w.key("seeds").integer(v.seeds);
    w.key("swarmPeers").integer(v.swarmPeers);
    w.key("swarmSeeds").integer(v.swarmSeeds);
    w.key("connectCandidates").integer(v.connectCandidates);
    w.key("uploaded").integer(v.uploaded);
    w.key("downloaded").integer(v.downloaded);
    w.key("added").integer(v.added);
    w.key("completed").integer(v.completed);
    w.key("activeTime").integer(v.activeTime);
    w.key("seedingTime").integer(v.seedingTime);
    w.key("downloadLimit").integer(v.downloadLimit);
    w.key("uploadLimit").integer(v.uploadLimit);
    w.key("connectionsLimit").integer(v.connectionsLimit);
    w.key("uploadsLimit").integer(v.uploadsLimit);
    w.key("queue").integer(v.queue);
    w.key("pieces").integer(v.pieces);
    w.key("availability").real(v.availability);
    w.key("savePath").text(v.savePath);
    w.key("tracker").text(v.tracker);
    w.key("error").text(v.error);
    w.endObject();
    return w.take();
}

} // namespace tevro::bridge
