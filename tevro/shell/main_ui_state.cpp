#include "tevro/shell/main_ui_state.h"

#include "tevro/core/storage.h"

namespace tevro {

namespace {

constexpr std::array<std::string_view, 7> kFilterNames = {
    "all", "downloading", "seeding", "completed", "paused", "active", "errors"};
constexpr std::array<std::string_view, 4> kTabNames = {"files", "info", "peers", "trackers"};

// Stores `value` and emits `changed` only when it differs.
template <class T, class Signal> void assign(MainUIState* self, T& field, T value, Signal changed) {
    if (field == value)
        return;
    field = std::move(value);
    emit(self->*changed)();
}

} // namespace

std::string_view rawValue(TorrentFilter filter) {
    return kFilterNames[std::size_t(filter)];
}

std::optional<TorrentFilter> torrentFilterFromRaw(std::string_view raw) {
    for (std::size_t i = 0; i < kFilterNames.size(); ++i)
        if (kFilterNames[i] == raw)
            return TorrentFilter(i);
    return std::nullopt;
}

std::string_view rawValue(DetailTab tab) {
    return kTabNames[std::size_t(tab)];
}

std::optional<DetailTab> detailTabFromRaw(std::string_view raw) {
    for (std::size_t i = 0; i < kTabNames.size(); ++i)
        if (kTabNames[i] == raw)
            return DetailTab(i);
    return std::nullopt;
}

MainUIState& MainUIState::shared() {
    static MainUIState* state = new MainUIState(Storage::home());
    return *state;
}

MainUIState::MainUIState(std::filesystem::path dataFolder, QObject* parent)
    : QObject(parent), m_libraryFile(std::move(dataFolder) / Storage::kLibraryFile),
      m_preferences(LibraryPreferences::load(m_libraryFile, &m_libraryCheck)) {
    // What could be read of a damaged file is on disk again at once.
    if (m_libraryCheck.result == FileCheck::Result::setAside)
        savePreferences();
}

void MainUIState::savePreferences() {
    if (!m_libraryCheck.writable())
        return;
    auto write = [this] {
        std::error_code error;
        m_preferences.save(m_libraryFile, &error);
        return error;
    };
    if (m_writer)
        m_writer(Storage::kLibraryFile, write);
    else
        write();
}

void MainUIState::closeOffers() {
    if (m_closeOffers)
        m_closeOffers();
}

void MainUIState::setFilter(TorrentFilter filter) {
    assign(this, m_filter, filter, &MainUIState::filterChanged);
    closeOffers();
}

void MainUIState::setSelection(std::set<std::string> selection) {
    assign(this, m_selection, std::move(selection), &MainUIState::selectionChanged);
}

void MainUIState::setTab(DetailTab tab) {
    assign(this, m_tab, tab, &MainUIState::tabChanged);
}

void MainUIState::setSearch(std::string search) {
    assign(this, m_search, std::move(search), &MainUIState::searchChanged);
}

void MainUIState::setAddURL(std::optional<std::string> url) {
    assign(this, m_addURL, std::move(url), &MainUIState::addURLChanged);
}

void MainUIState::setShowMagnet(bool show) {
    assign(this, m_showMagnet, show, &MainUIState::showMagnetChanged);
}

void MainUIState::setMagnetText(std::string text) {
    assign(this, m_magnetText, std::move(text), &MainUIState::magnetTextChanged);
}

void MainUIState::setShowDetails(bool show) {
    assign(this, m_showDetails, show, &MainUIState::showDetailsChanged);
}

void MainUIState::setShowSettings(bool show) {
    assign(this, m_showSettings, show, &MainUIState::showSettingsChanged);
    if (show)
        closeOffers();
}

void MainUIState::setSettingsPage(SettingsPage page) {
    assign(this, m_settingsPage, page, &MainUIState::settingsPageChanged);
}

void MainUIState::setOpenedTorrentID(std::optional<std::string> id) {
    assign(this, m_openedTorrentID, std::move(id), &MainUIState::openedTorrentIDChanged);
}

void MainUIState::setContentsAllFiles(bool value) {
    assign(this, m_contentsAllFiles, value, &MainUIState::contentsAllFilesChanged);
}

void MainUIState::setContentsCompact(bool value) {
    assign(this, m_contentsCompact, value, &MainUIState::contentsCompactChanged);
}

void MainUIState::setContentsQuery(std::string query) {
    assign(this, m_contentsQuery, std::move(query), &MainUIState::contentsQueryChanged);
}

void MainUIState::setPreferences(const LibraryPreferences& preferences) {
    m_preferences = preferences;
    emit preferencesChanged();
    savePreferences();
}

void MainUIState::toggleTransferDetails() {
    LibraryPreferences p = m_preferences;
    p.transferDetailsCollapsed = !p.transferDetailsCollapsed;
    setPreferences(p);
}

} // namespace tevro
