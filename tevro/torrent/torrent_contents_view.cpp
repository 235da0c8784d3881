#include "tevro/torrent/torrent_contents_view.h"

#include <QDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QShortcut>
#include <QShowEvent>
#include <QStackedWidget>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>

#include "tevro/core/format.h"
#include "tevro/engine/torrent_engine.h"
#include "tevro/library/library_button_style.h"
#include "tevro/library/library_context.h"
#include "tevro/library/library_style.h"
#include "tevro/library/media_artwork.h"
#include "tevro/library/symbols.h"
#include "tevro/media/media_matcher.h"
#include "tevro/media/media_presentation.h"
#include "tevro/media/media_text.h"
#include "tevro/player/player_model.h"
#include "tevro/torrent/clamped_label.h"
#include "tevro/torrent/contents_transfer_controls.h"
#include "tevro/torrent/detail_pane.h"
#include "tevro/torrent/elided_label.h"
#include "tevro/torrent/episode_delegate.h"
#include "tevro/torrent/episode_model.h"
#include "tevro/torrent/files_view.h"
#include "tevro/torrent/refresh_loop.h"
#include "tevro/torrent/tab_button.h"

namespace tevro {

namespace {

QLabel* mutedLabel(const QString& text, qreal size, qreal opacity = 1.0) {
    auto* l = new QLabel(text);
    l->setFont(LibraryStyle::font(size));
    QPalette p = l->palette();
    QColor c = LibraryStyle::muted();
    c.setAlphaF(c.alphaF() * opacity);
    p.setColor(QPalette::WindowText, c);
    l->setPalette(p);
    return l;
}

QPushButton* plainButton(const QString& text, std::string_view symbol, const QColor& color) {
    auto* b = new QPushButton(text);
    b->setFlat(true);
    b->setIcon(Symbols::icon(symbol, color, 14));
    b->setFont(LibraryStyle::font(12));
    b->setCursor(Qt::PointingHandCursor);
    b->setStyleSheet(QStringLiteral("QPushButton { border: none; padding: 0; color: %1; }")
                         .arg(color.name(QColor::HexArgb)));
    return b;
}

} // namespace

TorrentContentsView::TorrentContentsView(TorrentEngine& engine, QWidget* parent)
    : QWidget(parent), m_engine(engine) {
    m_loop = new RefreshLoop(
        2000, [this](std::uint64_t t) { pass(t); }, this);
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, LibraryStyle::background());
    setPalette(pal);

    auto* v = new QVBoxLayout(this);
    v->setContentsMargins(0, 0, 0, 0);
    v->setSpacing(0);

    // Breadcrumb.
    auto* crumb = new QHBoxLayout;
    crumb->setContentsMargins(28, 24, 28, 22);
    crumb->setSpacing(10);
    auto* backButton =
        plainButton(QStringLiteral("Медиатека"), "chevron.left", LibraryStyle::text());
    connect(backButton, &QPushButton::clicked, this, &TorrentContentsView::back);
    auto* backKey = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_BracketLeft), this);
    backKey->setContext(Qt::WidgetWithChildrenShortcut);
    connect(backKey, &QShortcut::activated, this, &TorrentContentsView::back);
    crumb->addWidget(backButton);
    crumb->addWidget(mutedLabel(QStringLiteral("/"), 12, 0.4));
    m_crumbTitle = new ElidedLabel;
    m_crumbTitle->setFont(LibraryStyle::font(12));
    m_crumbTitle->setColor(LibraryStyle::muted());
    m_crumbTitle->setElideMode(Qt::ElideRight);
    m_crumbTitle->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Preferred);
    crumb->addWidget(m_crumbTitle);
    crumb->addStretch();
    auto* info = plainButton(QStringLiteral("Сведения"), "info.circle", LibraryStyle::muted());
    connect(info, &QPushButton::clicked, this, [this] { showInfo(); });
    crumb->addWidget(info);
    v->addLayout(crumb);

    // Header.
    auto* header = new QHBoxLayout;
    header->setContentsMargins(28, 0, 28, 16);
    header->setSpacing(24);
    m_artwork = new MediaArtwork;
    m_artwork->setShowsTitle(false);
    m_artwork->setFixedSize(180, 112);
    header->addWidget(m_artwork);
    auto* texts = new QVBoxLayout;
    texts->setSpacing(10);
    m_title = new ClampedLabel(2);
    QFont titleFont = LibraryStyle::font(27);
    titleFont.setLetterSpacing(QFont::AbsoluteSpacing, -0.4);
    m_title->setFont(titleFont);
    texts->addWidget(m_title);
    m_summary = new ClampedLabel(2);
    m_summary->setFont(LibraryStyle::font(11));
    m_summary->setColor(LibraryStyle::muted());
    texts->addWidget(m_summary);
    auto* buttons = new QHBoxLayout;
    buttons->setSpacing(10);
    m_playButton = new QPushButton(QStringLiteral("Смотреть"));
    LibraryButtonStyle::apply(m_playButton, true);
    LibraryButtonStyle::setSymbol(m_playButton, "play.fill");
    connect(m_playButton, &QPushButton::clicked, this, [this] {
        if (auto target = playTarget())
            play(*target);
    });
    buttons->addWidget(m_playButton);
    auto* reveal = new QPushButton(QStringLiteral("В папке"));
    LibraryButtonStyle::apply(reveal, false);
    LibraryButtonStyle::setSymbol(reveal, "folder");
    connect(reveal, &QPushButton::clicked, this,
            [this] { m_engine.reveal(m_torrent.id, std::nullopt); });
    buttons->addWidget(reveal);
    buttons->addStretch();
    texts->addLayout(buttons);
    header->addLayout(texts, 1);
    v->addLayout(header);

    // Transfer section.
    m_transfer = new ContentsTransferControls(engine);
    m_transfer->setContentsMargins(28, 0, 28, 20);
    connect(m_transfer, &ContentsTransferControls::limitsRequested, this,
            &TorrentContentsView::limitsRequested);
    connect(m_transfer, &ContentsTransferControls::moveRequested, this,
            &TorrentContentsView::moveRequested);
    connect(m_transfer, &ContentsTransferControls::removeRequested, this,
            &TorrentContentsView::removeRequested);
    v->addWidget(m_transfer);

    // Controls bar.
    auto* bar = new QHBoxLayout;
    bar->setContentsMargins(28, 0, 28, 16);
    bar->setSpacing(20);
    m_videosTab = new TabButton(QStringLiteral("Видео · 0"), 12, 26, 9);
    connect(m_videosTab, &TabButton::clicked, this, [this] { setAllFiles(false); });
    bar->addWidget(m_videosTab);
    m_filesTab = new TabButton(QStringLiteral("Все файлы · 0"), 12, 26, 9);
    connect(m_filesTab, &TabButton::clicked, this, [this] { setAllFiles(true); });
    bar->addWidget(m_filesTab);
    bar->addStretch();
    m_search = new QWidget;
    m_search->setFixedWidth(145);
    auto* sl = new QHBoxLayout(m_search);
    sl->setContentsMargins(0, 0, 0, 0);
    sl->setSpacing(7);
    auto* glass = new QLabel;
    glass->setPixmap(
        Symbols::pixmap("magnifyingglass", LibraryStyle::muted(), 13, devicePixelRatioF()));
    sl->addWidget(glass);
    m_searchField = new QLineEdit;
    m_searchField->setFrame(false);
    m_searchField->setPlaceholderText(QStringLiteral("Найти серию"));
    m_searchField->setAccessibleName(QStringLiteral("Поиск видео внутри торрента"));
    m_searchField->setFont(LibraryStyle::font(12));
    m_searchField->setStyleSheet(QStringLiteral("QLineEdit { background: transparent; }"));
    connect(m_searchField, &QLineEdit::textEdited, this, [this](const QString& t) { setQuery(t); });
    sl->addWidget(m_searchField);
    bar->addWidget(m_search);
    m_layoutSwitch = new QToolButton;
    m_layoutSwitch->setAutoRaise(true);
    connect(m_layoutSwitch, &QToolButton::clicked, this, [this] { setCompact(!m_compact); });
    bar->addWidget(m_layoutSwitch);
    v->addLayout(bar);

    // Main content.
    m_main = new QStackedWidget;
    m_filesView = new FilesView(engine);
    auto* filesBox = new QWidget;
    auto* fb = new QVBoxLayout(filesBox);
    fb->setContentsMargins(18, 0, 18, 16);
    fb->addWidget(m_filesView);
    connect(m_filesView, &FilesView::playRequested, this, &TorrentContentsView::playRequested);
    connect(m_filesView, &FilesView::playerWindowRequested, this,
            &TorrentContentsView::playerWindowRequested);
    m_main->addWidget(filesBox);
    m_loading = new QWidget;
    auto* ll = new QVBoxLayout(m_loading);
    auto* spinner = new QProgressBar;
    spinner->setRange(0, 0);
    spinner->setMaximumWidth(160);
    spinner->setTextVisible(false);
    ll->addWidget(spinner, 0, Qt::AlignCenter);
    m_main->addWidget(m_loading);
    m_empty = new QWidget;
    auto* el = new QVBoxLayout(m_empty);
    el->addStretch();
    auto* emptyIcon = new QLabel;
    emptyIcon->setPixmap(
        Symbols::pixmap("magnifyingglass", LibraryStyle::muted(), 32, devicePixelRatioF()));
    el->addWidget(emptyIcon, 0, Qt::AlignHCenter);
    auto* emptyTitle = new QLabel(QStringLiteral("Видео не найдено"));
    emptyTitle->setFont(LibraryStyle::font(17, QFont::DemiBold));
    el->addWidget(emptyTitle, 0, Qt::AlignHCenter);
    el->addWidget(mutedLabel(QStringLiteral("Попробуйте другой запрос"), 12), 0, Qt::AlignHCenter);
    el->addStretch();
    m_main->addWidget(m_empty);

    m_episodeModel = new EpisodeModel(this);
    m_episodeModel->setArtworkStore(LibraryContext::artworkStore());
    m_episodes = new EpisodeListView;
    m_episodes->setAccessibleName(QStringLiteral("Серии"));
    m_episodeDelegate = new EpisodeDelegate(m_episodes);
    m_episodes->setEpisodes(m_episodeModel, m_episodeDelegate);
    m_episodes->setFrameShape(QFrame::NoFrame);
    m_episodes->setUniformItemSizes(true);
    m_episodes->setSelectionMode(QAbstractItemView::NoSelection);
    m_episodes->setMouseTracking(true);
    m_episodes->setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    m_episodes->setContextMenuPolicy(Qt::CustomContextMenu);
    m_episodes->viewport()->installEventFilter(this);
    m_episodes->setViewMode(QListView::IconMode);
    m_episodes->setFlow(QListView::LeftToRight);
    m_episodes->setWrapping(true);
    m_episodes->setResizeMode(QListView::Adjust);
    m_episodes->setMovement(QListView::Static);
    QPalette ep = m_episodes->palette();
    ep.setColor(QPalette::Base, LibraryStyle::background());
    m_episodes->setPalette(ep);
    connect(m_episodes, &QListView::customContextMenuRequested, this,
            &TorrentContentsView::episodeMenu);
    connect(m_episodeDelegate, &EpisodeDelegate::playRequested, this,
            [this](const TorrentFile& f) { play(f); });
    connect(m_episodeDelegate, &EpisodeDelegate::toggleRequested, this,
            [this](const TorrentFile& f) { setDownload(f); });
    m_episodesBox = new QWidget;
    auto* eb = new QVBoxLayout(m_episodesBox);
    eb->setContentsMargins(28 - EpisodeDelegate::kCardGap / 2, 0,
                           28 - EpisodeDelegate::kCardGap / 2, 28);
    eb->addWidget(m_episodes);
    m_main->addWidget(m_episodesBox);
    v->addWidget(m_main, 1);

    connect(&engine, &TorrentEngine::metaChanged, this, [this] { refreshHeader(); });
    refreshContent();
}

void TorrentContentsView::setPlayer(PlayerModel* player) {
    m_player = player;
    m_filesView->setPlayer(player);
}

void TorrentContentsView::setTorrent(const TorrentStatus& torrent) {
    bool other = torrent.id != m_torrent.id;
    m_torrent = torrent;
    if (other) {
        // Nothing of the previous torrent may stay: its files, pieces and play target.
        m_files.clear();
        m_pieceMap = {};
        m_loaded = false;
        m_episodeModel->clear();
        m_filesView->setTorrentID(QString::fromStdString(torrent.id));
    }
    m_episodeModel->setTorrent(torrent);
    m_artwork->setTorrent(torrent);
    m_transfer->setTorrent(torrent);
    MediaPresentation presentation(torrent.name);
    m_crumbTitle->setText(QString::fromStdString(presentation.title));
    m_title->setText(QString::fromStdString(presentation.title));
    if (other) {
        refreshContent();
        if (isVisible())
            startLoop();
    } else {
        refreshHeader();
    }
}

void TorrentContentsView::setQuery(const QString& query) {
    if (query == m_query)
        return;
    m_query = query;
    if (m_searchField->text() != query)
        m_searchField->setText(query);
    emit queryChanged(query);
    refreshContent();
}

void TorrentContentsView::setAllFiles(bool on) {
    if (on == m_allFiles)
        return;
    m_allFiles = on;
    emit allFilesChanged(on);
    refreshContent();
}

void TorrentContentsView::setCompact(bool on) {
    if (on == m_compact)
        return;
    m_compact = on;
    emit compactChanged(on);
    refreshContent();
}

std::vector<TorrentFile> TorrentContentsView::videos() const {
    return MediaMatcher::videos(m_files);
}

QString TorrentContentsView::episodeTitle(const TorrentFile& file) {
    return EpisodeModel::episodeTitle(file);
}

std::vector<TorrentFile> TorrentContentsView::filtered() const {
    std::vector<TorrentFile> out;
    for (const TorrentFile& f : videos()) {
        QString name = QString::fromStdString(std::string(MediaText::lastComponent(f.path)));
        if (m_query.isEmpty() || name.contains(m_query, Qt::CaseInsensitive) ||
            episodeTitle(f).contains(m_query, Qt::CaseInsensitive))
            out.push_back(f);
    }
    return out;
}

std::optional<TorrentFile> TorrentContentsView::playTarget() const {
    auto list = videos();
    if (list.empty())
        return std::nullopt;
    auto meta = m_engine.meta().find(m_torrent.id);
    if (meta != m_engine.meta().end() && meta->second.lastPlayedFile)
        for (const TorrentFile& f : list)
            if (f.i == *meta->second.lastPlayedFile)
                return f;
    return list.front();
}

void TorrentContentsView::play(const TorrentFile& file) {
    QString id = QString::fromStdString(m_torrent.id);
    emit playRequested(id, file);
    if (!m_player)
        return emit playerWindowRequested();
    // The window comes up once the player has opened the file, whatever came of it.
    QPointer<TorrentContentsView> self(this);
    m_player->open(m_torrent.id, file, [self] {
        if (self)
            emit self->playerWindowRequested();
    });
}

void TorrentContentsView::setDownload(const TorrentFile& file) {
    bool off = file.prio < 1;
    m_engine.setPriority(m_torrent.id, {static_cast<int>(file.i)},
                         off ? FilePriority::normal : FilePriority::skip);
    for (TorrentFile& f : m_files)
        if (f.i == file.i) {
            f.prio = off ? 4 : 0;
            refreshContent();
            break;
        }
}

QDialog* TorrentContentsView::showInfo() {
    auto* sheet = new QDialog(this);
    sheet->setWindowModality(Qt::WindowModal);
    sheet->setAttribute(Qt::WA_DeleteOnClose);
    sheet->setWindowTitle(QStringLiteral("Сведения о торренте"));
    sheet->setMinimumSize(820, 470);
    sheet->resize(900, 520);
    sheet->setAutoFillBackground(true);
    QPalette p = sheet->palette();
    p.setColor(QPalette::Window, LibraryStyle::background());
    sheet->setPalette(p);
    auto* v = new QVBoxLayout(sheet);
    v->setContentsMargins(0, 0, 0, 0);
    v->setSpacing(0);
    auto* top = new QHBoxLayout;
    top->setContentsMargins(18, 18, 18, 18);
    auto* title = new QLabel(QStringLiteral("Сведения о торренте"));
    title->setFont(LibraryStyle::font(16));
    top->addWidget(title);
    top->addStretch();
    auto* done = new QPushButton(QStringLiteral("Готово"));
    LibraryButtonStyle::apply(done, false);
    connect(done, &QPushButton::clicked, sheet, &QDialog::reject);
    top->addWidget(done);
    v->addLayout(top);
    auto* pane = new DetailPane(m_engine, false);
    pane->setPlayer(m_player);
    pane->setTorrentID(QString::fromStdString(m_torrent.id));
    connect(pane->filesView(), &FilesView::playRequested, this,
            &TorrentContentsView::playRequested);
    connect(pane->filesView(), &FilesView::playerWindowRequested, this,
            &TorrentContentsView::playerWindowRequested);
    v->addWidget(pane, 1);
    emit detailPaneCreated(pane);
    sheet->open();
    return sheet;
}

QString TorrentContentsView::mainContent() const {
    QWidget* w = m_main->currentWidget();
    if (w == m_episodesBox)
        return QStringLiteral("episodes");
    if (w == m_loading)
        return QStringLiteral("loading");
    if (w == m_empty)
        return QStringLiteral("empty");
    return QStringLiteral("files");
}

void TorrentContentsView::refreshHeader() {
    auto list = videos();
    QStringList parts;
    MediaPresentation presentation(m_torrent.name);
    if (auto sub = presentation.subtitle(); !sub.empty())
        parts << QString::fromStdString(sub);
    parts << QString::number(list.size()) + QStringLiteral(" видео");
    parts << QString::fromStdString(Format::bytes(std::max<std::int64_t>(0, m_torrent.total)));
    m_summary->setText(parts.join(QStringLiteral(" · ")));
    m_playButton->setVisible(playTarget().has_value());
}

void TorrentContentsView::refreshContent() {
    auto list = videos();
    std::size_t fileCount = std::ranges::count_if(m_files, [](auto& f) { return !f.pad; });
    m_videosTab->setText(QStringLiteral("Видео · ") + QString::number(list.size()));
    m_videosTab->setAccessibleName(m_videosTab->text());
    m_videosTab->setEnabled(!list.empty());
    m_videosTab->setCurrent(!m_allFiles);
    m_filesTab->setText(QStringLiteral("Все файлы · ") + QString::number(fileCount));
    m_filesTab->setAccessibleName(m_filesTab->text());
    m_filesTab->setCurrent(m_allFiles);
    m_videosTab->updateGeometry();
    m_filesTab->updateGeometry();
    bool searchable = !m_allFiles && !list.empty();
    m_search->setVisible(searchable);
    m_layoutSwitch->setVisible(searchable);
    QString layoutName =
        m_compact ? QStringLiteral("Плитка серий") : QStringLiteral("Список серий");
    m_layoutSwitch->setIcon(
        Symbols::icon(m_compact ? "square.grid.2x2" : "list.bullet", LibraryStyle::muted(), 16));
    m_layoutSwitch->setToolTip(layoutName);
    m_layoutSwitch->setAccessibleName(layoutName);
    refreshHeader();

    if (m_allFiles || (m_loaded && list.empty())) {
        m_main->setCurrentIndex(0);
    } else if (!m_loaded) {
        m_main->setCurrentWidget(m_loading);
    } else {
        auto shown = filtered();
        if (shown.empty()) {
            m_main->setCurrentWidget(m_empty);
        } else {
            m_episodeModel->setPieceMap(m_pieceMap);
            m_episodeModel->setEpisodes(std::move(shown));
            if (m_episodeDelegate->compact() != m_compact) {
                m_episodeDelegate->setCompact(m_compact);
                m_episodes->setViewMode(m_compact ? QListView::ListMode : QListView::IconMode);
                m_episodes->setFlow(m_compact ? QListView::TopToBottom : QListView::LeftToRight);
                m_episodes->setWrapping(!m_compact);
                m_episodes->setMovement(QListView::Static);
            }
            layoutEpisodes();
            m_main->setCurrentWidget(m_episodesBox);
        }
    }
}

void TorrentContentsView::layoutEpisodes() {
    // The list wraps an item that reaches its last pixel column, so a row of
    // cells must end one pixel short of the viewport's width. Tiles are laid
    // out as if the scroll bar were there, whether or not it shows.
    int width = m_episodes->viewport()->width() - 1;
    if (!m_compact) {
        QScrollBar* bar = m_episodes->verticalScrollBar();
        QStyle* style = m_episodes->style();
        int extent = style->pixelMetric(QStyle::PM_ScrollView_ScrollBarOverlap, nullptr, bar)
                         ? 0
                         : style->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, bar);
        width = m_episodes->maximumViewportSize().width() - extent - 1;
    }
    if (width <= 0)
        return;
    QSize size;
    if (m_compact) {
        size = QSize(width, EpisodeDelegate::kRowHeight + EpisodeDelegate::kRowGap);
    } else {
        // Adaptive columns of 210 to 320 points with 18 between them.
        const int gap = EpisodeDelegate::kCardGap;
        int columns = std::max(1, (width + gap) / (210 + gap));
        int cell = std::min(320 + gap, width / columns);
        int cardWidth = cell - gap;
        size = QSize(cell, qRound(cardWidth / 1.7778) + EpisodeDelegate::kCardDetails + gap);
    }
    m_episodeDelegate->setItemSize(size);
    m_episodes->setGridSize(m_compact ? QSize() : size);
    m_episodes->setSpacing(0);
    m_episodes->doItemsLayout();
}

void TorrentContentsView::episodeMenu(const QPoint& pos) {
    const TorrentFile* file = m_episodeModel->file(m_episodes->indexAt(pos));
    if (!file || m_compact)
        return;
    TorrentFile f = *file;
    // Its child, popped up (see popup_menu.h): gone with the page if need be.
    auto* menu = new QMenu(this);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->addAction(QStringLiteral("Смотреть"), this, [this, f] { play(f); });
    menu->addAction(QStringLiteral("Показать в папке"), this,
                    [this, f] { m_engine.reveal(m_torrent.id, f); });
    menu->addAction(f.prio < 1 ? QStringLiteral("Скачивать") : QStringLiteral("Не скачивать"), this,
                    [this, f] { setDownload(f); });
    menu->popup(m_episodes->viewport()->mapToGlobal(pos));
}

void TorrentContentsView::startLoop() {
    // Every opening starts on the episode tiles with an empty search.
    setQuery(QString());
    setAllFiles(false);
    setCompact(false);
    m_loaded = false;
    m_pieceMap = {};
    refreshContent();
    m_loop->start();
}

void TorrentContentsView::pass(std::uint64_t ticket) {
    QPointer<TorrentContentsView> self(this);
    std::string id = m_torrent.id;
    m_engine.files(id, [self, ticket, id](std::vector<TorrentFile> files) {
        if (!self || !self->m_loop->isCurrent(ticket))
            return;
        self->m_engine.pieceMap(id, [self, ticket, files = std::move(files)](PieceMap map) mutable {
            if (!self || !self->m_loop->isCurrent(ticket))
                return;
            bool changed = files != self->m_files || map != self->m_pieceMap || !self->m_loaded;
            if (files != self->m_files)
                self->m_files = std::move(files);
            self->m_pieceMap = std::move(map);
            self->m_loaded = true;
            if (changed)
                self->refreshContent();
            self->m_loop->passDone(ticket);
            emit self->refreshed();
        });
    });
}

void TorrentContentsView::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    // A restored window shows its children again: the page was open all along
    // and keeps its search, layout and tab.
    if (event->spontaneous())
        return;
    if (!m_loop->running() && !m_torrent.id.empty())
        startLoop();
}

void TorrentContentsView::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    if (event->spontaneous())
        return;
    m_loop->stop();
}

bool TorrentContentsView::eventFilter(QObject* watched, QEvent* event) {
    // The grid's columns follow the width the list really has.
    if (watched == m_episodes->viewport() && event->type() == QEvent::Resize)
        QMetaObject::invokeMethod(
            this, [this] { layoutEpisodes(); }, Qt::QueuedConnection);
    return QWidget::eventFilter(watched, event);
}

void TorrentContentsView::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    layoutEpisodes();
}

} // namespace tevro
