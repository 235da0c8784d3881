#include "tevro/torrent/add_torrent_sheet.h"

#include <thread>

#include <QCheckBox>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QStackedWidget>
#include <QStyle>
#include <QTreeView>
#include <QVBoxLayout>

#include "tevro/core/format.h"
#include "tevro/core/media_kind.h"
#include "tevro/engine/torrent_engine.h"
#include "tevro/library/library_button_style.h"
#include "tevro/media/file_tree.h"
#include "tevro/torrent/clamped_label.h"
#include "tevro/torrent/elided_label.h"
#include "tevro/torrent/file_row_delegate.h"
#include "tevro/torrent/file_tree_model.h"
#include "tevro/torrent/file_tree_view.h"
#include "tevro/torrent/quick_select.h"
#include "tevro/torrent/save_path_check.h"
#include "tevro/torrent/sheet_parts.h"

namespace tevro {

AddTorrentSheet::AddTorrentSheet(TorrentEngine& engine, std::filesystem::path url, QWidget* parent)
    : QDialog(parent), m_engine(engine), m_url(std::move(url)) {
    setWindowModality(Qt::WindowModal);
    setWindowTitle(QStringLiteral("Добавить торрент"));
    setFixedSize(720, 560);

    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(18, 18, 18, 18);
    m_stack = new QStackedWidget(this);
    outer->addWidget(m_stack);

    // Loading.
    auto* loading = new QWidget;
    auto* loadingLayout = new QVBoxLayout(loading);
    auto* spinner = new QProgressBar;
    spinner->setRange(0, 0);
    spinner->setMaximumWidth(200);
    spinner->setAccessibleName(QStringLiteral("Чтение торрента"));
    loadingLayout->addWidget(spinner, 0, Qt::AlignCenter);
    m_stack->addWidget(loading);

    // Unreadable.
    auto* unreadable = new QWidget;
    auto* u = new QVBoxLayout(unreadable);
    u->addStretch();
    auto* icon = new QLabel;
    icon->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxWarning).pixmap(40, 40));
    u->addWidget(icon, 0, Qt::AlignHCenter);
    auto* heading = new QLabel(QStringLiteral("Не удалось открыть торрент"));
    QFont hf = heading->font();
    hf.setPixelSize(17);
    hf.setBold(true);
    heading->setFont(hf);
    u->addWidget(heading, 0, Qt::AlignHCenter);
    m_unreadableText = new QLabel;
    m_unreadableText->setWordWrap(true);
    m_unreadableText->setAlignment(Qt::AlignHCenter);
    m_unreadableText->setForegroundRole(QPalette::PlaceholderText);
    u->addWidget(m_unreadableText);
    u->addStretch();
    auto* closeRow = new QHBoxLayout;
    closeRow->addStretch();
    auto* close = new QPushButton(QStringLiteral("Закрыть"));
    LibraryButtonStyle::apply(close, false);
    connect(close, &QPushButton::clicked, this, &QDialog::reject);
    closeRow->addWidget(close);
    u->addLayout(closeRow);
    m_stack->addWidget(unreadable);

    m_stack->addWidget(buildReady());
}

QWidget* AddTorrentSheet::buildReady() {
    auto* ready = new QWidget;
    auto* v = new QVBoxLayout(ready);
    v->setContentsMargins(0, 0, 0, 0);
    v->setSpacing(12);

    auto* header = new QHBoxLayout;
    m_title = new ClampedLabel(2);
    SheetParts::makeTitle(m_title);
    header->addWidget(m_title, 1);
    m_lock = new QLabel(QStringLiteral("🔒"));
    m_lock->setToolTip(QStringLiteral("Приватный"));
    m_lock->setAccessibleName(QStringLiteral("Приватный"));
    m_lock->setForegroundRole(QPalette::PlaceholderText);
    m_lock->hide();
    header->addWidget(m_lock);
    header->addStretch();
    m_sizeText = new QLabel;
    m_sizeText->setForegroundRole(QPalette::PlaceholderText);
    header->addWidget(m_sizeText);
    v->addLayout(header);

    auto* controls = new QHBoxLayout;
    m_filter = new QLineEdit;
    m_filter->setPlaceholderText(QStringLiteral("Фильтр"));
    m_filter->setAccessibleName(QStringLiteral("Фильтр"));
    m_filter->setMaximumWidth(200);
    connect(m_filter, &QLineEdit::textChanged, this, [this] { refreshTree(); });
    controls->addWidget(m_filter);
    auto* pick = new QPushButton(QStringLiteral("Выделить"));
    LibraryButtonStyle::apply(pick, false);
    auto* menu = new QMenu(pick);
    for (QuickSelect q : kAllQuickSelects)
        menu->addAction(QString::fromStdString(title(q)), this,
                        [this, q] { setSelection(apply(q, selection(), tree())); });
    pick->setMenu(menu);
    controls->addWidget(pick);
    m_wantButton = new QPushButton(QStringLiteral("Скачивать"));
    LibraryButtonStyle::apply(m_wantButton, false);
    connect(m_wantButton, &QPushButton::clicked, this, [this] { set(selection(), tree(), true); });
    controls->addWidget(m_wantButton);
    m_skipButton = new QPushButton(QStringLiteral("Не скачивать"));
    LibraryButtonStyle::apply(m_skipButton, false);
    connect(m_skipButton, &QPushButton::clicked, this, [this] { set(selection(), tree(), false); });
    controls->addWidget(m_skipButton);
    controls->addStretch();
    auto* video = new QPushButton(QStringLiteral("Только видео"));
    LibraryButtonStyle::apply(video, false);
    connect(video, &QPushButton::clicked, this, [this] { onlyVideo(); });
    controls->addWidget(video);
    v->addLayout(controls);

    m_model = new FileTreeModel(FileTreeModel::Layout::add, this);
    m_tree = new FileTreeView;
    m_tree->setAccessibleName(QStringLiteral("Файлы торрента"));
    m_tree->setFileModel(m_model);
    m_tree->setItemDelegate(new FileRowDelegate(m_tree));
    m_tree->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_tree->setUniformRowHeights(true);
    m_tree->setAllColumnsShowFocus(true);
    m_tree->setTreePosition(FileTreeModel::nameColumn);
    m_tree->header()->setStretchLastSection(false);
    m_tree->header()->setSectionResizeMode(FileTreeModel::checkColumn, QHeaderView::Fixed);
    m_tree->header()->setSectionResizeMode(FileTreeModel::nameColumn, QHeaderView::Stretch);
    m_tree->header()->setSectionResizeMode(FileTreeModel::sizeColumn, QHeaderView::Interactive);
    m_tree->header()->setMinimumSectionSize(22);
    m_tree->setColumnWidth(FileTreeModel::checkColumn, 26);
    m_tree->setColumnWidth(FileTreeModel::sizeColumn, 90);
    m_tree->installEventFilter(this);
    connect(m_tree, &FileTreeView::checkClicked, this,
            [this](const QModelIndex& index) { toggle(index); });
    connect(m_tree, &FileTreeView::selectedIdsChanged, this, [this] { refreshState(); });
    v->addWidget(m_tree, 1);

    auto* folder = new QHBoxLayout;
    auto* folderTitle = new QLabel(QStringLiteral("Папка"));
    folderTitle->setForegroundRole(QPalette::PlaceholderText);
    folder->addWidget(folderTitle);
    m_pathLabel = new ElidedLabel;
    folder->addWidget(m_pathLabel, 1);
    auto* change = new QPushButton(QStringLiteral("Изменить…"));
    LibraryButtonStyle::apply(change, false);
    connect(change, &QPushButton::clicked, this, [this] { choosePath(); });
    folder->addWidget(change);
    v->addLayout(folder);

    auto* bottom = new QHBoxLayout;
    m_startNow = new QCheckBox(QStringLiteral("Начать загрузку"));
    m_startNow->setChecked(true);
    bottom->addWidget(m_startNow);
    m_sequential = new QCheckBox(QStringLiteral("Последовательно"));
    bottom->addWidget(m_sequential);
    bottom->addStretch();
    m_error = SheetParts::errorLabel();
    m_error->setMaximumWidth(260);
    bottom->addWidget(m_error);
    m_addButton = SheetParts::addButtons(bottom, this, QStringLiteral("Добавить"));
    connect(m_addButton, &QPushButton::clicked, this, [this] { add(); });
    v->addLayout(bottom);
    return ready;
}

void AddTorrentSheet::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!m_started)
        startLoading();
}

void AddTorrentSheet::startLoading() {
    m_started = true;
    setSavePath(QString::fromStdString(m_engine.settings().downloadDirectory));
    m_startNow->setChecked(!m_engine.settings().addPaused);
    // Reading and parsing a large file stays off the main thread.
    QPointer<AddTorrentSheet> self(this);
    TorrentEngine* engine = &m_engine;
    std::thread([self, engine, url = m_url] {
        TorrentPreview preview = engine->preview(url);
        QMetaObject::invokeMethod(
            qApp,
            [self, preview = std::move(preview)]() mutable {
                if (self)
                    self->showPreview(std::move(preview));
            },
            Qt::QueuedConnection);
    }).detach();
}

void AddTorrentSheet::showPreview(TorrentPreview preview) {
    m_preview = std::move(preview);
    if (m_preview->error) {
        m_unreadableText->setText(QString::fromStdString(*m_preview->error));
        m_stack->setCurrentIndex(1);
    } else {
        QString name = m_preview->name ? QString::fromStdString(*m_preview->name)
                                       : QString::fromStdString(m_url.filename().string());
        m_title->setText(name);
        m_lock->setVisible(m_preview->isPrivate.value_or(false));
        refreshTree();
        m_stack->setCurrentIndex(2);
        m_tree->setFocus();
    }
    emit loaded();
}

std::vector<TorrentFile> AddTorrentSheet::files() const {
    std::vector<TorrentFile> out;
    if (!m_preview || !m_preview->files)
        return out;
    out.reserve(m_preview->files->size());
    for (const TorrentPreview::File& f : *m_preview->files) {
        TorrentFile t;
        t.i = f.i;
        t.path = f.path;
        t.size = f.size;
        t.pad = f.pad;
        t.done = 0;
        t.first = 0;
        t.last = 0;
        auto it = m_wanted.find(f.i);
        t.prio = (it == m_wanted.end() || it->second) ? 4 : 0;
        out.push_back(std::move(t));
    }
    return out;
}

std::int64_t AddTorrentSheet::selectedSize() const {
    std::int64_t sum = 0;
    for (const TorrentFile& f : files())
        if (!f.pad && f.prio > 0)
            sum += f.size;
    return sum;
}

std::vector<FileNode> AddTorrentSheet::tree() const {
    return m_model->tree();
}

QTreeView* AddTorrentSheet::treeView() const {
    return m_tree;
}

std::unordered_set<std::string> AddTorrentSheet::selection() const {
    return m_tree->selectedIds();
}

void AddTorrentSheet::setSelection(const std::unordered_set<std::string>& ids) {
    m_tree->setSelectedIds(ids);
}

void AddTorrentSheet::set(const std::unordered_set<std::string>& ids,
                          const std::vector<FileNode>& roots, bool on) {
    for (const FileNode& node : FileTree::find(ids, roots))
        for (std::int64_t i : node.indices)
            m_wanted[i] = on;
    refreshTree();
}

void AddTorrentSheet::toggle(const QModelIndex& index) {
    const FileNode* node = m_model->node(index);
    if (!node)
        return;
    bool on = node->check() == CheckState::off;
    std::vector<std::int64_t> indices = node->indices;
    for (std::int64_t i : indices)
        m_wanted[i] = on;
    refreshTree();
}

void AddTorrentSheet::onlyVideo() {
    for (const TorrentFile& f : files())
        m_wanted[f.i] = mediaKindForPath(f.path) == MediaKind::video;
    refreshTree();
}

void AddTorrentSheet::refreshTree() {
    m_model->setFiles(files(), m_filter->text().toStdString());
    refreshState();
}

void AddTorrentSheet::refreshState() {
    if (!m_preview)
        return;
    m_sizeText->setText(QString::fromStdString(
        Format::bytes(std::max<std::int64_t>(0, selectedSize())) + " из " +
        Format::bytes(std::max<std::int64_t>(0, m_preview->size.value_or(0)))));
    bool any = !selection().empty();
    m_wantButton->setEnabled(any);
    m_skipButton->setEnabled(any);
    m_addButton->setEnabled(!m_adding && !(selectedSize() == 0 && !files().empty()));
}

void AddTorrentSheet::setSavePath(const QString& path) {
    m_savePath = path;
    m_pathLabel->setText(path);
}

void AddTorrentSheet::choosePath() {
    QString chosen = QFileDialog::getExistingDirectory(this, QString(), m_savePath);
    if (!chosen.isEmpty())
        setSavePath(chosen);
}

QString AddTorrentSheet::errorText() const {
    return m_error->isVisible() || !m_error->text().isEmpty() ? m_error->text() : QString();
}

void AddTorrentSheet::add() {
    if (!m_preview || m_preview->error || !m_addButton->isEnabled())
        return;
    auto showError = [this](const QString& message) {
        m_error->setText(message);
        m_error->show();
    };
    if (auto problem = savePathProblem(m_savePath))
        return showError(*problem);
    std::vector<int> priorities;
    for (const TorrentFile& f : files())
        priorities.push_back(static_cast<int>(f.prio));
    // The file is read and added on the engine queue: a large torrent never
    // holds the window. "Добавить" stays off until the answer comes.
    m_adding = true;
    m_addButton->setEnabled(false);
    QPointer<AddTorrentSheet> self(this);
    m_engine.addTorrent(m_url, m_savePath.toStdString(), priorities, !m_startNow->isChecked(),
                        m_sequential->isChecked(), [self](TorrentEngine::AddOutcome result) {
                            if (self)
                                self->finishAdd(std::move(result));
                        });
}

void AddTorrentSheet::finishAdd(std::expected<AddResult, EngineError> result) {
    m_adding = false;
    refreshState();
    if (!result) {
        m_error->setText(QString::fromStdString(result.error().message));
        m_error->show();
        return;
    }
    if (result->duplicate)
        m_engine.show("Этот торрент уже добавлен");
    emit added(QString::fromStdString(result->id));
    accept();
}

bool AddTorrentSheet::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_tree && event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Space && key->modifiers() == Qt::NoModifier) {
            auto ids = selection();
            if (ids.empty()) {
                event->ignore();
                return false;
            }
            auto roots = tree();
            bool on = true;
            for (const FileNode& n : FileTree::find(ids, roots))
                if (n.check() != CheckState::off)
                    on = false;
            set(ids, roots, on);
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

} // namespace tevro
