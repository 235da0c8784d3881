#pragma once

// The peers tab: a sortable table of a torrent's connected peers, refreshed
// every 2 s while shown; the order chosen by a header click holds as rows update.

#include <cstdint>

#include <QWidget>

class QSortFilterProxyModel;
class QTableView;

namespace tevro {

class EmptyState;
class PeersModel;
class RefreshLoop;
class TorrentEngine;

class PeersView : public QWidget {
    Q_OBJECT
public:
    explicit PeersView(TorrentEngine& engine, QWidget* parent = nullptr);

    void setTorrentID(const QString& id);
    QString torrentID() const { return m_torrentID; }
    PeersModel* model() const { return m_model; }
    QSortFilterProxyModel* sorted() const { return m_sorted; }
    QTableView* table() const { return m_table; }

signals:
    void refreshed();

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void pass(std::uint64_t ticket);

    TorrentEngine& m_engine;
    QString m_torrentID;
    RefreshLoop* m_loop = nullptr;
    PeersModel* m_model = nullptr;
    QSortFilterProxyModel* m_sorted = nullptr;
    QTableView* m_table = nullptr;
    EmptyState* m_empty = nullptr;
};

} // namespace tevro
