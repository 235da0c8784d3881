#include "tevro/torrent/peers_model.h"

#include <unordered_map>

#include "tevro/core/format.h"

namespace tevro {

PeersModel::PeersModel(QObject* parent) : QAbstractTableModel(parent) {}

void PeersModel::setPeers(std::vector<PeerInfo> peers) {
    std::unordered_map<std::string, const PeerInfo*> fresh;
    for (const PeerInfo& p : peers)
        fresh.emplace(p.id(), &p);
    // Gone peers, from the end so earlier rows keep their numbers.
    for (int r = static_cast<int>(m_peers.size()) - 1; r >= 0; --r) {
        if (fresh.contains(m_peers[r].id()))
            continue;
        beginRemoveRows({}, r, r);
        m_peers.erase(m_peers.begin() + r);
        endRemoveRows();
    }
    std::unordered_map<std::string, int> rows;
    for (int r = 0; r < static_cast<int>(m_peers.size()); ++r) {
        const PeerInfo& now = *fresh.at(m_peers[r].id());
        rows.emplace(m_peers[r].id(), r);
        if (!(now == m_peers[r])) {
            m_peers[r] = now;
            emit dataChanged(index(r, 0), index(r, columnCount_ - 1));
        }
    }
    std::vector<PeerInfo> added;
    for (const PeerInfo& p : peers)
        if (!rows.contains(p.id()) && rows.emplace(p.id(), -1).second)
            added.push_back(p);
    if (!added.empty()) {
        int first = static_cast<int>(m_peers.size());
        beginInsertRows({}, first, first + static_cast<int>(added.size()) - 1);
        m_peers.insert(m_peers.end(), added.begin(), added.end());
        endInsertRows();
    }
}

QString PeersModel::address(const PeerInfo& peer) {
    QString ip = QString::fromStdString(peer.ip);
    if (ip.contains(u':'))
        ip = u'[' + ip + u']';
    return ip + u':' + QString::number(peer.port);
}

QString PeersModel::flags(const QString& letters) {
    QStringList items;
    for (QChar c : letters) {
        switch (c.unicode()) {
        case 'E':
            items << QStringLiteral("🔒");
            break;
        case 'U':
            items << QStringLiteral("μ");
            break;
        case 'S':
            items << QStringLiteral("S");
            break;
        case 'I':
            items << QStringLiteral("↙");
            break;
        default:
            items << QString(c);
            break;
        }
    }
    return items.join(u' ');
}

QString PeersModel::flagsHelp(const QString& letters) {
    QStringList phrases;
    const std::pair<QChar, const char*> table[] = {
        {u'E', "Шифрование"}, {u'U', "uTP"}, {u'S', "Сид"}, {u'I', "Входящее"}};
    for (const auto& [letter, phrase] : table)
        if (letters.contains(letter))
            phrases << QString::fromUtf8(phrase);
    return phrases.join(QStringLiteral(", "));
}

QString PeersModel::rate(std::int64_t bytesPerSecond) {
    if (bytesPerSecond < 1)
        return QStringLiteral("—");
    return QString::fromStdString(Format::bytes(bytesPerSecond)) + QStringLiteral("/с");
}

int PeersModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_peers.size());
}

int PeersModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : columnCount_;
}

QVariant PeersModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= static_cast<int>(m_peers.size()))
        return {};
    const PeerInfo& p = m_peers[index.row()];
    if (role == SortRole) {
        switch (index.column()) {
        case addressColumn:
            return QString::fromStdString(p.ip);
        case clientColumn:
            return QString::fromStdString(p.client);
        case flagsColumn:
            return QString::fromStdString(p.flags);
        case sourceColumn:
            return QString::fromStdString(p.source);
        case progressColumn:
            return p.progress;
        case downloadColumn:
            return static_cast<qlonglong>(p.downloadRate);
        case uploadColumn:
            return static_cast<qlonglong>(p.uploadRate);
        }
    }
    if (role == Qt::ToolTipRole && index.column() == flagsColumn)
        return flagsHelp(QString::fromStdString(p.flags));
    if (role == Qt::TextAlignmentRole && index.column() >= progressColumn)
        return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
    if (role != Qt::DisplayRole)
        return {};
    switch (index.column()) {
    case addressColumn:
        return address(p);
    case clientColumn:
        return QString::fromStdString(p.client);
    case flagsColumn:
        return flags(QString::fromStdString(p.flags));
    case sourceColumn:
        return QString::fromStdString(p.source).toUpper();
    case progressColumn:
        return QString::fromStdString(Format::percent(p.progress));
    case downloadColumn:
        return rate(p.downloadRate);
    case uploadColumn:
        return rate(p.uploadRate);
    }
    return {};
}

QVariant PeersModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    static const char* titles[] = {"Адрес",    "Клиент",   "Флаги", "Источник",
                                   "Прогресс", "Загрузка", "Отдача"};
    return section >= 0 && section < columnCount_ ? QString::fromUtf8(titles[section]) : QVariant();
}

} // namespace tevro
