#include "tevro/torrent/detail_pane.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QStackedWidget>
#include <QToolButton>
#include <QVBoxLayout>

#include "tevro/library/library_style.h"
#include "tevro/library/symbols.h"
#include "tevro/torrent/files_view.h"
#include "tevro/torrent/info_view.h"
#include "tevro/torrent/peers_view.h"
#include "tevro/torrent/tab_button.h"
#include "tevro/torrent/trackers_view.h"

namespace tevro {

DetailPane::DetailPane(TorrentEngine& engine, bool closable, QWidget* parent)
    : QWidget(parent), m_engine(engine) {
    auto* v = new QVBoxLayout(this);
    v->setContentsMargins(0, 0, 0, 0);
    v->setSpacing(0);
    m_outer = new QStackedWidget;
    v->addWidget(m_outer);

    m_files = new FilesView(engine);
    m_files->setLeadingControls(makeTabs(m_filesTabs));
    m_files->setCloseAction(closable);
    connect(m_files, &FilesView::closeRequested, this, &DetailPane::closeRequested);
    m_outer->addWidget(m_files);

    auto* other = new QWidget;
    auto* ov = new QVBoxLayout(other);
    ov->setContentsMargins(0, 0, 0, 0);
    ov->setSpacing(0);
    auto* header = new QWidget;
    header->setFixedHeight(36);
    auto* hl = new QHBoxLayout(header);
    hl->setContentsMargins(12, 0, 12, 0);
    hl->setSpacing(12);
    hl->addWidget(makeTabs(m_headerTabs));
    hl->addStretch();
    if (closable) {
        auto* close = new QToolButton;
        close->setIcon(Symbols::icon("xmark", LibraryStyle::muted(), 14));
        close->setAutoRaise(true);
        close->setAccessibleName(QStringLiteral("Закрыть сведения"));
        close->setToolTip(QStringLiteral("Закрыть сведения"));
        connect(close, &QToolButton::clicked, this, &DetailPane::closeRequested);
        hl->addWidget(close);
    }
    ov->addWidget(header);
    auto* line = new QFrame;
    line->setFixedHeight(1);
    line->setAutoFillBackground(true);
    QPalette lp = line->palette();
    lp.setColor(QPalette::Window, LibraryStyle::line());
    line->setPalette(lp);
    ov->addWidget(line);
    m_inner = new QStackedWidget;
    m_info = new InfoView(engine);
    m_peers = new PeersView(engine);
    m_trackers = new TrackersView(engine);
    m_inner->addWidget(m_info);
    m_inner->addWidget(m_peers);
    m_inner->addWidget(m_trackers);
    ov->addWidget(m_inner, 1);
    m_outer->addWidget(other);
    setTab(Tab::files);
}

QString DetailPane::title(Tab tab) {
    switch (tab) {
    case Tab::files:
        return QStringLiteral("Файлы");
    case Tab::info:
        return QStringLiteral("Общее");
    case Tab::peers:
        return QStringLiteral("Пиры");
    case Tab::trackers:
        return QStringLiteral("Трекеры");
    }
    return {};
}

QWidget* DetailPane::makeTabs(std::array<TabButton*, 4>& buttons) {
    auto* strip = new QWidget;
    auto* h = new QHBoxLayout(strip);
    h->setContentsMargins(0, 0, 0, 0);
    h->setSpacing(12);
    for (std::size_t k = 0; k < kTabs.size(); ++k) {
        Tab tab = kTabs[k];
        buttons[k] = new TabButton(title(tab), 11, 32, 0);
        connect(buttons[k], &TabButton::clicked, this, [this, tab] { choose(tab); });
        h->addWidget(buttons[k]);
    }
    return strip;
}

void DetailPane::choose(Tab tab) {
    if (tab == m_tab)
        return;
    emit tabChosen(tab);
    if (!m_tabOwned)
        setTab(tab);
}

void DetailPane::setTab(Tab tab) {
    m_tab = tab;
    for (std::size_t k = 0; k < kTabs.size(); ++k) {
        m_filesTabs[k]->setCurrent(kTabs[k] == tab);
        m_headerTabs[k]->setCurrent(kTabs[k] == tab);
    }
    // Hidden tab views stop their refresh loops; the shown one starts its own.
    switch (tab) {
    case Tab::files:
        m_outer->setCurrentIndex(0);
        break;
    case Tab::info:
        m_inner->setCurrentWidget(m_info);
        break;
    case Tab::peers:
        m_inner->setCurrentWidget(m_peers);
        break;
    case Tab::trackers:
        m_inner->setCurrentWidget(m_trackers);
        break;
    }
    if (tab != Tab::files)
        m_outer->setCurrentIndex(1);
}

void DetailPane::setTorrentID(const QString& id) {
    m_torrentID = id;
    m_files->setTorrentID(id);
    m_info->setTorrentID(id);
    m_peers->setTorrentID(id);
    m_trackers->setTorrentID(id);
}

void DetailPane::setPlayer(PlayerModel* player) {
    m_files->setPlayer(player);
}

TabButton* DetailPane::tabButton(Tab tab) const {
    std::size_t k = static_cast<std::size_t>(tab);
    return m_tab == Tab::files ? m_filesTabs[k] : m_headerTabs[k];
}

} // namespace tevro
