#pragma once

// The trackers tab: "Обновить" (announce now), "Добавить…" (a sheet taking one
// address per line) and how many trackers work, over the table of trackers,
// refreshed every 3 s while shown.

#include <cstdint>

#include <QWidget>

class QLabel;
class QTableView;

namespace tevro {

class RefreshLoop;
class TorrentEngine;
class TrackersModel;

class TrackersView : public QWidget {
    Q_OBJECT
public:
    explicit TrackersView(TorrentEngine& engine, QWidget* parent = nullptr);

    void setTorrentID(const QString& id);
    QString torrentID() const { return m_torrentID; }
    TrackersModel* model() const { return m_model; }
    QString summary() const;

    void reannounce();
    // Opens the add sheet (window-modal); returns it for callers that drive it.
    class AddTrackersSheet* showAddSheet();
    // What the add sheet's "Добавить" does with its text.
    void addTrackers(const QString& text);

signals:
    void refreshed();

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void pass(std::uint64_t ticket);

    TorrentEngine& m_engine;
    QString m_torrentID;
    QString m_newTrackers;
    RefreshLoop* m_loop = nullptr;
    TrackersModel* m_model = nullptr;
    QTableView* m_table = nullptr;
    QLabel* m_summary = nullptr;
};

} // namespace tevro
