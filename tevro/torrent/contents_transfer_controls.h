#pragma once

// The transfer section of the contents page: status and percentage, progress
// bar, sizes with speed and time left (or the checking metrics), and pause or
// resume, data check and the "Ещё" menu of whole-torrent actions.

#include <optional>

#include <QWidget>

#include "tevro/core/torrent_status.h"

class QAction;
class QLabel;
class QMenu;
class QPushButton;

namespace tevro {

class CheckingMetrics;
class TorrentEngine;
class TransferProgress;

class ContentsTransferControls : public QWidget {
    Q_OBJECT
public:
    explicit ContentsTransferControls(TorrentEngine& engine, QWidget* parent = nullptr);

    void setTorrent(const TorrentStatus& torrent);

    static double doneFraction(const TorrentStatus& t);
    static std::optional<double> timeLeft(const TorrentStatus& t);
    static bool resumable(const TorrentStatus& t);
    // "Сжатые 1 МБ из 2 МБ  ↓ 1 МБ/с  Осталось: 2 с"-style metrics row.
    static QString metricsText(const TorrentStatus& t);

    QPushButton* pauseButton() const { return m_pause; }
    QPushButton* checkButton() const { return m_check; }
    QMenu* actionsMenu() const;

signals:
    void limitsRequested();
    void moveRequested();
    void removeRequested();

private:
    TorrentEngine& m_engine;
    TorrentStatus m_torrent;
    QLabel* m_statusSymbol = nullptr;
    QLabel* m_status = nullptr;
    QLabel* m_percent = nullptr;
    TransferProgress* m_progress = nullptr;
    CheckingMetrics* m_checking = nullptr;
    QLabel* m_metrics = nullptr;
    QPushButton* m_pause = nullptr;
    QPushButton* m_check = nullptr;
    QPushButton* m_more = nullptr;
    QMenu* m_menu = nullptr;
    QAction* m_sequential = nullptr;
};

} // namespace tevro
