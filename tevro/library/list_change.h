#pragma once

// How a list of torrents differs from the one before it, by row numbers, so
// that a model holding the list before follows the change in what it touched.
// Rows named nowhere are the same torrents with the same values, in the same
// order. A torrent both removed and inserted has moved.

#include <algorithm>
#include <cstddef>
#include <functional>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "tevro/core/torrent_status.h"

namespace tevro {

struct ListChange {
    std::vector<std::size_t> removed;  // rows of the list before, ascending
    std::vector<std::size_t> inserted; // rows of the list after, ascending
    std::vector<std::size_t> updated;  // rows of the list after whose values may differ

    // The key a list keeps for each row's id, to find rows without hashing every id.
    static std::size_t keyOf(std::string_view id) { return std::hash<std::string_view>{}(id); }

    bool empty() const { return removed.empty() && inserted.empty() && updated.empty(); }
    bool operator==(const ListChange&) const = default;

    // Torrents that moved and still stand where they stood among the rows
    // that stay become updates in place; false when rows that stay change
    // their order (or the change does not fit the lists). `idBefore(row)`
    // is the id at a row of the list before, of `before` rows.
    // The removals as runs of rows, from the end so that the rows above keep
    // their numbers, then the insertions as runs, from the top: each
    // `(row, count)` at the numbers the list has by then.
    template <class Remove, class Insert> void replay(Remove&& remove, Insert&& insert) const {
        for (std::size_t end = removed.size(); end > 0;) {
            std::size_t begin = end - 1;
            while (begin > 0 && removed[begin - 1] + 1 == removed[begin])
                --begin;
            remove(removed[begin], end - begin);
            end = begin;
        }
        for (std::size_t begin = 0; begin < inserted.size();) {
            std::size_t end = begin + 1;
            while (end < inserted.size() && inserted[end] == inserted[end - 1] + 1)
                ++end;
            insert(inserted[begin], end - begin);
            begin = end;
        }
    }

    bool settle(std::size_t before, const std::function<std::string_view(std::size_t)>& idBefore,
                const std::vector<TorrentStatus>& after) {
        if (before < removed.size() || before - removed.size() + inserted.size() != after.size())
            return false;
        if (removed.empty() || inserted.empty())
            return true;
        std::unordered_map<std::string_view, std::size_t> gone;
        gone.reserve(removed.size());
        for (std::size_t p : removed)
            gone.emplace(idBefore(p), p);
        struct Move {
            std::size_t from, to;
        };
        std::vector<Move> moves;
        for (std::size_t q : inserted)
            if (auto it = gone.find(after[q].id); it != gone.end())
                moves.push_back({it->second, q});
        if (moves.empty())
            return true;
        std::ranges::sort(moves, {}, &Move::from);
        // A row's rank: how many rows that stay stand above it.
        auto rank = [](const std::vector<std::size_t>& touched, std::size_t row) {
            return row - std::size_t(std::ranges::lower_bound(touched, row) - touched.begin());
        };
        for (std::size_t i = 0; i < moves.size(); ++i) {
            if (i > 0 && moves[i].to <= moves[i - 1].to)
                return false;
            if (rank(removed, moves[i].from) != rank(inserted, moves[i].to))
                return false;
        }
        for (const Move& m : moves) {
            std::erase(removed, m.from);
            std::erase(inserted, m.to);
            updated.insert(std::ranges::lower_bound(updated, m.to), m.to);
        }
        return true;
    }
};

} // namespace tevro
