#include "tevro/torrent/files_view.h"

#include <algorithm>
#include <set>

#include <QContextMenuEvent>
#include <QFrame>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPointer>
#include <QShortcut>
#include <QStyle>
#include <QToolButton>
#include <QTreeView>
#include <QVBoxLayout>

#include "tevro/core/format.h"
#include "tevro/core/media_kind.h"
#include "tevro/engine/torrent_engine.h"
#include "tevro/library/library_style.h"
#include "tevro/library/symbols.h"
#include "tevro/media/file_tree.h"
#include "tevro/media/media_matcher.h"
#include "tevro/player/player_model.h"
#include "tevro/torrent/empty_state.h"
#include "tevro/torrent/file_row_delegate.h"
#include "tevro/torrent/file_tree_model.h"
#include "tevro/torrent/file_tree_view.h"
#include "tevro/torrent/popup_menu.h"
#include "tevro/torrent/priority_text.h"
#include "tevro/torrent/quick_select.h"
#include "tevro/torrent/refresh_loop.h"

namespace tevro {

namespace {

constexpr int kPassInterval = 2000;

QFrame* divider(int height) {
    auto* line = new QFrame;
    line->setFrameShape(QFrame::VLine);
    line->setFixedHeight(height);
    line->setForegroundRole(QPalette::Mid);
    return line;
}

QToolButton* toolButton(const QString& label, std::string_view symbol, QWidget* parent) {
    auto* b = new QToolButton(parent);
    b->setIcon(Symbols::icon(symbol, LibraryStyle::text(), 15));
    b->setText(label);
    b->setToolTip(label);
    b->setAccessibleName(label);
    b->setToolButtonStyle(Qt::ToolButtonIconOnly);
    b->setAutoRaise(true);
    return b;
}

bool isVideo(const TorrentFile& file) {
    return mediaKindForPath(file.path) == MediaKind::video;
}

} // namespace

FilesView::FilesView(TorrentEngine& engine, QWidget* parent) : QWidget(parent), m_engine(engine) {
    m_loop = new RefreshLoop(
        kPassInterval, [this](std::uint64_t t) { pass(t); }, this);

    auto* v = new QVBoxLayout(this);
    v->setContentsMargins(0, 0, 0, 0);
    v->setSpacing(0);

    m_toolbar = new QWidget;
    m_toolbar->setFixedHeight(36);
    QFont small = m_toolbar->font();
    small.setPixelSize(11);
    m_toolbar->setFont(small);
    auto* bar = new QHBoxLayout(m_toolbar);
    bar->setContentsMargins(12, 0, 12, 0);
    bar->setSpacing(8);
    m_leadingDivider = divider(16);
    m_leadingDivider->hide();
    bar->addWidget(m_leadingDivider);
    m_filter = new QLineEdit;
    m_filter->setPlaceholderText(QStringLiteral("Фильтр"));
    m_filter->setAccessibleName(QStringLiteral("Фильтр"));
    m_filter->setFixedWidth(170);
    m_filter->setClearButtonEnabled(true);
    connect(m_filter, &QLineEdit::textChanged, this, [this](const QString& text) {
        m_model->setFilter(text.toStdString());
        refreshToolbar();
    });
    bar->addWidget(m_filter);

    m_quick = toolButton(QStringLiteral("Выделить файлы"), "checklist", this);
    auto* quickMenu = new QMenu(m_quick);
    for (QuickSelect q : kAllQuickSelects)
        quickMenu->addAction(QString::fromStdString(title(q)), this,
                             [this, q] { setSelection(apply(q, selection(), tree())); });
    popUpOnClick(m_quick, quickMenu);
    bar->addWidget(m_quick);
    bar->addWidget(divider(18));

    m_want = toolButton(QStringLiteral("Скачивать"), "arrow.down.circle", this);
    connect(m_want, &QToolButton::clicked, this, [this] { setPriority(FilePriority::normal); });
    bar->addWidget(m_want);
    m_skip = toolButton(QStringLiteral("Не скачивать"), "xmark.circle", this);
    connect(m_skip, &QToolButton::clicked, this, [this] { setPriority(FilePriority::skip); });
    bar->addWidget(m_skip);
    m_priority = toolButton(QStringLiteral("Приоритет"), "arrow.up.arrow.down", this);
    auto* prioMenu = new QMenu(m_priority);
    for (FilePriority p : {FilePriority::high, FilePriority::normal, FilePriority::low})
        prioMenu->addAction(QString::fromStdString(priorityTitle(p)), this,
                            [this, p] { setPriority(p); });
    popUpOnClick(m_priority, prioMenu);
    bar->addWidget(m_priority);
    bar->addStretch(1);

    m_summary = new QLabel;
    m_summary->setForegroundRole(QPalette::PlaceholderText);
    m_summary->setAccessibleName(QStringLiteral("Выбрано"));
    m_summary->hide();
    bar->addWidget(m_summary);
    m_play = toolButton(QStringLiteral("Смотреть"), "play.rectangle.fill", this);
    connect(m_play, &QToolButton::clicked, this, [this] { playSelectedOrFirst(); });
    bar->addWidget(m_play);
    m_close = toolButton(QStringLiteral("Закрыть сведения"), "xmark", this);
    m_close->hide();
    connect(m_close, &QToolButton::clicked, this, &FilesView::closeRequested);
    bar->addWidget(m_close);
    v->addWidget(m_toolbar);

    auto* play = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_Return), this);
    play->setContext(Qt::WidgetWithChildrenShortcut);
    connect(play, &QShortcut::activated, this, [this] {
        if (m_play->isEnabled())
            playSelectedOrFirst();
    });

    m_model = new FileTreeModel(FileTreeModel::Layout::files, this);
    m_tree = new FileTreeView;
    m_tree->setAccessibleName(QStringLiteral("Файлы торрента"));
    m_tree->setFileModel(m_model);
    m_delegate = new FileRowDelegate(m_tree);
    m_tree->setItemDelegate(m_delegate);
    m_tree->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_tree->setUniformRowHeights(true);
    m_tree->setAllColumnsShowFocus(true);
    m_tree->setAlternatingRowColors(false);
    m_tree->setFrameShape(QFrame::NoFrame);
    m_tree->setTreePosition(FileTreeModel::nameColumn);
    m_tree->setContextMenuPolicy(Qt::DefaultContextMenu);
    m_tree->setExpandsOnDoubleClick(true);
    m_tree->header()->setStretchLastSection(false);
    m_tree->header()->setSectionResizeMode(QHeaderView::Fixed);
    m_tree->header()->setMinimumSectionSize(22);
    m_tree->installEventFilter(this);
    m_tree->viewport()->installEventFilter(this);
    connect(m_tree, &FileTreeView::checkClicked, this, [this](const QModelIndex& index) {
        if (const FileNode* node = m_model->node(index))
            toggle(*node);
    });
    connect(m_tree, &QTreeView::clicked, this, [this](const QModelIndex& index) {
        if (index.column() == FileTreeModel::priorityColumn)
            priorityMenu(index);
    });
    connect(m_tree, &QTreeView::doubleClicked, this, [this](const QModelIndex& index) {
        if (index.column() == FileTreeModel::checkColumn ||
            index.column() == FileTreeModel::priorityColumn)
            return;
        activate({index.data(FileTreeModel::NodeIdRole).toString().toStdString()});
    });
    connect(m_tree, &FileTreeView::selectedIdsChanged, this, [this] { refreshToolbar(); });
    // A new shape of the tree (the view keeps its selection and expansion).
    connect(m_model, &QAbstractItemModel::modelReset, this, [this] {
        m_hasVideo = !MediaMatcher::videos(files()).empty();
        refreshToolbar();
    });
    v->addWidget(m_tree, 1);
    m_placeholder =
        new EmptyState(QStringLiteral("Ожидание метаданных"), {}, "hourglass", m_tree->viewport());
    layoutColumns();
    refreshToolbar();
}

void FilesView::setTorrentID(const QString& id) {
    if (id == m_torrentID)
        return;
    m_torrentID = id;
    // Nothing of the previous torrent stays; the filter text does.
    m_tree->forgetStateOnReset();
    m_model->clear();
    m_delegate->setPieceMap({});
    m_loaded = false;
    refreshPlaceholder();
    refreshToolbar();
    if (isVisible())
        m_loop->start();
}

void FilesView::setLeadingControls(QWidget* controls) {
    if (m_leading) {
        m_leading->hide();
        m_leading->setParent(nullptr);
    }
    m_leading = controls;
    auto* bar = static_cast<QHBoxLayout*>(m_toolbar->layout());
    if (controls) {
        bar->insertWidget(0, controls);
        controls->show();
    }
    m_leadingDivider->setVisible(controls != nullptr);
    m_filter->setFixedWidth(controls ? 95 : 170);
    refreshToolbar();
}

void FilesView::setCloseAction(bool shown) {
    m_close->setVisible(shown);
}

const std::vector<TorrentFile>& FilesView::files() const {
    return m_model->files();
}

const PieceMap& FilesView::pieceMap() const {
    return m_delegate->pieceMap();
}

QString FilesView::query() const {
    return m_filter->text();
}

void FilesView::setQuery(const QString& text) {
    m_filter->setText(text);
}

QTreeView* FilesView::treeView() const {
    return m_tree;
}

std::unordered_set<std::string> FilesView::selection() const {
    return m_tree->selectedIds();
}

void FilesView::setSelection(const std::unordered_set<std::string>& ids) {
    m_tree->setSelectedIds(ids);
}

std::vector<FileNode> FilesView::tree() const {
    return m_model->tree();
}

std::vector<std::int64_t> FilesView::selectedIndices() const {
    std::set<std::int64_t> all;
    for (const FileNode& n : FileTree::find(selection(), tree()))
        all.insert(n.indices.begin(), n.indices.end());
    return {all.begin(), all.end()};
}

std::optional<TorrentFile> FilesView::selectedVideo() const {
    auto indices = selectedIndices();
    for (const TorrentFile& f : MediaMatcher::videos(files()))
        if (std::ranges::binary_search(indices, f.i))
            return f;
    return std::nullopt;
}

QString FilesView::selectionSummary() const {
    auto indices = selectedIndices();
    std::int64_t total = 0;
    for (const TorrentFile& f : files())
        if (std::ranges::binary_search(indices, f.i))
            total += f.size;
    return QString::number(indices.size()) + QStringLiteral(" · ") +
           QString::fromStdString(Format::bytes(std::max<std::int64_t>(0, total)));
}

void FilesView::setIndicesPriority(const std::vector<std::int64_t>& indices,
                                   FilePriority priority) {
    std::vector<int> list(indices.begin(), indices.end());
    m_engine.setPriority(m_torrentID.toStdString(), list, priority);
    refreshSoon();
}

void FilesView::setPriority(FilePriority priority) {
    setIndicesPriority(selectedIndices(), priority);
}

void FilesView::toggle(const FileNode& node) {
    std::vector<std::int64_t> indices = node.indices;
    setIndicesPriority(indices,
                       node.check() == CheckState::off ? FilePriority::normal : FilePriority::skip);
}

void FilesView::refreshSoon() {
    QPointer<FilesView> self(this);
    QString id = m_torrentID;
    QTimer::singleShot(120, this, [self, id] {
        if (!self || self->m_torrentID != id)
            return;
        self->m_engine.files(id.toStdString(), [self, id](std::vector<TorrentFile> files) {
            if (self && self->m_torrentID == id && self->isVisible())
                self->storeFiles(std::move(files));
        });
    });
}

void FilesView::pass(std::uint64_t ticket) {
    QPointer<FilesView> self(this);
    std::string id = m_torrentID.toStdString();
    m_engine.files(id, [self, ticket, id](std::vector<TorrentFile> files) {
        if (!self || !self->m_loop->isCurrent(ticket))
            return;
        self->m_engine.pieceMap(id, [self, ticket, files = std::move(files)](PieceMap map) mutable {
            if (!self || !self->m_loop->isCurrent(ticket))
                return;
            self->storeFiles(std::move(files));
            self->m_delegate->setPieceMap(std::move(map));
            self->m_tree->viewport()->update();
            self->m_loaded = true;
            self->refreshPlaceholder();
            self->m_loop->passDone(ticket);
            emit self->refreshed();
        });
    });
}

void FilesView::storeFiles(std::vector<TorrentFile> files) {
    // A new shape resets the model, whose handler redoes the toolbar; rows
    // changed in place change nothing the toolbar shows.
    m_model->setFiles(std::move(files), m_filter->text().toStdString());
    refreshPlaceholder();
}

void FilesView::refreshPlaceholder() {
    m_placeholder->setVisible(m_loaded && files().empty());
}

void FilesView::refreshToolbar() {
    bool any = !selection().empty();
    m_want->setEnabled(any);
    m_skip->setEnabled(any);
    m_priority->setEnabled(any);
    m_summary->setVisible(!m_leading && any);
    if (m_summary->isVisible())
        m_summary->setText(selectionSummary());
    m_play->setEnabled(m_hasVideo);
}

void FilesView::play(const TorrentFile& file) {
    emit playRequested(m_torrentID, file);
    if (m_player)
        m_player->open(m_torrentID.toStdString(), file);
    // The window comes up at once and fills when the player has opened the file.
    emit playerWindowRequested();
}

void FilesView::playSelectedOrFirst() {
    if (auto video = selectedVideo())
        return play(*video);
    auto videos = MediaMatcher::videos(files());
    if (!videos.empty())
        play(videos.front());
}

void FilesView::activate(const std::unordered_set<std::string>& ids) {
    for (const FileNode& n : FileTree::find(ids, tree())) {
        if (n.isFolder())
            continue;
        if (!n.file)
            return;
        if (isVideo(*n.file))
            play(*n.file);
        else
            m_engine.reveal(m_torrentID.toStdString(), n.file);
        return;
    }
}

QMenu* FilesView::menu(const std::unordered_set<std::string>& ids) {
    auto target = ids.empty() ? selection() : ids;
    auto nodes = FileTree::find(target, tree());
    std::set<std::int64_t> all;
    for (const FileNode& n : nodes)
        all.insert(n.indices.begin(), n.indices.end());
    std::vector<std::int64_t> indices(all.begin(), all.end());

    auto* m = new QMenu(this);
    if (nodes.size() == 1 && !nodes[0].isFolder() && nodes[0].file && isVideo(*nodes[0].file)) {
        TorrentFile file = *nodes[0].file;
        m->addAction(QStringLiteral("Смотреть"), this, [this, file] { play(file); });
        m->addSeparator();
    }
    m->addAction(QStringLiteral("Скачивать"), this,
                 [this, indices] { setIndicesPriority(indices, FilePriority::normal); });
    m->addAction(QStringLiteral("Не скачивать"), this,
                 [this, indices] { setIndicesPriority(indices, FilePriority::skip); });
    QMenu* prio = m->addMenu(QStringLiteral("Приоритет"));
    for (FilePriority p : {FilePriority::high, FilePriority::normal, FilePriority::low})
        prio->addAction(QString::fromStdString(priorityTitle(p)), this,
                        [this, indices, p] { setIndicesPriority(indices, p); });
    m->addSeparator();
    if (nodes.size() == 1) {
        std::optional<TorrentFile> file = nodes[0].file;
        if (!file) {
            std::set<std::int64_t> below(nodes[0].indices.begin(), nodes[0].indices.end());
            for (const TorrentFile& f : files())
                if (below.contains(f.i)) {
                    file = f;
                    break;
                }
        }
        m->addAction(QStringLiteral("Показать в папке"), this,
                     [this, file] { m_engine.reveal(m_torrentID.toStdString(), file); });
    }
    return m;
}

void FilesView::priorityMenu(const QModelIndex& index) {
    const FileNode* node = m_model->node(index);
    if (!node)
        return;
    std::vector<std::int64_t> indices = node->indices;
    // Its child: gone with the view if the view goes while it is open.
    auto* m = new QMenu(this);
    m->setAttribute(Qt::WA_DeleteOnClose);
    for (FilePriority p :
         {FilePriority::skip, FilePriority::low, FilePriority::normal, FilePriority::high})
        m->addAction(QString::fromStdString(priorityTitle(p)), this,
                     [this, indices, p] { setIndicesPriority(indices, p); });
    QRect cell = m_tree->visualRect(index);
    m->popup(m_tree->viewport()->mapToGlobal(cell.bottomLeft()));
}

void FilesView::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (!m_loop->running())
        m_loop->start();
}

void FilesView::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    m_loop->stop();
}

void FilesView::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    layoutColumns();
}

void FilesView::layoutColumns() {
    // Fixed widths but the name's, which takes what is left (never below 160).
    const int check = 26, size = 75, progress = 120, priority = 112;
    int w = m_tree->viewport()->width();
    m_tree->setColumnWidth(FileTreeModel::checkColumn, check);
    m_tree->setColumnWidth(FileTreeModel::nameColumn,
                           std::max(160, w - check - size - progress - priority));
    m_tree->setColumnWidth(FileTreeModel::sizeColumn, size);
    m_tree->setColumnWidth(FileTreeModel::progressColumn, progress);
    m_tree->setColumnWidth(FileTreeModel::priorityColumn, priority);
}

bool FilesView::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_tree && event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Space && key->modifiers() == Qt::NoModifier) {
            auto ids = selection();
            if (ids.empty())
                return false;
            bool anyOn = false;
            for (const FileNode& n : FileTree::find(ids, tree()))
                anyOn = anyOn || n.check() != CheckState::off;
            setPriority(anyOn ? FilePriority::skip : FilePriority::normal);
            return true;
        }
    }
    if (watched == m_tree->viewport() && event->type() == QEvent::Resize)
        layoutColumns();
    if (watched == m_tree->viewport() && event->type() == QEvent::ContextMenu) {
        auto* e = static_cast<QContextMenuEvent*>(event);
        QModelIndex index = m_tree->indexAt(e->pos());
        std::unordered_set<std::string> ids;
        if (index.isValid()) {
            std::string id = index.data(FileTreeModel::NodeIdRole).toString().toStdString();
            auto selected = selection();
            ids = selected.contains(id) ? selected : std::unordered_set<std::string>{id};
        }
        QMenu* m = menu(ids);
        m->setAttribute(Qt::WA_DeleteOnClose);
        m->popup(e->globalPos());
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace tevro
