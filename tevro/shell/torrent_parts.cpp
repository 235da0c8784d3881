#include "tevro/shell/torrent_parts.h"

#include <QUrl>

#include "tevro/engine/torrent_engine.h"
#include "tevro/shell/main_ui_state.h"
#include "tevro/shell/window_opener.h"
#include "tevro/torrent/add_torrent_sheet.h"
#include "tevro/torrent/detail_pane.h"
#include "tevro/torrent/files_view.h"
#include "tevro/torrent/limits_sheet.h"
#include "tevro/torrent/magnet_sheet.h"
#include "tevro/torrent/torrent_contents_view.h"

namespace tevro {

namespace {

// The pane shows the window's tab and hands its clicks to it, so every pane agrees.
void bindTab(DetailPane* pane, MainUIState& ui) {
    pane->setTabOwned(true);
    pane->setTab(static_cast<DetailPane::Tab>(ui.tab()));
    QObject::connect(&ui, &MainUIState::tabChanged, pane,
                     [pane, &ui] { pane->setTab(static_cast<DetailPane::Tab>(ui.tab())); });
    QObject::connect(pane, &DetailPane::tabChosen, &ui,
                     [&ui](DetailPane::Tab tab) { ui.setTab(static_cast<DetailTab>(tab)); });
}

void openPlayerWindow() {
    WindowOpener::shared().open("player");
}

} // namespace

void addTorrentParts(MainView::Parts& parts, TorrentEngine& engine, MainUIState& ui,
                     PlayerModel* player) {
    parts.addSheet = [&engine](QWidget* parent, const std::string& url,
                               MainView::OnAdded onAdded) -> QDialog* {
        QUrl u(QString::fromStdString(url));
        std::string path = u.isLocalFile() ? u.toLocalFile().toStdString() : url;
        auto* sheet = new AddTorrentSheet(engine, path, parent);
        QObject::connect(sheet, &AddTorrentSheet::added, sheet,
                         [onAdded](const QString& id) { onAdded(id.toStdString()); });
        return sheet;
    };
    parts.magnetSheet = [&engine](QWidget* parent, const std::string& initial,
                                  MainView::OnAdded onAdded) -> QDialog* {
        auto* sheet = new MagnetSheet(engine, QString::fromStdString(initial), parent);
        QObject::connect(sheet, &MagnetSheet::added, sheet,
                         [onAdded](const QString& id) { onAdded(id.toStdString()); });
        return sheet;
    };
    parts.limitsSheet = [&engine](QWidget* parent, const std::string& id) -> QDialog* {
        return new LimitsSheet(engine, QString::fromStdString(id), parent);
    };
    parts.detailPane = [&engine, &ui, player](QWidget* parent, const std::string& id,
                                              std::function<void()> onClose) -> QWidget* {
        auto* pane = new DetailPane(engine, static_cast<bool>(onClose), parent);
        pane->setPlayer(player);
        pane->setTorrentID(QString::fromStdString(id));
        bindTab(pane, ui);
        if (onClose)
            QObject::connect(pane, &DetailPane::closeRequested, pane, onClose);
        QObject::connect(pane->filesView(), &FilesView::playerWindowRequested, pane,
                         openPlayerWindow);
        return pane;
    };
    parts.contentsPage = [&engine, &ui, player](QWidget* parent, const TorrentStatus& torrent,
                                                MainView::Parts::ContentsActions actions) {
        auto* page = new TorrentContentsView(engine, parent);
        page->setPlayer(player);
        page->setTorrent(torrent);
        std::string id = torrent.id;
        // The page follows every published status of its torrent.
        QObject::connect(&engine, &TorrentEngine::torrentsChanged, page, [page, &engine, id] {
            if (auto t = engine.torrent(id))
                page->setTorrent(*t);
        });
        QObject::connect(page, &TorrentContentsView::back, page, actions.back);
        QObject::connect(page, &TorrentContentsView::limitsRequested, page, actions.onLimits);
        QObject::connect(page, &TorrentContentsView::moveRequested, page, actions.onMove);
        QObject::connect(page, &TorrentContentsView::removeRequested, page, actions.onRemove);
        QObject::connect(page, &TorrentContentsView::playerWindowRequested, page, openPlayerWindow);
        QObject::connect(page, &TorrentContentsView::detailPaneCreated, page,
                         [&ui](DetailPane* pane) { bindTab(pane, ui); });
        // The switches live in the window model.
        QObject::connect(page, &TorrentContentsView::queryChanged, &ui,
                         [&ui](const QString& q) { ui.setContentsQuery(q.toStdString()); });
        QObject::connect(page, &TorrentContentsView::allFilesChanged, &ui,
                         [&ui](bool on) { ui.setContentsAllFiles(on); });
        QObject::connect(page, &TorrentContentsView::compactChanged, &ui,
                         [&ui](bool on) { ui.setContentsCompact(on); });
        QObject::connect(&ui, &MainUIState::contentsQueryChanged, page, [page, &ui] {
            page->setQuery(QString::fromStdString(ui.contentsQuery()));
        });
        QObject::connect(&ui, &MainUIState::contentsAllFilesChanged, page,
                         [page, &ui] { page->setAllFiles(ui.contentsAllFiles()); });
        QObject::connect(&ui, &MainUIState::contentsCompactChanged, page,
                         [page, &ui] { page->setCompact(ui.contentsCompact()); });
        return static_cast<QWidget*>(page);
    };
}

} // namespace tevro
