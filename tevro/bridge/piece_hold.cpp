#include "tevro/bridge/piece_hold.h"

#include <algorithm>

#include <libtorrent/torrent_info.hpp>
#include <libtorrent/torrent_status.hpp>

namespace tevro::bridge {

void PieceHold::wait(const lt::torrent_handle& handle, const std::string& id, const void* reader,
                     const std::vector<int>& needed) {
    std::lock_guard lock(m_mutex);
    auto [it, fresh] = m_torrents.try_emplace(id);
    Held& held = it->second;
    held.waiting.insert(reader);
    setNeeded(held, reader, needed);
    absorb(held);
    try {
        if (fresh) {
            held.handle = handle;
            lt::torrent_status st = handle.status(lt::torrent_handle::query_pieces);
            if (st.is_seeding)
                return;
            std::vector<lt::download_priority_t> priorities = handle.get_piece_priorities();
            Priorities changes;
            for (std::size_t i = 0; i < priorities.size(); ++i) {
                int p = static_cast<int>(i);
                if (priorities[i] == lt::dont_download || held.needed.count(p) ||
                    (p < st.pieces.size() && st.pieces.get_bit(lt::piece_index_t(p))))
                    continue;
                held.aside[p] = priorities[i];
                changes.emplace_back(lt::piece_index_t(p), lt::dont_download);
            }
            if (!changes.empty())
                handle.prioritize_pieces(changes);
        } else {
            giveBack(held, needed);
        }
        order(held);
        keep(held);
    } catch (const std::exception&) {
        // The torrent is gone; expire() drops the entry.
    }
    publish(held);
}

void PieceHold::served(const std::string& id, const void* reader) {
    std::lock_guard lock(m_mutex);
    auto it = m_torrents.find(id);
    if (it == m_torrents.end())
        return;
    Held& held = it->second;
    held.waiting.erase(reader);
    if (held.waiting.empty())
        held.servedAt = Clock::now();
}

void PieceHold::forget(const std::string& id, const void* reader) {
    std::lock_guard lock(m_mutex);
    auto it = m_torrents.find(id);
    if (it == m_torrents.end())
        return;
    it->second.waiting.erase(reader);
    setNeeded(it->second, reader, {});
    it->second.reading.erase(reader);
    publish(it->second);
}

void PieceHold::setNeeded(Held& held, const void* reader, const std::vector<int>& needed) {
    held.reading[reader] = needed;
    held.needed.clear();
    for (const auto& [r, pieces] : held.reading)
        held.needed.insert(pieces.begin(), pieces.end());
}

void PieceHold::prioritize(const lt::torrent_handle& handle, const std::string& id,
                           const Priorities& changes, const void* reader,
                           const std::vector<int>& needed) {
    std::lock_guard lock(m_mutex);
    auto it = m_torrents.find(id);
    if (it == m_torrents.end()) {
        if (!changes.empty())
            handle.prioritize_pieces(changes);
        return;
    }
    Held& held = it->second;
    absorb(held);
    if (reader) {
        setNeeded(held, reader, needed);
        giveBack(held, needed);
    }
    std::set<int> first = heads(held);
    Priorities apply;
    for (const auto& [piece, priority] : changes) {
        int p = static_cast<int>(piece);
        if (held.needed.count(p) && !first.count(p) && priority > kLeadPriority) {
            held.aside[p] = priority;
            held.dimmed.insert(p);
            apply.emplace_back(piece, kLeadPriority);
        } else if (priority == lt::dont_download || held.needed.count(p) || held.keepers.count(p)) {
            held.dimmed.erase(p);
            held.aside.erase(p);
            apply.emplace_back(piece, priority);
        } else {
            held.aside[p] = priority;
            held.dimmed.erase(p);
            apply.emplace_back(piece, lt::dont_download);
        }
    }
    if (!apply.empty())
        handle.prioritize_pieces(apply);
    if (reader)
        order(held);
    publish(held);
}

void PieceHold::pieceFinished(const lt::torrent_handle& handle) {
    std::lock_guard lock(m_mutex);
    for (auto& [id, held] : m_torrents) {
        if (held.handle != handle)
            continue;
        absorb(held);
        try {
            keep(held);
        } catch (const std::exception&) {
        }
        publish(held);
    }
}

void PieceHold::keep(Held& held) {
    if (held.aside.empty() || !held.handle.is_valid())
        return;
    lt::torrent_status st = held.handle.status(lt::torrent_handle::query_pieces);
    auto have = [&](int p) {
        return p < st.pieces.size() && st.pieces.get_bit(lt::piece_index_t(p));
    };
    std::erase_if(held.keepers, have);
    if (held.keepers.size() >= kKeepers)
        return;
    std::vector<int> picked =
        ahead(held, kKeepers - held.keepers.size(), [&](int p) { return !have(p); });
    held.keepers.insert(picked.begin(), picked.end());
    giveBack(held, picked);
}

bool PieceHold::empty() {
    std::lock_guard lock(m_mutex);
    return m_torrents.empty();
}

void PieceHold::expire(Clock::time_point now) {
    std::lock_guard lock(m_mutex);
    for (auto it = m_torrents.begin(); it != m_torrents.end();) {
        Held& held = it->second;
        bool release = now == Clock::time_point::max() ||
                       (held.waiting.empty() && (now - held.servedAt >= kGrace || !wantsAny(held)));
        if (!release) {
            ++it;
            continue;
        }
        {
            std::lock_guard spares(m_spareMutex);
            m_spares.erase(held.handle);
        }
        std::vector<int> pieces;
        for (const auto& [p, priority] : held.aside)
            pieces.push_back(p);
        try {
            giveBack(held, pieces);
        } catch (const std::exception&) {
        }
        it = m_torrents.erase(it);
    }
}

bool PieceHold::wantsAny(const Held& held) {
    // With nothing wanted the peers stop sending: never hold the last wanted piece back.
    try {
        lt::torrent_status st = held.handle.status(lt::torrent_handle::query_pieces);
        for (int p : held.needed)
            if (p < st.pieces.size() && !st.pieces.get_bit(lt::piece_index_t(p)))
                return true;
    } catch (const std::exception&) {
    }
    return false;
}

std::vector<int> PieceHold::ahead(const Held& held, std::size_t count,
                                  const std::function<bool(int)>& usable) {
    // Those right after the first piece a reader needs, then from the first held.
    int from = held.needed.empty() ? 0 : *held.needed.begin();
    std::vector<int> out;
    auto consider = [&](int p) {
        if (!held.needed.count(p) && usable(p))
            out.push_back(p);
    };
    for (auto it = held.aside.upper_bound(from); it != held.aside.end() && out.size() < count; ++it)
        consider(it->first);
    for (auto it = held.aside.begin();
         it != held.aside.end() && it->first <= from && out.size() < count; ++it)
        consider(it->first);
    return out;
}

bool PieceHold::holds(const lt::torrent_handle& handle) {
    std::lock_guard lock(m_spareMutex);
    return m_spares.count(handle) > 0;
}

std::optional<std::pair<lt::piece_index_t, lt::download_priority_t>>
PieceHold::takeSpare(const lt::torrent_handle& handle,
                     const lt::typed_bitfield<lt::piece_index_t>& have) {
    std::lock_guard lock(m_spareMutex);
    auto it = m_spares.find(handle);
    if (it == m_spares.end())
        return std::nullopt;
    auto& offered = it->second.offered;
    for (auto spare = offered.begin(); spare != offered.end(); ++spare) {
        auto [piece, priority] = *spare;
        if (piece < have.size() && have.get_bit(lt::piece_index_t(piece)))
            continue;
        offered.erase(spare);
        it->second.taken.push_back(piece);
        return std::make_pair(lt::piece_index_t(piece), priority);
    }
    return std::nullopt;
}

void PieceHold::publish(const Held& held) {
    if (!held.handle.is_valid())
        return;
    Spares next;
    for (int p : ahead(held, kSpares, [](int) { return true; }))
        next.offered.emplace_back(p, held.aside.at(p));
    std::lock_guard lock(m_spareMutex);
    Spares& spares = m_spares[held.handle];
    next.taken = std::move(spares.taken);
    spares = std::move(next);
}

void PieceHold::absorb(Held& held) {
    std::vector<int> taken;
    {
        std::lock_guard lock(m_spareMutex);
        auto it = m_spares.find(held.handle);
        if (it == m_spares.end())
            return;
        taken.swap(it->second.taken);
    }
    // Wanted again by the network thread: keepers from now on.
    for (int p : taken)
        if (held.aside.erase(p))
            held.keepers.insert(p);
}

std::set<int> PieceHold::heads(const Held& held) {
    std::set<int> out;
    for (const auto& [reader, pieces] : held.reading)
        if (!pieces.empty())
            out.insert(pieces.front());
    return out;
}

void PieceHold::order(Held& held) {
    if (!held.handle.is_valid())
        return;
    std::set<int> first = heads(held);
    lt::torrent_status st = held.handle.status(lt::torrent_handle::query_pieces);
    auto have = [&](int p) {
        return p < st.pieces.size() && st.pieces.get_bit(lt::piece_index_t(p));
    };
    std::vector<lt::download_priority_t> current = held.handle.get_piece_priorities();
    auto at = [&](int p) {
        auto i = static_cast<std::size_t>(p);
        return i < current.size() ? current[i] : lt::dont_download;
    };
    Priorities changes;
    for (int p : held.needed) {
        if (first.count(p) || held.dimmed.count(p) || have(p) || at(p) <= kLeadPriority)
            continue;
        held.aside[p] = at(p);
        held.dimmed.insert(p);
        changes.emplace_back(lt::piece_index_t(p), kLeadPriority);
    }
    for (auto it = held.dimmed.begin(); it != held.dimmed.end();) {
        int p = *it;
        if (held.needed.count(p) && !first.count(p)) {
            ++it;
            continue;
        }
        it = held.dimmed.erase(it);
        auto aside = held.aside.find(p);
        if (aside == held.aside.end())
            continue;
        if (at(p) != kLeadPriority) {
            held.aside.erase(aside); // set by someone else since
        } else if (first.count(p)) {
            changes.emplace_back(lt::piece_index_t(p), aside->second);
            held.aside.erase(aside);
        } else {
            changes.emplace_back(lt::piece_index_t(p), lt::dont_download);
        }
    }
    if (!changes.empty())
        held.handle.prioritize_pieces(changes);
}

void PieceHold::giveBack(Held& held, const std::vector<int>& pieces) {
    if (held.aside.empty() || !held.handle.is_valid())
        return;
    auto ti = held.handle.torrent_file();
    if (!ti)
        return;
    const lt::file_storage& fs = ti->files();
    std::vector<lt::download_priority_t> files = held.handle.get_file_priorities();
    std::vector<lt::download_priority_t> current = held.handle.get_piece_priorities();
    Priorities changes;
    for (int p : pieces) {
        auto aside = held.aside.find(p);
        if (aside == held.aside.end())
            continue;
        lt::download_priority_t priority = aside->second;
        held.aside.erase(aside);
        auto index = static_cast<std::size_t>(p);
        // Set by someone else since (a file priority change resets them all): leave it.
        lt::download_priority_t ours = held.dimmed.erase(p) ? kLeadPriority : lt::dont_download;
        if (index >= current.size() || current[index] != ours)
            continue;
        // A file skipped meanwhile stays skipped.
        bool wanted = false;
        for (const lt::file_slice& slice :
             fs.map_block(lt::piece_index_t(p), 0, fs.piece_size(lt::piece_index_t(p)))) {
            auto f = static_cast<std::size_t>(static_cast<int>(slice.file_index));
            wanted = wanted || (f < files.size() && files[f] != lt::dont_download &&
                                !fs.pad_file_at(slice.file_index));
        }
        if (wanted)
            changes.emplace_back(lt::piece_index_t(p), priority);
    }
    if (!changes.empty())
        held.handle.prioritize_pieces(changes);
}

} // namespace tevro::bridge
