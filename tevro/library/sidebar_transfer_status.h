#pragma once

// The block at the foot of the sidebar that sums up all transfers: the total
// download rate in its header, and unless folded away the upload rate, the
// connected peers, the data still to fetch, the network status (a place the
// window fills), the alternative speed limits switch and the settings entry.
// Whether it is folded and whether the settings show belong to the window
// model: the block shows what it is told and asks through its signals.

#include <vector>

#include <QPointer>
#include <QWidget>

#include "tevro/core/torrent_status.h"

class QAbstractButton;
class QLabel;
class QVariantAnimation;
class QVBoxLayout;

namespace tevro {

class TorrentEngine;

class SidebarTransferStatus : public QWidget {
    Q_OBJECT
public:
    // Without an engine the block takes the one of LibraryContext.
    explicit SidebarTransferStatus(TorrentEngine* engine = nullptr, QWidget* parent = nullptr);

    // Folding and unfolding slide over 0.18 s, or happen at once when the
    // user asks for reduced motion.
    void setCollapsed(bool collapsed);
    bool collapsed() const { return m_collapsed; }
    void setReduceMotion(bool reduce) { m_reduceMotion = reduce; }
    bool reduceMotion() const { return m_reduceMotion; }
    void setSettingsShown(bool shown);
    // The network status block, placed after the remaining row.
    void setNetworkStatus(QWidget* widget);

    // "—" below 1 byte per second, else the bytes and "/с".
    static QString rateText(std::int64_t bytesPerSecond);
    // What is still to download over all torrents; "—" or "+" while some
    // torrent waits for its metadata.
    static QString remainingText(const std::vector<TorrentStatus>& torrents);

signals:
    // The header was clicked: the window flips and stores the folded state.
    void toggleRequested();
    void settingsRequested();

private:
    void refresh();
    void fold();

    QPointer<TorrentEngine> m_engine;
    bool m_collapsed = false;
    bool m_settingsShown = false;
    bool m_reduceMotion = false;
    QVariantAnimation* m_folding;
    QAbstractButton* m_header;
    QWidget* m_details;
    QVBoxLayout* m_detailsLayout;
    QLabel* m_upload;
    QLabel* m_peers;
    QLabel* m_remaining;
    QWidget* m_networkSlot;
    QAbstractButton* m_altSpeed;
    QAbstractButton* m_settings;
};

} // namespace tevro
