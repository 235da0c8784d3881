#pragma once

// A torrent's trackers in the engine's order. A refresh with the same list of
// addresses changes the rows that changed; another list replaces the rows.

#include <vector>

#include <QAbstractTableModel>
#include <QColor>

#include "tevro/core/tracker_info.h"

namespace tevro {

class TrackersModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column {
        addressColumn,
        statusColumn,
        seedsColumn,
        peersColumn,
        downloadedColumn,
        announceColumn,
        columnCount_
    };
    static constexpr int StatusColorRole = Qt::UserRole + 1;

    explicit TrackersModel(QObject* parent = nullptr);

    void setTrackers(std::vector<TrackerInfo> trackers);
    const std::vector<TrackerInfo>& trackers() const { return m_trackers; }

    // "Работают: 2 из 3".
    QString summary() const;
    static QString statusText(const TrackerInfo& tracker);
    static QColor color(const QString& status);
    // A count, or "—" when it was not reported.
    static QString count(std::int64_t value);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

private:
    std::vector<TrackerInfo> m_trackers;
};

} // namespace tevro
