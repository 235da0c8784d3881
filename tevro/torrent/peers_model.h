#pragma once

// The connected peers of a torrent as a table model, updated by peer id: a
// refresh changes the rows that changed, inserts new peers and removes gone
// ones, so a sorting proxy above it keeps its order and selection.

#include <string>
#include <vector>

#include <QAbstractTableModel>

#include "tevro/core/peer_info.h"

namespace tevro {

class PeersModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column {
        addressColumn,
        clientColumn,
        flagsColumn,
        sourceColumn,
        progressColumn,
        downloadColumn,
        uploadColumn,
        columnCount_
    };
    // The raw value a column sorts by (text or number).
    static constexpr int SortRole = Qt::UserRole + 1;

    explicit PeersModel(QObject* parent = nullptr);

    void setPeers(std::vector<PeerInfo> peers);
    const std::vector<PeerInfo>& peers() const { return m_peers; }

    // "1.2.3.4:5" for IPv4, "[::1]:5" for IPv6, so the text can be read back.
    static QString address(const PeerInfo& peer);
    // The flag letters as shown ("🔒 μ S") and their tooltip ("Шифрование, uTP, Сид").
    static QString flags(const QString& letters);
    static QString flagsHelp(const QString& letters);
    // "—" below 1 byte per second, else the size and "/с".
    static QString rate(std::int64_t bytesPerSecond);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

private:
    std::vector<PeerInfo> m_peers;
};

} // namespace tevro
