#include "tevro/torrent/peers_view.h"

#include <QHeaderView>
#include <QPointer>
#include <QSortFilterProxyModel>
#include <QTableView>
#include <QVBoxLayout>

#include "tevro/engine/torrent_engine.h"
#include "tevro/torrent/empty_state.h"
#include "tevro/torrent/peers_model.h"
#include "tevro/torrent/refresh_loop.h"

namespace tevro {

PeersView::PeersView(TorrentEngine& engine, QWidget* parent) : QWidget(parent), m_engine(engine) {
    m_loop = new RefreshLoop(
        2000, [this](std::uint64_t t) { pass(t); }, this);
    auto* v = new QVBoxLayout(this);
    v->setContentsMargins(0, 0, 0, 0);
    m_model = new PeersModel(this);
    m_sorted = new QSortFilterProxyModel(this);
    m_sorted->setSourceModel(m_model);
    m_sorted->setSortRole(PeersModel::SortRole);
    m_sorted->setDynamicSortFilter(true);
    m_sorted->setSortLocaleAware(false);
    m_table = new QTableView;
    m_table->setAccessibleName(QStringLiteral("Пиры"));
    m_table->setModel(m_sorted);
    m_table->setSortingEnabled(true);
    m_table->sortByColumn(PeersModel::downloadColumn, Qt::DescendingOrder);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setShowGrid(false);
    // One line per cell: a wrapped address or client would be cut after its first line.
    m_table->setWordWrap(false);
    m_table->setFrameShape(QFrame::NoFrame);
    m_table->verticalHeader()->hide();
    m_table->verticalHeader()->setDefaultSectionSize(22);
    m_table->horizontalHeader()->setHighlightSections(false);
    const int ideal[] = {190, 150, 80, 90, 70, 90, 90};
    const int minimum[] = {140, 100, 50, 60, 60, 70, 70};
    m_table->horizontalHeader()->setMinimumSectionSize(50);
    for (int c = 0; c < PeersModel::columnCount_; ++c)
        m_table->setColumnWidth(c, std::max(ideal[c], minimum[c]));
    m_table->horizontalHeader()->setStretchLastSection(true);
    v->addWidget(m_table);
    m_empty = new EmptyState(QStringLiteral("Нет подключений"), {}, "person.2.slash",
                             m_table->viewport());
    m_empty->show();
}

void PeersView::setTorrentID(const QString& id) {
    if (id == m_torrentID)
        return;
    m_torrentID = id;
    m_model->setPeers({});
    m_empty->show();
    if (isVisible())
        m_loop->start();
}

void PeersView::pass(std::uint64_t ticket) {
    QPointer<PeersView> self(this);
    m_engine.peers(m_torrentID.toStdString(), [self, ticket](std::vector<PeerInfo> peers) {
        if (!self || !self->m_loop->isCurrent(ticket))
            return;
        self->m_model->setPeers(std::move(peers));
        self->m_empty->setVisible(self->m_model->rowCount() == 0);
        self->m_loop->passDone(ticket);
        emit self->refreshed();
    });
}

void PeersView::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (!m_loop->running())
        m_loop->start();
}

void PeersView::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    m_loop->stop();
}

} // namespace tevro
