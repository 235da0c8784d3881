#include "tevro/torrent/trackers_model.h"

#include <algorithm>

#include "tevro/core/format.h"

namespace tevro {

TrackersModel::TrackersModel(QObject* parent) : QAbstractTableModel(parent) {}

void TrackersModel::setTrackers(std::vector<TrackerInfo> trackers) {
    bool sameRows =
        std::ranges::equal(trackers, m_trackers, [](auto& a, auto& b) { return a.url == b.url; });
    if (!sameRows) {
        beginResetModel();
        m_trackers = std::move(trackers);
        endResetModel();
        return;
    }
    for (int r = 0; r < static_cast<int>(trackers.size()); ++r) {
        if (trackers[r] == m_trackers[r])
            continue;
        m_trackers[r] = std::move(trackers[r]);
        emit dataChanged(index(r, 0), index(r, columnCount_ - 1));
    }
}

QString TrackersModel::summary() const {
    auto working = std::ranges::count_if(m_trackers, [](auto& t) { return t.status == "working"; });
    return QStringLiteral("Работают: %1 из %2").arg(working).arg(m_trackers.size());
}

QString TrackersModel::statusText(const TrackerInfo& t) {
    if (t.status == "working")
        return QStringLiteral("Работает");
    if (t.status == "updating")
        return QStringLiteral("Обновление…");
    if (t.status == "error")
        return t.message.empty() ? QStringLiteral("Ошибка") : QString::fromStdString(t.message);
    if (t.status == "contacted")
        return QStringLiteral("Нет ответа");
    return QStringLiteral("Не опрошен");
}

QColor TrackersModel::color(const QString& status) {
    if (status == u"working")
        return QColor(0x30, 0xd1, 0x58);
    if (status == u"updating")
        return QColor(0x0a, 0x84, 0xff);
    if (status == u"error")
        return QColor(0xff, 0x45, 0x3a);
    if (status == u"contacted")
        return QColor(0xff, 0xd6, 0x0a);
    return QColor(0x8e, 0x8e, 0x93);
}

QString TrackersModel::count(std::int64_t value) {
    return value < 0 ? QStringLiteral("—") : QString::number(value);
}

int TrackersModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_trackers.size());
}

int TrackersModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : columnCount_;
}

QVariant TrackersModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= static_cast<int>(m_trackers.size()))
        return {};
    const TrackerInfo& t = m_trackers[index.row()];
    if (role == StatusColorRole)
        return color(QString::fromStdString(t.status));
    if (role == Qt::ToolTipRole && index.column() == statusColumn)
        return QString::fromStdString(t.message);
    if (role == Qt::ToolTipRole && index.column() == addressColumn)
        return QString::fromStdString(t.url);
    if (role == Qt::TextAlignmentRole && index.column() >= seedsColumn)
        return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
    if (role != Qt::DisplayRole)
        return {};
    switch (index.column()) {
    case addressColumn: {
        QString text = QString::fromStdString(t.url);
        if (t.mirror)
            text += QStringLiteral("  зеркало");
        if (t.extra)
            text += QStringLiteral("  доп.");
        return text;
    }
    case statusColumn:
        return statusText(t);
    case seedsColumn:
        return count(t.seeds);
    case peersColumn:
        return count(t.peers);
    case downloadedColumn:
        return count(t.downloaded);
    case announceColumn:
        return t.nextAnnounce < 0
                   ? QStringLiteral("—")
                   : QString::fromStdString(Format::duration(static_cast<double>(t.nextAnnounce)));
    }
    return {};
}

QVariant TrackersModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    static const char* titles[] = {"Адрес", "Статус", "Сиды", "Пиры", "Скачали", "Анонс"};
    return section >= 0 && section < columnCount_ ? QString::fromUtf8(titles[section]) : QVariant();
}

} // namespace tevro
