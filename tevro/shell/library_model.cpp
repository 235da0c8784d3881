#include "tevro/shell/library_model.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <optional>
#include <string_view>
#include <unordered_map>

#include <QColor>

#include "tevro/core/format.h"
#include "tevro/media/media_presentation.h"
#include "tevro/library/torrent_status_text.h"
#include "tevro/library/library_style.h"
#include "tevro/library/symbols.h"

namespace tevro {

LibraryModel::LibraryModel(QObject* parent) : QAbstractTableModel(parent) {}

std::vector<TorrentStatus> LibraryModel::torrents() const {
    std::vector<TorrentStatus> out;
    out.reserve(m_torrents.size());
    for (const auto& t : m_torrents)
        out.push_back(*t);
    return out;
}

void LibraryModel::setTorrents(const std::vector<TorrentStatus>& torrents,
                               const ListChange* change) {
    if (change && follow(torrents, *change))
        return;
    bool sameRows = torrents.size() == m_torrents.size() &&
                    std::ranges::equal(torrents, m_torrents,
                                       [](const auto& a, const auto& b) { return a.id == b->id; });
    std::vector<bool> fresh;
    if (!sameRows && !followRows(torrents, fresh)) {
        beginResetModel();
        m_torrents.clear();
        m_keys.clear();
        for (const auto& t : torrents) {
            m_torrents.push_back(std::make_unique<TorrentStatus>(t));
            m_keys.push_back(ListChange::keyOf(t.id));
        }
        endResetModel();
        return;
    }
    for (std::size_t row = 0; row < torrents.size(); ++row) {
        if ((row < fresh.size() && fresh[row]) || torrents[row] == *m_torrents[row])
            continue;
        *m_torrents[row] = torrents[row];
        emit dataChanged(index(int(row), 0), index(int(row), columnCount_ - 1));
    }
}

bool LibraryModel::follow(const std::vector<TorrentStatus>& torrents, ListChange change) {
    if (!change.settle(
            m_torrents.size(),
            [this](std::size_t row) { return std::string_view(m_torrents[row]->id); }, torrents))
        return false;
    // Each run of rows that go or come in one signal.
    change.replay(
        [&](std::size_t row, std::size_t count) { removeRows(row, count); },
        [&](std::size_t row, std::size_t count) { insertRows(row, &torrents[row], count); });
    for (std::size_t row : change.updated) {
        if (torrents[row] == *m_torrents[row])
            continue;
        *m_torrents[row] = torrents[row];
        emit dataChanged(index(int(row), 0), index(int(row), columnCount_ - 1));
    }
    return true;
}

void LibraryModel::insertRows(std::size_t row, const TorrentStatus* first, std::size_t count) {
    std::vector<std::unique_ptr<TorrentStatus>> rows;
    std::vector<std::size_t> keys;
    for (std::size_t i = 0; i < count; ++i) {
        rows.push_back(std::make_unique<TorrentStatus>(first[i]));
        keys.push_back(ListChange::keyOf(first[i].id));
    }
    beginInsertRows({}, int(row), int(row + count - 1));
    m_torrents.insert(m_torrents.begin() + std::ptrdiff_t(row),
                      std::make_move_iterator(rows.begin()), std::make_move_iterator(rows.end()));
    m_keys.insert(m_keys.begin() + std::ptrdiff_t(row), keys.begin(), keys.end());
    endInsertRows();
}

void LibraryModel::removeRows(std::size_t row, std::size_t count) {
    beginRemoveRows({}, int(row), int(row + count - 1));
    m_torrents.erase(m_torrents.begin() + std::ptrdiff_t(row),
                     m_torrents.begin() + std::ptrdiff_t(row + count));
    m_keys.erase(m_keys.begin() + std::ptrdiff_t(row),
                 m_keys.begin() + std::ptrdiff_t(row + count));
    endRemoveRows();
}

bool LibraryModel::followRows(const std::vector<TorrentStatus>& torrents,
                              std::vector<bool>& fresh) {
    std::unordered_map<std::string_view, std::size_t> wanted;
    wanted.reserve(torrents.size());
    for (std::size_t i = 0; i < torrents.size(); ++i)
        wanted.emplace(torrents[i].id, i);
    // Only when the rows that stay keep their order: a new order resets.
    std::vector<bool> stays(m_torrents.size());
    std::optional<std::size_t> last;
    for (std::size_t i = 0; i < m_torrents.size(); ++i) {
        auto it = wanted.find(m_torrents[i]->id);
        if (it == wanted.end())
            continue;
        if (last && it->second <= *last)
            return false;
        last = it->second;
        stays[i] = true;
    }
    // Gone rows, each run at once, from the end so the rows above keep their numbers.
    for (std::size_t end = m_torrents.size(); end > 0;) {
        if (stays[end - 1]) {
            --end;
            continue;
        }
        std::size_t begin = end - 1;
        while (begin > 0 && !stays[begin - 1])
            --begin;
        removeRows(begin, end - begin);
        end = begin;
    }
    // New rows at their places: what the next kept row is not is new.
    for (std::size_t j = 0; j < torrents.size();) {
        if (j < m_torrents.size() && m_torrents[j]->id == torrents[j].id) {
            ++j;
            continue;
        }
        std::size_t k = j + 1;
        while (k < torrents.size() &&
               (j >= m_torrents.size() || m_torrents[j]->id != torrents[k].id))
            ++k;
        fresh.resize(torrents.size());
        std::fill(fresh.begin() + std::ptrdiff_t(j), fresh.begin() + std::ptrdiff_t(k), true);
        insertRows(j, &torrents[j], k - j);
        j = k;
    }
    return true;
}

void LibraryModel::setSelection(const std::set<std::string>& selection) {
    if (selection == m_selection)
        return;
    std::set<std::string> changed;
    std::ranges::set_symmetric_difference(selection, m_selection,
                                          std::inserter(changed, changed.end()));
    m_selection = selection;
    for (const auto& id : changed)
        if (int row = rowOf(id); row >= 0)
            emit dataChanged(index(row, 0), index(row, columnCount_ - 1), {SelectedRole});
}

const TorrentStatus* LibraryModel::status(int row) const {
    if (row < 0 || row >= int(m_torrents.size()))
        return nullptr;
    return m_torrents[std::size_t(row)].get();
}

int LibraryModel::rowOf(const std::string& id) const {
    const std::size_t key = ListChange::keyOf(id);
    for (std::size_t row = 0; row < m_keys.size(); ++row)
        if (m_keys[row] == key && m_torrents[row]->id == id)
            return int(row);
    return -1;
}

int LibraryModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(m_torrents.size());
}

int LibraryModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : columnCount_;
}

QString LibraryModel::sizeText(const TorrentStatus& t) {
    return QString::fromStdString(
        Format::bytes(std::max<std::int64_t>(0, t.wanted > 0 ? t.wanted : t.total)));
}

QString LibraryModel::speedText(const TorrentStatus& t) {
    if (t.isChecking())
        return QString::fromStdString(t.checkingSpeedText());
    if (t.downloadRate < 1)
        return QStringLiteral("—");
    return QString::fromStdString(Format::bytes(t.downloadRate)) + QStringLiteral("/с");
}

QString LibraryModel::remainingText(const TorrentStatus& t) {
    if (t.isChecking()) {
        auto eta = t.checkingETA();
        if (!eta)
            return QStringLiteral("—");
        return QStringLiteral("≈ ") + QString::fromStdString(Format::duration(std::ceil(*eta)));
    }
    std::int64_t remaining = t.wanted - t.wantedDone;
    if (remaining > 0 && t.downloadRate >= 1 && !t.paused)
        return QString::fromStdString(Format::duration(double(remaining) / double(t.downloadRate)));
    return QStringLiteral("—");
}

QVariant LibraryModel::data(const QModelIndex& index, int role) const {
    const TorrentStatus* t = status(index.row());
    if (!t)
        return {};
    switch (role) {
    case IdRole:
        return QString::fromStdString(t->id);
    case SelectedRole:
        return m_selection.contains(t->id);
    case SubtitleRole:
        return QString::fromStdString(MediaPresentation(t->name).subtitle());
    case ProgressRole:
        return t->displayProgress();
    case StatusSymbolRole:
        return QString::fromStdString(TorrentStatusText::statusSymbol(*t));
    case ErrorRole:
        return QString::fromStdString(t->error);
    case Qt::ToolTipRole:
        if (index.column() == nameColumn)
            return QString::fromStdString(t->name);
        if (index.column() == statusColumn && !t->error.empty())
            return QString::fromStdString(t->error);
        return {};
    case Qt::ForegroundRole:
        if (index.column() == statusColumn) {
            if (!t->error.empty())
                return QColor(Qt::red);
            return (t->finished || t->seeding) ? LibraryStyle::mint() : LibraryStyle::muted();
        }
        return {};
    case Qt::AccessibleTextRole:
    case Qt::DisplayRole:
        switch (index.column()) {
        case nameColumn:
            return QString::fromStdString(MediaPresentation(t->name).title);
        case sizeColumn:
            return sizeText(*t);
        case progressColumn:
            return QString::fromStdString(Format::percent(t->displayProgress()));
        case statusColumn:
            return QString::fromStdString(TorrentStatusText::statusText(*t));
        case speedColumn:
            return speedText(*t);
        case remainingColumn:
            return remainingText(*t);
        }
        return {};
    }
    return {};
}

QVariant LibraryModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    static const char* const titles[] = {"Название", "Размер",   "Прогресс",
                                         "Статус",   "Скорость", "Осталось"};
    if (section < 0 || section >= columnCount_)
        return {};
    return QString::fromUtf8(titles[section]);
}

Qt::ItemFlags LibraryModel::flags(const QModelIndex& index) const {
    return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::NoItemFlags;
}

} // namespace tevro
