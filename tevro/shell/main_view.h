#pragma once

// The content of the window "main": the sidebar, and on the right the
// settings, a torrent's contents page or the library (header, grid / list /
// table, optional detail pane). It owns what is modal or global to the
// window: the sheets fed one URL at a time from the engine's pending opens,
// the removal dialog, drops of .torrent files, storage moves, selection
// housekeeping, focus requests and the toast.

#include <functional>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include <QMessageBox>
#include <QPointer>
#include <QWidget>

#include "tevro/core/torrent_file.h"
#include "tevro/core/torrent_status.h"
#include "tevro/shell/library_selection.h"
#include "tevro/shell/visible_torrents.h"

class QLabel;
class QMenu;
class QScrollArea;
class QSplitter;
class QStackedWidget;
class QTableView;
class QVBoxLayout;

namespace tevro {

class ArtworkStore;
class CoverCache;
class LibraryHeader;
class LibraryModel;
class MainUIState;
class PlayerModel;
class OffersPage;
class SidebarFilterList;
class SidebarOffers;
class SidebarOffersState;
class TorrentEngine;
class FeaturedTorrent;
class LibraryItemView;
class TorrentListModel;
class TorrentTable;
class Toast;
class SidebarTransferStatus;

class MainView : public QWidget {
    Q_OBJECT
public:
    using OnAdded = std::function<void(const std::string& id)>;

    // The screens and sheets other modules provide; an unset one is simply
    // not shown.
    struct Parts {
        std::function<QDialog*(QWidget* parent, const std::string& url, OnAdded)> addSheet;
        std::function<QDialog*(QWidget* parent, const std::string& initial, OnAdded)> magnetSheet;
        std::function<QDialog*(QWidget* parent, const std::string& torrentID)> limitsSheet;
        std::function<QWidget*(QWidget* parent, const std::string& torrentID,
                               std::function<void()> onClose)>
            detailPane;
        struct ContentsActions {
            std::function<void()> back, onLimits, onMove, onRemove;
        };
        std::function<QWidget*(QWidget* parent, const TorrentStatus&, ContentsActions)>
            contentsPage;
        std::function<QWidget*(QWidget* parent)> settingsScreen;
        // The summary at the bottom of the sidebar.
        std::function<QWidget*(QWidget* parent)> sidebarSummary;
        // Asks for a folder; none when cancelled.
        std::function<std::optional<std::string>(QWidget* parent)> chooseFolder;
        // Runs the open panel for .torrent files.
        std::function<void(QWidget* parent)> openTorrentPanel;
        // Opens another window ("player").
        std::function<void(const std::string& identifier)> openWindow;
        // The offers entry of the sidebar and the offers page.
        SidebarOffersState* offers = nullptr;
    };

    MainView(TorrentEngine& engine, MainUIState& ui, PlayerModel* player, ArtworkStore* artwork,
             Parts parts, QWidget* parent = nullptr);
    ArtworkStore* artwork() const { return m_artwork; }
    ~MainView() override;

    // The torrents on display in display order, and the one the detail pane shows.
    // The list as shown; valid until the engine or the window state changes.
    const std::vector<TorrentStatus>& visible() const;
    std::optional<std::string> primary() const;
    const TableSortOrder& sortOrder() const { return m_sortOrder; }
    void setSortOrder(TableSortOrder order);

    // Back to the whole library with only `id` selected.
    void select(const std::string& id);
    // Only `id` selected, its contents page open, the detail pane hidden.
    void inspect(const std::string& id);
    // Plain click, Ctrl toggles, Shift selects the range from the anchor.
    void selectItem(const std::string& id, Qt::KeyboardModifiers modifiers);
    void reconcileSelection();
    // Takes the first pending URL into a sheet unless one is open.
    void consumePending(const std::vector<std::string>& urls);
    void requestRemoval(const std::set<std::string>& ids);
    void requestLimits(const std::string& id);
    QString removalTitle() const;
    void move(const std::string& id);
    // The selection when it holds `id`, else just `id`.
    std::set<std::string> contextSelection(const std::string& id) const;
    // Nothing when no torrent matches.
    QMenu* contextMenu(const std::set<std::string>& ids, QWidget* parent);
    // Plays the torrent's last played, first wanted or first video; shows it
    // in the file manager when it has none.
    void play(const std::string& id);
    static std::optional<TorrentFile> chooseVideo(const std::vector<TorrentFile>& videos,
                                                  std::optional<std::int64_t> lastPlayed);
    void openTorrentPanel();
    void openMagnet();
    // Files dropped on the window: .torrent ones join the pending opens.
    void dropURLs(const std::vector<std::string>& urls);

    TorrentEngine& engine() const { return m_engine; }
    MainUIState& ui() const { return m_ui; }
    const std::set<std::string>& pendingRemoval() const { return m_pendingRemoval; }
    bool showRemoval() const { return m_removalDialog != nullptr; }
    QMessageBox* removalDialog() const { return m_removalDialog; }
    const std::optional<std::string>& limitsTarget() const { return m_limitsTarget; }
    LibraryHeader* header() const { return m_header; }
    SidebarFilterList* sidebar() const { return m_sidebar; }
    LibraryItemView* grid() const { return m_grid; }
    LibraryItemView* list() const { return m_list; }
    // The cards' and rows' model; the table reads model().
    TorrentListModel* cards() const { return m_cards; }
    FeaturedTorrent* featured() const { return m_featured; }
    QTableView* table() const;
    // The scroll view of the grid layout: the featured item above the grid.
    QScrollArea* gridScroll() const { return m_gridScroll; }
    QWidget* emptyState() const { return m_empty; }
    QLabel* emptyTitle() const { return m_emptyTitle; }
    Toast* toast() const { return m_toast; }
    // The torrent the detail pane shows; none while it is closed.
    const std::string& detailTorrent() const { return m_detailFor; }
    LibraryModel* model() const { return m_model; }
    SidebarOffers* offersEntry() const { return m_offersEntry; }
    // Null unless the offers page is shown.
    OffersPage* offersPage() const { return m_offersPage; }
    // The screen on show: "library", "settings", "contents" or "offers".
    QString screen() const;

signals:
    // The window's content was rebuilt for a new state (tests wait on it).
    void refreshed();

protected:
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildSidebar(QWidget* sidebar);
    QWidget* buildLibrary();
    QWidget* buildEmptyState();
    void refreshLibrary();
    void refreshScreen();
    void refreshDetails();
    void refreshToast();
    void refreshFeatured();
    void placeToast();
    void applyMotion(bool reduce);
    void showRemovalDialog();
    void presentAddSheet();
    void presentMagnetSheet();
    void presentLimitsSheet();
    void onFocusRequest();
    void runFunnel();
    LibrarySelection::Inputs inputs() const;
    void playChosen(const std::string& id, std::vector<TorrentFile> files);

    TorrentEngine& m_engine;
    MainUIState& m_ui;
    QPointer<PlayerModel> m_player;
    ArtworkStore* m_artwork = nullptr;
    Parts m_parts;
    TableSortOrder m_sortOrder = defaultTableSortOrder();
    std::set<std::string> m_pendingRemoval;
    std::optional<std::string> m_limitsTarget;
    std::optional<std::string> m_selectionAnchor;
    std::size_t m_visibleIds = 0;
    mutable VisibleTorrents m_visible;
    // What the models were last fed with.
    struct Fed {
        LibrarySelection::Inputs inputs;
        std::uint64_t revision = 0;
    };
    std::optional<Fed> m_fed;
    bool m_funnelBusy = false;
    bool m_shownOnce = false;

    CoverCache* m_covers = nullptr;
    LibraryModel* m_model = nullptr;
    SidebarFilterList* m_sidebar = nullptr;
    QStackedWidget* m_screens = nullptr;
    QWidget* m_libraryScreen = nullptr;
    QWidget* m_settingsScreen = nullptr;
    QWidget* m_contentsScreen = nullptr;
    SidebarOffers* m_offersEntry = nullptr;
    OffersPage* m_offersPage = nullptr;
    std::string m_contentsFor;
    LibraryHeader* m_header = nullptr;
    QSplitter* m_split = nullptr;
    QWidget* m_detailPane = nullptr;
    std::string m_detailFor;
    QStackedWidget* m_content = nullptr;
    QWidget* m_empty = nullptr;
    QLabel* m_emptySymbol = nullptr;
    QLabel* m_emptyTitle = nullptr;
    QWidget* m_emptyAddButtons = nullptr;
    QWidget* m_emptyShowAll = nullptr;
    QScrollArea* m_gridScroll = nullptr;
    QWidget* m_tableHolder = nullptr;
    TorrentListModel* m_cards = nullptr;
    FeaturedTorrent* m_featured = nullptr;
    LibraryItemView* m_grid = nullptr;
    LibraryItemView* m_list = nullptr;
    TorrentTable* m_table = nullptr;
    Toast* m_toast = nullptr;
    SidebarTransferStatus* m_transfer = nullptr;
    QPointer<QMessageBox> m_removalDialog;
    QPointer<QDialog> m_addSheet;
    QPointer<QDialog> m_magnetSheet;
    QPointer<QDialog> m_limitsSheet;
};

} // namespace tevro
