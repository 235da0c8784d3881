#include "tevro/torrent/trackers_view.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPainter>
#include <QPointer>
#include <QPushButton>
#include <QStyle>
#include <QStyledItemDelegate>
#include <QTableView>
#include <QVBoxLayout>

#include "tevro/bridge/torrent_bridge.h"
#include "tevro/engine/torrent_engine.h"
#include "tevro/library/library_button_style.h"
#include "tevro/torrent/add_trackers_sheet.h"
#include "tevro/torrent/refresh_loop.h"
#include "tevro/torrent/trackers_model.h"

namespace tevro {

namespace {

// The status cell: a coloured dot, then the status text.
class StatusDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        QStyleOptionViewItem opt = option;
        initStyleOption(&opt, index);
        QString text = opt.text;
        opt.text.clear();
        opt.widget->style()->drawControl(QStyle::CE_ItemViewItem, &opt, painter, opt.widget);
        painter->save();
        painter->setRenderHint(QPainter::Antialiasing);
        painter->setPen(Qt::NoPen);
        painter->setBrush(index.data(TrackersModel::StatusColorRole).value<QColor>());
        QRect dot(opt.rect.left() + 6, opt.rect.center().y() - 3, 7, 7);
        painter->drawEllipse(dot);
        painter->setPen(opt.palette.color(QPalette::Text));
        QRect r = opt.rect.adjusted(dot.right() - opt.rect.left() + 5, 0, -2, 0);
        painter->drawText(r, Qt::AlignVCenter | Qt::AlignLeft,
                          opt.fontMetrics.elidedText(text, Qt::ElideRight, r.width()));
        painter->restore();
    }
};

} // namespace

TrackersView::TrackersView(TorrentEngine& engine, QWidget* parent)
    : QWidget(parent), m_engine(engine) {
    m_loop = new RefreshLoop(
        3000, [this](std::uint64_t t) { pass(t); }, this);
    auto* v = new QVBoxLayout(this);
    v->setContentsMargins(0, 0, 0, 0);
    v->setSpacing(0);
    auto* header = new QHBoxLayout;
    header->setContentsMargins(10, 6, 10, 6);
    header->setSpacing(8);
    auto* refresh = new QPushButton(QStringLiteral("Обновить"));
    LibraryButtonStyle::apply(refresh, false);
    LibraryButtonStyle::setSymbol(refresh, "arrow.clockwise");
    connect(refresh, &QPushButton::clicked, this, [this] { reannounce(); });
    header->addWidget(refresh);
    auto* add = new QPushButton(QStringLiteral("Добавить…"));
    LibraryButtonStyle::apply(add, false);
    LibraryButtonStyle::setSymbol(add, "plus");
    connect(add, &QPushButton::clicked, this, [this] { showAddSheet(); });
    header->addWidget(add);
    header->addStretch();
    m_summary = new QLabel;
    m_summary->setForegroundRole(QPalette::PlaceholderText);
    header->addWidget(m_summary);
    v->addLayout(header);

    m_model = new TrackersModel(this);
    m_table = new QTableView;
    m_table->setAccessibleName(QStringLiteral("Трекеры"));
    m_table->setModel(m_model);
    m_table->setItemDelegateForColumn(TrackersModel::statusColumn, new StatusDelegate(m_table));
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setShowGrid(false);
    m_table->setFrameShape(QFrame::NoFrame);
    // One line per cell: a wrapped address would be cut after its first line.
    m_table->setWordWrap(false);
    m_table->setTextElideMode(Qt::ElideMiddle);
    m_table->verticalHeader()->hide();
    m_table->verticalHeader()->setDefaultSectionSize(22);
    const int ideal[] = {360, 200, 50, 50, 60, 80};
    m_table->horizontalHeader()->setMinimumSectionSize(40);
    for (int c = 0; c < TrackersModel::columnCount_; ++c)
        m_table->setColumnWidth(c, ideal[c]);
    m_table->horizontalHeader()->setStretchLastSection(true);
    v->addWidget(m_table);
    m_summary->setText(summary());
}

void TrackersView::setTorrentID(const QString& id) {
    if (id == m_torrentID)
        return;
    m_torrentID = id;
    m_model->setTrackers({});
    m_summary->setText(summary());
    if (isVisible())
        m_loop->start();
}

QString TrackersView::summary() const {
    return m_model->summary();
}

void TrackersView::reannounce() {
    m_engine.action("reannounce", {m_torrentID.toStdString()});
}

AddTrackersSheet* TrackersView::showAddSheet() {
    auto* sheet = new AddTrackersSheet(m_newTrackers, this);
    sheet->setAttribute(Qt::WA_DeleteOnClose);
    connect(sheet, &AddTrackersSheet::addRequested, this, [this](const QString& text) {
        addTrackers(text);
        m_newTrackers.clear();
    });
    // Cancelling keeps the typed text for the next opening.
    connect(sheet, &QDialog::rejected, this, [this, sheet] { m_newTrackers = sheet->text(); });
    sheet->open();
    return sheet;
}

void TrackersView::addTrackers(const QString& text) {
    tb_add_trackers(m_engine.session(), m_torrentID.toUtf8().constData(),
                    text.toUtf8().constData());
}

void TrackersView::pass(std::uint64_t ticket) {
    QPointer<TrackersView> self(this);
    m_engine.trackers(m_torrentID.toStdString(), [self, ticket](std::vector<TrackerInfo> list) {
        if (!self || !self->m_loop->isCurrent(ticket))
            return;
        self->m_model->setTrackers(std::move(list));
        self->m_summary->setText(self->summary());
        self->m_loop->passDone(ticket);
        emit self->refreshed();
    });
}

void TrackersView::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (!m_loop->running())
        m_loop->start();
}

void TrackersView::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    m_loop->stop();
}

} // namespace tevro
