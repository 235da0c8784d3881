#include "tevro/shell/control_service.h"

#include <array>
#include <cstdio>

#include <QUrl>

#include "tevro/automation/control_routes.h"
#include "tevro/automation/control_server.h"
#include "tevro/player/player_model.h"
#include "tevro/shell/main_ui_state.h"
#include "tevro/shell/offers_route.h"
#include "tevro/shell/sidebar_offers_state.h"
#include "tevro/shell/window_opener.h"

namespace tevro {

namespace {

constexpr std::array<std::string_view, 4> kSettingsPages = {"downloads", "speed", "network",
                                                            "player"};

std::optional<SettingsPage> settingsPageFromRaw(std::string_view raw) {
    for (std::size_t i = 0; i < kSettingsPages.size(); ++i)
        if (kSettingsPages[i] == raw)
            return SettingsPage(i);
    return std::nullopt;
}

const std::string* value(const CommandLayer::QueryMap& query, const char* key) {
    auto it = query.find(key);
    return it == query.end() ? nullptr : &it->second;
}

bool isOne(const CommandLayer::QueryMap& query, const char* key) {
    const std::string* v = value(query, key);
    return v && *v == "1";
}

} // namespace

CommandLayer::Sources ControlService::sources(std::function<void()> quit) {
    CommandLayer::Sources s;
    s.ui = [] { return uiState(MainUIState::shared()); };
    s.select = [](const CommandLayer::QueryMap& query) { select(MainUIState::shared(), query); };
    s.openedTorrent = [] { return MainUIState::shared().openedTorrentID(); };
    s.player = &PlayerModel::shared();
    s.openWindow = [](const std::string& identifier) { WindowOpener::shared().open(identifier); };
    s.offers = [](const CommandLayer::QueryMap& query, CommandLayer::Reply reply) {
        OffersRoute::run(SidebarOffersState::shared(), query, std::move(reply));
    };
    s.quit = std::move(quit);
    return s;
}

Json ControlService::uiState(const MainUIState& ui) {
    Json selection = Json::array();
    for (const std::string& id : ui.selection())
        selection.push_back(id);
    // The sheet's file, or what the sheet was given when that names no file:
    // a sheet on screen is never reported as none.
    std::string addSheet;
    if (const auto& url = ui.addURL()) {
        QUrl parsed(QString::fromStdString(*url));
        if (parsed.isLocalFile())
            addSheet = parsed.toLocalFile().toStdString();
        // Valid UTF-8 whatever a link held: one bad byte would leave the
        // whole document unwritable.
        if (addSheet.empty())
            addSheet =
                url->empty() ? std::string("(empty)") : QString::fromStdString(*url).toStdString();
    }
    const LibraryPreferences& prefs = ui.preferences();
    return Json{{"selection", std::move(selection)},
                {"tab", rawValue(ui.tab())},
                {"filter", rawValue(ui.filter())},
                {"addSheet", addSheet},
                {"magnetSheet", ui.showMagnet()},
                {"layout", rawValue(prefs.layout)},
                {"sort", rawValue(prefs.sort)},
                {"details", ui.showDetails()},
                {"search", ui.search()},
                {"contents", ui.openedTorrentID().value_or("")},
                {"transferDetailsCollapsed", prefs.transferDetailsCollapsed},
                {"settings", ui.showSettings()},
                {"settingsPage", kSettingsPages[std::size_t(ui.settingsPage())]}};
}

void ControlService::select(MainUIState& ui, const CommandLayer::QueryMap& q) {
    ui.setShowSettings(isOne(q, "settings"));
    if (const std::string* v = value(q, "settingsPage"))
        if (auto page = settingsPageFromRaw(*v))
            ui.setSettingsPage(*page);
    if (const std::string* id = value(q, "id")) {
        ui.setFilter(TorrentFilter::all);
        ui.setSelection({*id});
    }
    if (const std::string* v = value(q, "tab"))
        if (auto tab = detailTabFromRaw(*v))
            ui.setTab(*tab);
    if (const std::string* v = value(q, "filter"))
        if (auto filter = torrentFilterFromRaw(*v))
            ui.setFilter(*filter);
    if (const std::string* v = value(q, "search"))
        ui.setSearch(*v);
    if (const std::string* v = value(q, "layout"))
        if (auto layout = libraryLayoutFromRaw(*v)) {
            LibraryPreferences prefs = ui.preferences();
            prefs.layout = *layout;
            ui.setPreferences(prefs);
        }
    if (const std::string* v = value(q, "sort"))
        if (auto sort = librarySortFromRaw(*v)) {
            LibraryPreferences prefs = ui.preferences();
            prefs.sort = *sort;
            ui.setPreferences(prefs);
        }
    if (value(q, "details"))
        ui.setShowDetails(isOne(q, "details"));
    if (isOne(q, "clear"))
        ui.setSelection({});
    if (const std::string* v = value(q, "contents"))
        ui.setOpenedTorrentID(v->empty() ? std::nullopt : std::optional(*v));
    if (value(q, "allFiles"))
        ui.setContentsAllFiles(isOne(q, "allFiles"));
    if (value(q, "compact"))
        ui.setContentsCompact(isOne(q, "compact"));
    if (const std::string* v = value(q, "contentsSearch"))
        ui.setContentsQuery(*v);
    if (const std::string* v = value(q, "transferDetails"); v && *v == "toggle")
        ui.toggleTransferDetails();
}

ControlService::ControlService(TorrentEngine& engine, CommandLayer::Sources sources)
    : m_commands(std::make_unique<CommandLayer>(engine, std::move(sources))),
      m_routes(std::make_unique<ControlRoutes>(*m_commands)),
      m_server(std::make_unique<ControlServer>(*m_routes)) {}

ControlService::~ControlService() {
    stop();
}

bool ControlService::start(std::uint16_t port) {
    if (m_server->start(port))
        return true;
    std::fprintf(stderr, "tevro: the control server cannot listen on 127.0.0.1:%u\n",
                 unsigned(port));
    return false;
}

void ControlService::stop() {
    if (m_server)
        m_server->stop();
}

} // namespace tevro
