#include "tevro/shell/main_view.h"

#include <algorithm>
#include <string_view>
#include <unordered_set>

#include <QApplication>
#include <QKeyEvent>
#include <QDragEnterEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QRegularExpression>
#include <QScrollArea>
#include <QScrollBar>
#include <QSplitter>
#include <QStackedWidget>
#include <QTimer>
#include <QUrl>
#include <QVBoxLayout>

#include "tevro/bridge/torrent_bridge.h"
#include "tevro/engine/torrent_engine.h"
#include "tevro/media/media_matcher.h"
#include "tevro/media/media_presentation.h"
#include "tevro/library/torrent_status_text.h"
#include "tevro/player/player_model.h"
#include "tevro/shell/app_actions.h"
#include "tevro/shell/library_header.h"
#include "tevro/shell/library_model.h"
#include "tevro/shell/main_ui_state.h"
#include "tevro/library/library_button_style.h"
#include "tevro/library/featured_torrent.h"
#include "tevro/library/library_item_view.h"
#include "tevro/library/library_style.h"
#include "tevro/library/sidebar_transfer_status.h"
#include "tevro/library/torrent_grid_view.h"
#include "tevro/library/torrent_list_model.h"
#include "tevro/library/torrent_row_view.h"
#include "tevro/library/symbols.h"
#include "tevro/platform/desktop_motion.h"
#include "quorvel-kit/offers/pressable_card.h"
#include "tevro/shell/toast.h"
#include "tevro/shell/offers_page.h"
#include "tevro/shell/sidebar_filter_list.h"
#include "tevro/shell/sidebar_offers.h"
#include "tevro/shell/sidebar_offers_state.h"
#include "tevro/shell/sidebar_network_status.h"
#include "tevro/shell/torrent_delegates.h"
#include "tevro/shell/torrent_table.h"

namespace tevro {

namespace {

QString colourName(const QColor& c) {
    return c.name(QColor::HexArgb);
}

QPushButton* libraryButton(const QString& title, bool prominent, QWidget* parent) {
    auto* button = new QPushButton(title, parent);
    button->setAccessibleName(title);
    button->setCursor(Qt::PointingHandCursor);
    LibraryButtonStyle::apply(button, prominent);
    return button;
}

std::vector<std::string> idsOf(const std::set<std::string>& ids) {
    return {ids.begin(), ids.end()};
}

} // namespace

MainView::MainView(TorrentEngine& engine, MainUIState& ui, PlayerModel* player,
                   ArtworkStore* artwork, Parts parts, QWidget* parent)
    : QWidget(parent), m_engine(engine), m_ui(ui), m_player(player), m_artwork(artwork),
      m_parts(std::move(parts)) {
    setAcceptDrops(true);
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, LibraryStyle::background());
    setPalette(pal);

    m_covers = new CoverCache(artwork, this);
    m_covers->setEngine(&m_engine);
    m_model = new LibraryModel(this);

    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(0);
    auto* sidebar = new QWidget(this);
    sidebar->setObjectName(QStringLiteral("sidebar"));
    sidebar->setFixedWidth(196);
    sidebar->setAutoFillBackground(true);
    QPalette sp = sidebar->palette();
    sp.setColor(QPalette::Window, LibraryStyle::sidebar());
    sidebar->setPalette(sp);
    buildSidebar(sidebar);
    row->addWidget(sidebar);
    auto* divider = new QWidget(this);
    divider->setFixedWidth(1);
    divider->setAutoFillBackground(true);
    QPalette dp = divider->palette();
    dp.setColor(QPalette::Window, LibraryStyle::line());
    divider->setPalette(dp);
    row->addWidget(divider);

    m_screens = new QStackedWidget(this);
    m_libraryScreen = buildLibrary();
    m_screens->addWidget(m_libraryScreen);
    row->addWidget(m_screens, 1);

    m_toast = new Toast(this);
    applyMotion(DesktopMotion::shared().reduced());
    connect(&DesktopMotion::shared(), &DesktopMotion::reducedChanged, this, &MainView::applyMotion);

    connect(&engine, &TorrentEngine::torrentsChanged, this, &MainView::refreshLibrary);
    connect(&engine, &TorrentEngine::restoringChanged, this, &MainView::refreshLibrary);
    connect(&engine, &TorrentEngine::pendingOpenChanged, this, &MainView::runFunnel);
    connect(&engine, &TorrentEngine::focusRequestChanged, this, &MainView::onFocusRequest);
    connect(&engine, &TorrentEngine::toastChanged, this, &MainView::refreshToast);
    // A new filter or search tidies the selection even when the same torrents stay in view.
    connect(&ui, &MainUIState::filterChanged, this, [this] {
        refreshLibrary();
        reconcileSelection();
    });
    connect(&ui, &MainUIState::searchChanged, this, [this] {
        refreshLibrary();
        reconcileSelection();
    });
    connect(&ui, &MainUIState::preferencesChanged, this, &MainView::refreshLibrary);
    connect(&ui, &MainUIState::selectionChanged, this, [this] {
        m_model->setSelection(m_ui.selection());
        m_cards->setSelection(m_ui.selection());
        m_table->syncFromState();
        refreshFeatured();
        refreshDetails();
    });
    connect(&ui, &MainUIState::showDetailsChanged, this, [this] {
        refreshFeatured();
        refreshDetails();
    });
    connect(&ui, &MainUIState::showSettingsChanged, this, &MainView::refreshScreen);
    connect(&ui, &MainUIState::openedTorrentIDChanged, this, [this] {
        // Opening a torrent's contents leaves the offers page.
        if (m_parts.offers && m_ui.openedTorrentID())
            m_parts.offers->close();
        refreshScreen();
    });
    if (m_parts.offers)
        connect(m_parts.offers, &SidebarOffersState::presentedChanged, this, [this] {
            m_sidebar->refresh();
            refreshScreen();
        });
    connect(&ui, &MainUIState::addURLChanged, this, [this] {
        if (m_ui.addURL())
            presentAddSheet();
        else
            runFunnel();
    });
    connect(&ui, &MainUIState::showMagnetChanged, this, [this] {
        if (m_ui.showMagnet())
            presentMagnetSheet();
        else
            runFunnel();
    });
    refreshLibrary();
    refreshScreen();
}

MainView::~MainView() = default;

void MainView::buildSidebar(QWidget* sidebar) {
    auto* column = new QVBoxLayout(sidebar);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    auto* scroll = new QScrollArea(sidebar);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll->setWidgetResizable(true);
    scroll->viewport()->setAutoFillBackground(false);
    scroll->setStyleSheet(QStringLiteral("QScrollArea { background: transparent; }"));
    m_sidebar = new SidebarFilterList(m_engine, m_ui);
    m_sidebar->setAutoFillBackground(false);
    scroll->setWidget(m_sidebar);
    column->addWidget(scroll, 1);
    if (m_parts.offers) {
        m_offersEntry = new SidebarOffers(*m_parts.offers, sidebar);
        column->addWidget(m_offersEntry);
        SidebarOffersState* offers = m_parts.offers;
        m_sidebar->setOffersPresented([offers] { return offers->isPresented(); });
    }
    QWidget* summary = m_parts.sidebarSummary ? m_parts.sidebarSummary(sidebar) : nullptr;
    if (!summary) {
        auto* transfer = new SidebarTransferStatus(&m_engine, sidebar);
        m_transfer = transfer;
        transfer->setNetworkStatus(new SidebarNetworkStatus(m_engine));
        auto sync = [this, transfer] {
            transfer->setCollapsed(m_ui.preferences().transferDetailsCollapsed);
            transfer->setSettingsShown(m_ui.showSettings());
        };
        sync();
        connect(&m_ui, &MainUIState::preferencesChanged, transfer, sync);
        connect(&m_ui, &MainUIState::showSettingsChanged, transfer, sync);
        connect(transfer, &SidebarTransferStatus::toggleRequested, this,
                [this] { m_ui.toggleTransferDetails(); });
        connect(transfer, &SidebarTransferStatus::settingsRequested, this,
                [this] { m_ui.setShowSettings(true); });
        summary = transfer;
    }
    column->addWidget(summary);
}

QWidget* MainView::buildEmptyState() {
    auto* empty = new QWidget;
    auto* column = new QVBoxLayout(empty);
    column->setSpacing(16);
    column->addStretch(1);
    m_emptySymbol = new QLabel(empty);
    m_emptySymbol->setAlignment(Qt::AlignCenter);
    m_emptySymbol->setFont(LibraryStyle::font(42, QFont::ExtraLight));
    m_emptySymbol->setStyleSheet(
        QStringLiteral("color: %1").arg(colourName(LibraryStyle::accent())));
    m_emptyTitle = new QLabel(empty);
    m_emptyTitle->setAlignment(Qt::AlignCenter);
    m_emptyTitle->setFont(LibraryStyle::font(21, QFont::Medium));
    column->addWidget(m_emptySymbol);
    column->addWidget(m_emptyTitle);

    m_emptyAddButtons = new QWidget(empty);
    auto* addRow = new QHBoxLayout(m_emptyAddButtons);
    addRow->setContentsMargins(0, 8, 0, 0);
    addRow->addStretch(1);
    auto* add = libraryButton(QStringLiteral("Добавить торрент"), true, m_emptyAddButtons);
    auto* magnet = libraryButton(QStringLiteral("Magnet-ссылка"), false, m_emptyAddButtons);
    connect(add, &QPushButton::clicked, this, &MainView::openTorrentPanel);
    connect(magnet, &QPushButton::clicked, this, &MainView::openMagnet);
    addRow->addWidget(add);
    addRow->addWidget(magnet);
    addRow->addStretch(1);
    column->addWidget(m_emptyAddButtons);

    m_emptyShowAll = new QWidget(empty);
    auto* allRow = new QHBoxLayout(m_emptyShowAll);
    allRow->setContentsMargins(0, 0, 0, 0);
    allRow->addStretch(1);
    auto* all = libraryButton(QStringLiteral("Показать всю медиатеку"), false, m_emptyShowAll);
    connect(all, &QPushButton::clicked, this, [this] {
        m_ui.setSearch("");
        m_ui.setFilter(TorrentFilter::all);
    });
    allRow->addWidget(all);
    allRow->addStretch(1);
    column->addWidget(m_emptyShowAll);
    column->addStretch(1);
    return empty;
}

QWidget* MainView::buildLibrary() {
    auto* library = new QWidget;
    auto* column = new QVBoxLayout(library);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    m_header = new LibraryHeader(*this, library);
    column->addWidget(m_header);

    m_content = new QStackedWidget;
    m_empty = buildEmptyState();
    m_content->addWidget(m_empty);

    m_cards = new TorrentListModel(m_artwork, &m_engine, this);
    // The grid layout: one scroll view holding the featured item above the grid.
    m_gridScroll = new QScrollArea;
    m_gridScroll->setObjectName(QStringLiteral("libraryScroll"));
    m_gridScroll->setFrameShape(QFrame::NoFrame);
    m_gridScroll->setWidgetResizable(true);
    m_gridScroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_gridScroll->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    auto* gridPage = new QWidget;
    gridPage->setAutoFillBackground(true);
    QPalette gp = gridPage->palette();
    gp.setColor(QPalette::Window, LibraryStyle::background());
    gridPage->setPalette(gp);
    auto* items = new QVBoxLayout(gridPage);
    // The grid keeps the side padding and the spacing around its cards itself:
    // 24 points from the featured item, 28 at the bottom.
    items->setContentsMargins(0, 6, 0, 28 - TorrentGridView::kSpacing);
    items->setSpacing(24 - TorrentGridView::kSpacing);
    m_featured = new FeaturedTorrent(m_artwork, &m_engine, gridPage);
    m_featured->hide();
    auto* featuredRow = new QHBoxLayout;
    featuredRow->setContentsMargins(LibraryItemView::kSidePadding, 0, LibraryItemView::kSidePadding,
                                    0);
    featuredRow->addWidget(m_featured);
    items->addLayout(featuredRow);
    connect(m_featured, &FeaturedTorrent::playRequested, this,
            [this] { play(m_featured->torrent().id); });
    connect(m_featured, &FeaturedTorrent::detailsRequested, this,
            [this] { inspect(m_featured->torrent().id); });
    m_grid = new TorrentGridView(gridPage);
    items->addWidget(m_grid);
    items->addStretch(1);
    m_gridScroll->setWidget(gridPage);
    m_list = new TorrentRowView;
    for (LibraryItemView* view : {m_grid, m_list}) {
        view->setTorrentModel(m_cards);
        view->installEventFilter(this);
        connect(view, &LibraryItemView::selectRequested, this,
                [this](const QString& id, Qt::KeyboardModifiers modifiers) {
                    selectItem(id.toStdString(), modifiers);
                });
        connect(view, &LibraryItemView::playRequested, this,
                [this](const QString& id) { play(id.toStdString()); });
        connect(view, &LibraryItemView::pauseRequested, this,
                [this](const QString& id) { m_engine.togglePause(id.toStdString()); });
        connect(view, &LibraryItemView::detailsRequested, this,
                [this](const QString& id) { inspect(id.toStdString()); });
        connect(view, &LibraryItemView::contextMenuRequested, this,
                [this, view](const QString& id, const QPoint& where) {
                    if (QMenu* menu = contextMenu(contextSelection(id.toStdString()), view)) {
                        menu->setAttribute(Qt::WA_DeleteOnClose);
                        menu->popup(view->viewport()->mapToGlobal(where));
                    }
                });
    }
    m_content->addWidget(m_gridScroll);
    m_content->addWidget(m_list);

    m_tableHolder = new QWidget;
    auto* tableBox = new QVBoxLayout(m_tableHolder);
    tableBox->setContentsMargins(20, 0, 20, 14);
    m_table = new TorrentTable(*this, m_tableHolder);
    m_table->setItemDelegate(new TorrentTableDelegate(m_covers, m_table));
    tableBox->addWidget(m_table);
    m_content->addWidget(m_tableHolder);

    connect(m_covers, &CoverCache::coverArrived, this, [this] { m_table->viewport()->update(); });

    m_split = new QSplitter(Qt::Vertical, library);
    m_split->setChildrenCollapsible(false);
    m_split->addWidget(m_content);
    m_content->setMinimumHeight(100);
    column->addWidget(m_split, 1);
    return library;
}

QTableView* MainView::table() const {
    return m_table;
}

LibrarySelection::Inputs MainView::inputs() const {
    LibrarySelection::Inputs inputs;
    inputs.filter = m_ui.filter();
    inputs.search = m_ui.search();
    inputs.preferences = m_ui.preferences();
    inputs.sortOrder = m_sortOrder;
    return inputs;
}

const std::vector<TorrentStatus>& MainView::visible() const {
    return m_visible.get(m_engine, inputs());
}

std::optional<std::string> MainView::primary() const {
    return LibrarySelection::primary(visible(), m_ui.selection());
}

void MainView::setSortOrder(TableSortOrder order) {
    if (order == m_sortOrder)
        return;
    m_sortOrder = std::move(order);
    refreshLibrary();
}

void MainView::refreshLibrary() {
    const LibrarySelection::Inputs in = inputs();
    // Held: a slot below may read visible() again after a change.
    auto held = m_visible.shared(m_engine, in);
    const std::vector<TorrentStatus>& shown = *held;
    // The models follow the shown list's change since they were last fed,
    // when they were fed the same way: they look at the rows it touched only.
    std::optional<ListChange> change; // a copy: a slot below may follow the list again
    if (m_fed && m_fed->inputs == in)
        if (const ListChange* since = m_visible.changeSince(m_fed->revision))
            change = *since;
    const ListChange* changed = change ? &*change : nullptr;
    m_fed = Fed{in, m_engine.torrentsRevision()};
    m_model->setTorrents(shown, changed);
    m_model->setSelection(m_ui.selection());
    m_cards->setTorrents(shown, changed);
    m_cards->setSelection(m_ui.selection());

    auto layout = m_ui.preferences().layout;
    // While the saved torrents come back, an empty list says nothing yet.
    if (shown.empty() && !m_engine.restoring()) {
        bool none = m_engine.torrents().empty();
        m_emptySymbol->setPixmap(Symbols::pixmap(
            m_ui.search().empty() ? "play.rectangle.on.rectangle" : "magnifyingglass",
            LibraryStyle::accent(), 42, 2.0));
        m_emptyTitle->setText(none ? QStringLiteral("Медиатека пуста")
                                   : QStringLiteral("Ничего не найдено"));
        m_emptyAddButtons->setVisible(none);
        m_emptyShowAll->setVisible(!none);
        m_content->setCurrentWidget(m_empty);
    } else if (layout == LibraryLayout::table) {
        m_content->setCurrentWidget(m_tableHolder);
    } else if (layout == LibraryLayout::list) {
        m_content->setCurrentWidget(m_list);
    } else {
        m_content->setCurrentWidget(m_gridScroll);
    }
    // Other torrents on display tidy the selection.
    const std::size_t ids = m_visible.idsKey();
    if (ids != m_visibleIds) {
        m_visibleIds = ids;
        reconcileSelection();
    }
    refreshFeatured();
    // A new order may make another selected torrent the first on display.
    refreshDetails();
    refreshScreen();
    emit refreshed();
}

void MainView::refreshFeatured() {
    // A video torrent above the grid: the first selected one, else the first
    // one. The cards hold the shown list with each name's presentation.
    const TorrentStatus* pick = nullptr;
    if (m_ui.preferences().layout == LibraryLayout::grid && m_ui.search().empty() &&
        !m_ui.showDetails()) {
        const int rows = m_cards->rowCount();
        auto video = [&](int row) {
            return m_cards->item(row).presentation.kind == MediaKind::video;
        };
        if (!m_ui.selection().empty())
            for (int row = 0; !pick && row < rows; ++row)
                if (video(row) && m_ui.selection().contains(m_cards->item(row).torrent.id))
                    pick = &m_cards->item(row).torrent;
        for (int row = 0; !pick && row < rows; ++row)
            if (video(row))
                pick = &m_cards->item(row).torrent;
    }
    if (pick)
        m_featured->setTorrent(*pick);
    m_featured->setVisible(pick != nullptr);
}

void MainView::reconcileSelection() {
    std::set<std::string> kept;
    if (!m_ui.selection().empty()) {
        std::unordered_set<std::string_view> shown;
        for (const auto& t : visible())
            shown.insert(t.id);
        for (const auto& id : m_ui.selection())
            if (shown.contains(id))
                kept.insert(id);
    }
    m_ui.setSelection(kept);
    if (kept.empty() && m_ui.showDetails())
        m_ui.setShowDetails(false);
    if (m_ui.openedTorrentID() && !m_engine.torrent(*m_ui.openedTorrentID()))
        m_ui.setOpenedTorrentID(std::nullopt);
}

QString MainView::screen() const {
    if (m_screens->currentWidget() == m_offersPage && m_offersPage)
        return QStringLiteral("offers");
    if (m_screens->currentWidget() == m_settingsScreen && m_settingsScreen)
        return QStringLiteral("settings");
    if (m_screens->currentWidget() == m_contentsScreen && m_contentsScreen)
        return QStringLiteral("contents");
    return QStringLiteral("library");
}

void MainView::refreshScreen() {
    // The offers page wins over every other screen.
    if (m_parts.offers && m_parts.offers->isPresented()) {
        if (!m_offersPage) {
            m_offersPage = new OffersPage(*m_parts.offers, m_screens);
            m_screens->addWidget(m_offersPage);
        }
        m_screens->setCurrentWidget(m_offersPage);
        return;
    }
    if (m_offersPage) {
        // Closing may come from a click inside the page.
        m_screens->removeWidget(m_offersPage);
        m_offersPage->hide();
        m_offersPage->deleteLater();
        m_offersPage = nullptr;
    }
    // A screen whose module is not built yet leaves the library in view.
    if (m_ui.showSettings() && m_parts.settingsScreen) {
        if (!m_settingsScreen) {
            m_settingsScreen = m_parts.settingsScreen(m_screens);
            m_screens->addWidget(m_settingsScreen);
        }
        m_screens->setCurrentWidget(m_settingsScreen);
        return;
    }
    const auto& opened = m_ui.openedTorrentID();
    auto torrent = opened ? m_engine.torrent(*opened) : std::nullopt;
    if (torrent && m_parts.contentsPage) {
        if (!m_contentsScreen || m_contentsFor != torrent->id) {
            delete m_contentsScreen;
            std::string id = torrent->id;
            Parts::ContentsActions actions;
            actions.back = [this] { m_ui.setOpenedTorrentID(std::nullopt); };
            actions.onLimits = [this, id] { requestLimits(id); };
            actions.onMove = [this, id] { move(id); };
            actions.onRemove = [this, id] { requestRemoval({id}); };
            m_contentsScreen = m_parts.contentsPage(m_screens, *torrent, actions);
            m_contentsFor = id;
            m_screens->addWidget(m_contentsScreen);
        }
        m_screens->setCurrentWidget(m_contentsScreen);
        return;
    }
    if (m_contentsScreen && !torrent) {
        m_contentsScreen->deleteLater();
        m_contentsScreen = nullptr;
        m_contentsFor.clear();
    }
    m_screens->setCurrentWidget(m_libraryScreen);
}

void MainView::refreshDetails() {
    auto shown = primary();
    bool wanted = m_ui.showDetails() && shown && m_parts.detailPane;
    if (!wanted) {
        if (m_detailPane) {
            // Gone from the screen now, deleted once control is back in the event loop.
            m_detailPane->hide();
            m_detailPane->deleteLater();
            m_detailPane = nullptr;
            m_detailFor.clear();
        }
        m_header->refresh();
        return;
    }
    if (!m_detailPane || m_detailFor != *shown) {
        delete m_detailPane;
        m_detailPane = m_parts.detailPane(m_split, *shown, [this] { m_ui.setShowDetails(false); });
        m_detailPane->setMinimumHeight(220);
        m_detailFor = *shown;
        m_split->addWidget(m_detailPane);
        m_split->setSizes({std::max(100, m_split->height() - 290), 290});
    }
    m_header->refresh();
}

void MainView::select(const std::string& id) {
    m_ui.setShowSettings(false);
    m_ui.setOpenedTorrentID(std::nullopt);
    m_ui.setFilter(TorrentFilter::all);
    m_ui.setSelection({id});
}

void MainView::inspect(const std::string& id) {
    m_ui.setSelection({id});
    m_ui.setOpenedTorrentID(id);
    m_ui.setShowDetails(false);
}

void MainView::selectItem(const std::string& id, Qt::KeyboardModifiers modifiers) {
    if (modifiers & Qt::ControlModifier) {
        auto selection = m_ui.selection();
        if (!selection.erase(id))
            selection.insert(id);
        m_ui.setSelection(selection);
    } else {
        bool ranged = false;
        if ((modifiers & Qt::ShiftModifier) && m_selectionAnchor) {
            const auto& shown = visible();
            auto a = std::ranges::find(shown, *m_selectionAnchor, &TorrentStatus::id);
            auto b = std::ranges::find(shown, id, &TorrentStatus::id);
            if (a != shown.end() && b != shown.end()) {
                auto [from, to] = std::minmax(a, b);
                std::set<std::string> range;
                for (auto it = from; it <= to; ++it)
                    range.insert(it->id);
                m_ui.setSelection(range);
                ranged = true;
            }
        }
        if (!ranged)
            inspect(id);
    }
    m_selectionAnchor = id;
}

void MainView::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (!m_shownOnce) {
        m_shownOnce = true;
        runFunnel();
    }
}

void MainView::runFunnel() {
    if (m_funnelBusy)
        return;
    m_funnelBusy = true;
    consumePending(m_engine.pendingOpen());
    m_funnelBusy = false;
}

void MainView::consumePending(const std::vector<std::string>& urls) {
    if (m_ui.addURL() || m_ui.showMagnet() || urls.empty())
        return;
    std::string url = urls.front();
    if (!m_engine.pendingOpen().empty()) {
        auto rest = m_engine.pendingOpen();
        rest.erase(rest.begin());
        // The pending list changes first; the funnel is re-entered only after
        // the sheet's trigger is set below, so it stays one URL at a time.
        bool busy = m_funnelBusy;
        m_funnelBusy = true;
        m_engine.setPendingOpen(std::move(rest));
        m_funnelBusy = busy;
    }
    // The scheme as written: QUrl would lower-case "MAGNET".
    if (url.starts_with("magnet:")) {
        m_ui.setMagnetText(url);
        m_ui.setShowMagnet(true);
    } else {
        m_ui.setAddURL(url);
    }
}

void MainView::presentAddSheet() {
    if (!m_parts.addSheet || m_addSheet || !m_ui.addURL())
        return;
    QPointer<MainView> self(this);
    m_addSheet = m_parts.addSheet(this, *m_ui.addURL(), [self](const std::string& id) {
        if (self)
            self->select(id);
    });
    if (!m_addSheet)
        return;
    m_addSheet->setWindowModality(Qt::WindowModal);
    m_addSheet->setAttribute(Qt::WA_DeleteOnClose);
    connect(m_addSheet, &QDialog::finished, this, [this] {
        m_addSheet = nullptr;
        m_ui.setAddURL(std::nullopt);
    });
    m_addSheet->open();
}

void MainView::presentMagnetSheet() {
    if (!m_parts.magnetSheet || m_magnetSheet)
        return;
    QPointer<MainView> self(this);
    m_magnetSheet = m_parts.magnetSheet(this, m_ui.magnetText(), [self](const std::string& id) {
        if (self)
            self->select(id);
    });
    if (!m_magnetSheet)
        return;
    m_magnetSheet->setWindowModality(Qt::WindowModal);
    m_magnetSheet->setAttribute(Qt::WA_DeleteOnClose);
    connect(m_magnetSheet, &QDialog::finished, this, [this] {
        m_magnetSheet = nullptr;
        m_ui.setShowMagnet(false);
    });
    m_magnetSheet->open();
}

void MainView::requestLimits(const std::string& id) {
    m_limitsTarget = id;
    presentLimitsSheet();
}

void MainView::presentLimitsSheet() {
    if (!m_parts.limitsSheet || !m_limitsTarget || m_limitsSheet)
        return;
    m_limitsSheet = m_parts.limitsSheet(this, *m_limitsTarget);
    if (!m_limitsSheet) {
        m_limitsTarget.reset();
        return;
    }
    m_limitsSheet->setWindowModality(Qt::WindowModal);
    m_limitsSheet->setAttribute(Qt::WA_DeleteOnClose);
    connect(m_limitsSheet, &QDialog::finished, this, [this] {
        m_limitsSheet = nullptr;
        m_limitsTarget.reset();
    });
    m_limitsSheet->open();
}

void MainView::requestRemoval(const std::set<std::string>& ids) {
    m_pendingRemoval = ids;
    showRemovalDialog();
}

QString MainView::removalTitle() const {
    if (m_pendingRemoval.size() == 1)
        if (auto t = m_engine.torrent(*m_pendingRemoval.begin()))
            return QStringLiteral("Удалить «") + QString::fromStdString(t->name) +
                   QStringLiteral("»?");
    return QStringLiteral("Удалить торренты: ") + QString::number(m_pendingRemoval.size()) +
           QStringLiteral("?");
}

void MainView::showRemovalDialog() {
    if (m_removalDialog)
        m_removalDialog->close();
    auto* box = new QMessageBox(this);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(Qt::WindowModal);
    box->setWindowTitle(QStringLiteral("Удаление"));
    // A long name without spaces may break after its dots, dashes and
    // underscores, so the dialog keeps to the window's width.
    QString shown = removalTitle();
    static const QRegularExpression breaks(QStringLiteral("([._\\-])"));
    shown.replace(breaks, QStringLiteral("\\1") + QChar(0x200B));
    box->setText(shown);
    box->setAccessibleDescription(removalTitle());
    box->setIcon(QMessageBox::Warning);
    auto* keep = box->addButton(QStringLiteral("Удалить торрент"), QMessageBox::AcceptRole);
    auto* withFiles =
        box->addButton(QStringLiteral("Удалить вместе с файлами"), QMessageBox::DestructiveRole);
    auto* cancel = box->addButton(QStringLiteral("Отмена"), QMessageBox::RejectRole);
    LibraryButtonStyle::apply(keep, false);
    LibraryButtonStyle::apply(withFiles, false);
    LibraryButtonStyle::apply(cancel, true);
    keep->setObjectName(QStringLiteral("removeKeepFiles"));
    withFiles->setObjectName(QStringLiteral("removeWithFiles"));
    cancel->setObjectName(QStringLiteral("removeCancel"));
    box->setDefaultButton(cancel);
    box->setEscapeButton(cancel);
    connect(box, &QMessageBox::buttonClicked, this, [this, keep, withFiles](QAbstractButton* b) {
        if (b != keep && b != withFiles)
            return;
        m_engine.remove(idsOf(m_pendingRemoval), b == withFiles);
        auto selection = m_ui.selection();
        for (const auto& id : m_pendingRemoval)
            selection.erase(id);
        m_ui.setSelection(selection);
    });
    m_removalDialog = box;
    box->open();
}

void MainView::move(const std::string& id) {
    std::optional<std::string> folder;
    if (m_parts.chooseFolder) {
        folder = m_parts.chooseFolder(this);
    } else {
        QFileDialog dialog(this);
        dialog.setFileMode(QFileDialog::Directory);
        dialog.setOption(QFileDialog::ShowDirsOnly);
        dialog.setLabelText(QFileDialog::Accept, QStringLiteral("Переместить"));
        if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty())
            folder = dialog.selectedFiles().front().toStdString();
    }
    if (!folder || !m_engine.session())
        return;
    tb_move_storage(m_engine.session(), id.c_str(), folder->c_str());
    m_engine.poll();
}

std::set<std::string> MainView::contextSelection(const std::string& id) const {
    if (m_ui.selection().contains(id))
        return m_ui.selection();
    return {id};
}

QMenu* MainView::contextMenu(const std::set<std::string>& ids, QWidget* parent) {
    std::vector<TorrentStatus> matched;
    for (const auto& t : m_engine.torrents())
        if (ids.contains(t.id))
            matched.push_back(t);
    if (matched.empty())
        return nullptr;
    auto* menu = new QMenu(parent);
    auto list = idsOf(ids);
    bool oneId = ids.size() == 1;
    if (oneId) {
        std::string id = *ids.begin();
        menu->addAction(QStringLiteral("Открыть"), this, [this, id] { play(id); });
        menu->addAction(QStringLiteral("Файлы и сведения"), this, [this, id] { inspect(id); });
        menu->addSeparator();
    }
    menu->addAction(QString::fromStdString(TorrentStatusText::resumeTitle(matched)), this,
                    [this, list] { m_engine.resume(list); });
    menu->addAction(QStringLiteral("Пауза"), this, [this, list] { m_engine.pause(list); });
    menu->addAction(QStringLiteral("Принудительный старт"), this,
                    [this, list] { m_engine.action("force_start", list); });
    menu->addSeparator();
    if (matched.size() == 1) {
        const TorrentStatus t = matched.front();
        QAction* sequential = menu->addAction(QStringLiteral("Последовательная загрузка"));
        sequential->setCheckable(true);
        sequential->setChecked(t.sequential);
        connect(sequential, &QAction::toggled, this, [this, id = t.id](bool on) {
            m_engine.action(on ? "sequential_on" : "sequential_off", {id});
        });
        menu->addAction(QStringLiteral("Ограничения…"), this,
                        [this, id = t.id] { requestLimits(id); });
        menu->addAction(QStringLiteral("Переместить…"), this, [this, id = t.id] { move(id); });
        menu->addAction(QStringLiteral("Показать в папке"), this,
                        [this, id = t.id] { m_engine.reveal(id, std::nullopt); });
        menu->addSeparator();
    }
    menu->addAction(QStringLiteral("Проверить файлы"), this,
                    [this, list] { m_engine.action("recheck", list); });
    menu->addAction(QStringLiteral("Обновить трекеры"), this,
                    [this, list] { m_engine.action("reannounce", list); });
    QMenu* queue = menu->addMenu(QStringLiteral("Очередь"));
    const std::pair<const char*, const char*> moves[] = {{"Наверх", "queue_top"},
                                                         {"Выше", "queue_up"},
                                                         {"Ниже", "queue_down"},
                                                         {"Вниз", "queue_bottom"}};
    for (const auto& [title, action] : moves)
        queue->addAction(QString::fromUtf8(title), this,
                         [this, list, name = std::string(action)] { m_engine.action(name, list); });
    menu->addSeparator();
    QAction* remove = menu->addAction(QStringLiteral("Удалить…"), this, [this, ids] {
        if (!ids.empty())
            requestRemoval(ids);
    });
    remove->setObjectName(QStringLiteral("destructive"));
    return menu;
}

std::optional<TorrentFile> MainView::chooseVideo(const std::vector<TorrentFile>& videos,
                                                 std::optional<std::int64_t> lastPlayed) {
    if (videos.empty())
        return std::nullopt;
    if (lastPlayed)
        for (const auto& v : videos)
            if (v.i == *lastPlayed)
                return v;
    for (const auto& v : videos)
        if (v.prio > 0)
            return v;
    return videos.front();
}

void MainView::play(const std::string& id) {
    QPointer<MainView> self(this);
    m_engine.files(id, [self, id](std::vector<TorrentFile> files) {
        if (self)
            self->playChosen(id, std::move(files));
    });
}

void MainView::playChosen(const std::string& id, std::vector<TorrentFile> files) {
    auto videos = MediaMatcher::videos(files);
    if (videos.empty()) {
        m_engine.reveal(id, std::nullopt);
        return;
    }
    std::optional<std::int64_t> last;
    if (auto it = m_engine.meta().find(id); it != m_engine.meta().end())
        last = it->second.lastPlayedFile;
    auto chosen = chooseVideo(videos, last);
    if (!chosen || !m_player)
        return;
    // The window first: its video view gives the core the render context
    // the file's video needs when it loads.
    if (m_parts.openWindow)
        m_parts.openWindow("player");
    m_player->open(id, *chosen);
}

void MainView::openTorrentPanel() {
    if (m_parts.openTorrentPanel)
        m_parts.openTorrentPanel(this);
    else
        AppActions::openTorrentPanel(m_engine, this);
}

void MainView::openMagnet() {
    AppActions::openMagnet(m_ui);
}

void MainView::dropURLs(const std::vector<std::string>& urls) {
    for (const auto& text : urls) {
        QUrl url(QString::fromStdString(text));
        if (QFileInfo(url.path()).suffix().toLower() == QStringLiteral("torrent"))
            m_engine.appendPendingOpen(text);
    }
}

bool MainView::eventFilter(QObject* watched, QEvent* event) {
    if ((watched == m_grid || watched == m_list) && event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Delete || key->key() == Qt::Key_Backspace) {
            if (!m_ui.selection().empty())
                requestRemoval(m_ui.selection());
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void MainView::dragEnterEvent(QDragEnterEvent* event) {
    event->acceptProposedAction();
}

void MainView::dragMoveEvent(QDragMoveEvent* event) {
    event->acceptProposedAction();
}

void MainView::dropEvent(QDropEvent* event) {
    std::vector<std::string> urls;
    if (event->mimeData())
        for (const QUrl& url : event->mimeData()->urls())
            if (url.isLocalFile())
                urls.push_back(url.toString(QUrl::FullyEncoded).toStdString());
    event->acceptProposedAction();
    QPointer<MainView> self(this);
    QMetaObject::invokeMethod(
        this,
        [self, urls] {
            if (self)
                self->dropURLs(urls);
        },
        Qt::QueuedConnection);
}

void MainView::onFocusRequest() {
    const auto& request = m_engine.focusRequest();
    if (!request)
        return;
    std::string id = *request;
    select(id);
    m_ui.setTab(DetailTab::files);
    m_ui.setShowDetails(true);
    m_engine.setFocusRequest(std::nullopt);
}

void MainView::refreshToast() {
    const auto& text = m_engine.toast();
    placeToast();
    m_toast->showText(text ? QString::fromStdString(*text) : QString());
}

void MainView::placeToast() {
    // Over the content area only, never over the sidebar.
    m_toast->setArea(m_screens->geometry());
}

void MainView::applyMotion(bool reduce) {
    m_toast->setReduceMotion(reduce);
    quorvel::PressableCard::setReduceMotion(reduce);
    if (m_transfer)
        m_transfer->setReduceMotion(reduce);
}

void MainView::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    placeToast();
}

} // namespace tevro
