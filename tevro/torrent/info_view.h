#pragma once

// The "Общее" tab: a torrent's piece map, its figures (sizes, rates, ratio,
// swarm, limits, dates), where it lives, and the sequential switch, limits
// and show-in-folder controls. Figures follow the engine's published status;
// the piece map refreshes every 2 s while the tab is shown.

#include <cstdint>
#include <vector>

#include <QWidget>

#include "tevro/core/piece_map.h"
#include "tevro/core/torrent_status.h"

class QCheckBox;
class QGridLayout;
class QLabel;
class QVBoxLayout;

namespace tevro {

class PiecesBar;
class SelectableElidedLabel;
class PiecesLegend;
class RefreshLoop;
class TorrentEngine;
class TransferProgress;

class InfoView : public QWidget {
    Q_OBJECT
public:
    explicit InfoView(TorrentEngine& engine, QWidget* parent = nullptr);

    void setTorrentID(const QString& id);
    QString torrentID() const { return m_torrentID; }
    const PieceMap& map() const { return m_map; }

    // The value shown under a label ("Рейтинг" gives "1.50"); empty when the label is not shown.
    QString value(const QString& label) const;
    // The rows of facts for a status, each a list of (label, value).
    static std::vector<std::vector<std::pair<QString, QString>>> facts(const TorrentStatus& t);
    static std::vector<std::pair<QString, QString>> location(const TorrentStatus& t);

    // Opens the limits sheet for this torrent.
    class LimitsSheet* showLimits();

signals:
    void refreshed();

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void pass(std::uint64_t ticket);
    void refresh();

    TorrentEngine& m_engine;
    QString m_torrentID;
    PieceMap m_map;
    RefreshLoop* m_loop = nullptr;
    QWidget* m_content = nullptr;
    TransferProgress* m_progress = nullptr;
    PiecesBar* m_bar = nullptr;
    PiecesLegend* m_legend = nullptr;
    QGridLayout* m_facts = nullptr;
    QGridLayout* m_location = nullptr;
    struct Fact {
        QWidget* cell = nullptr;
        QLabel* label = nullptr;
        QLabel* value = nullptr;
    };
    std::vector<Fact> m_factCells;
    SelectableElidedLabel* m_folder = nullptr;
    QLabel* m_hash = nullptr;
    QLabel* m_trackerLabel = nullptr;
    SelectableElidedLabel* m_tracker = nullptr;
    QLabel* m_errorLabel = nullptr;
    QLabel* m_error = nullptr;
    QCheckBox* m_sequential = nullptr;
    std::vector<std::pair<QString, QString>> m_shown;
};

} // namespace tevro
