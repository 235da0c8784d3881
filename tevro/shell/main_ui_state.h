#pragma once

// The main window's user-interface state shared by its views, the menus, the
// window opener and the local servers: filter, selection, search, open sheets
// and screens, and the library preferences saved as "library.json". Main
// thread only; setters notify only when the value differs.

#include <array>
#include <filesystem>
#include <functional>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <system_error>

#include <QObject>

#include "tevro/media/library_preferences.h"

namespace tevro {

enum class TorrentFilter { all, downloading, seeding, completed, paused, active, errors };
inline constexpr std::array<TorrentFilter, 7> kAllTorrentFilters = {
    TorrentFilter::all,       TorrentFilter::downloading, TorrentFilter::seeding,
    TorrentFilter::completed, TorrentFilter::paused,      TorrentFilter::active,
    TorrentFilter::errors};
std::string_view rawValue(TorrentFilter filter);
// Exact, case-sensitive.
std::optional<TorrentFilter> torrentFilterFromRaw(std::string_view raw);

enum class DetailTab { files, info, peers, trackers };
std::string_view rawValue(DetailTab tab);
std::optional<DetailTab> detailTabFromRaw(std::string_view raw);

// The pages of the settings screen, in their order.
enum class SettingsPage { downloads, speed, network, player };

class MainUIState : public QObject {
    Q_OBJECT
public:
    // The application's state over the data folder, created on first use.
    static MainUIState& shared();

    // Reads "library.json" in `dataFolder`; defaults when it is missing or broken,
    // a damaged file set aside.
    explicit MainUIState(std::filesystem::path dataFolder, QObject* parent = nullptr);

    TorrentFilter filter() const { return m_filter; }
    // Closes the offers page on every assignment, an unchanged one included.
    void setFilter(TorrentFilter filter);
    const std::set<std::string>& selection() const { return m_selection; }
    void setSelection(std::set<std::string> selection);
    DetailTab tab() const { return m_tab; }
    void setTab(DetailTab tab);
    const std::string& search() const { return m_search; }
    void setSearch(std::string search);
    // A ".torrent" file URL waiting for the add sheet.
    const std::optional<std::string>& addURL() const { return m_addURL; }
    void setAddURL(std::optional<std::string> url);
    bool showMagnet() const { return m_showMagnet; }
    void setShowMagnet(bool show);
    const std::string& magnetText() const { return m_magnetText; }
    void setMagnetText(std::string text);
    bool showDetails() const { return m_showDetails; }
    void setShowDetails(bool show);
    bool showSettings() const { return m_showSettings; }
    // Showing the settings closes the offers page.
    void setShowSettings(bool show);
    SettingsPage settingsPage() const { return m_settingsPage; }
    void setSettingsPage(SettingsPage page);
    const std::optional<std::string>& openedTorrentID() const { return m_openedTorrentID; }
    void setOpenedTorrentID(std::optional<std::string> id);
    bool contentsAllFiles() const { return m_contentsAllFiles; }
    void setContentsAllFiles(bool value);
    bool contentsCompact() const { return m_contentsCompact; }
    void setContentsCompact(bool value);
    const std::string& contentsQuery() const { return m_contentsQuery; }
    void setContentsQuery(std::string query);
    const LibraryPreferences& preferences() const { return m_preferences; }
    // Every assignment notifies and saves "library.json", an equal value included.
    void setPreferences(const LibraryPreferences& preferences);
    void toggleTransferDetails();

    const std::filesystem::path& libraryFile() const { return m_libraryFile; }
    // How reading "library.json" went at creation.
    const FileCheck& libraryCheck() const { return m_libraryCheck; }
    // Writes "library.json" now, through the writer when one is set; never a
    // file that could not be read.
    void savePreferences();
    // Runs a write of a data-folder file by name, reporting and retrying a
    // failed one (the engine's); without one the file is written directly.
    using Writer = std::function<void(const std::string& name, std::function<std::error_code()>)>;
    void setWriter(Writer writer) { m_writer = std::move(writer); }
    // How the offers page is closed; none until the offers module is there.
    void setOffersCloser(std::function<void()> close) { m_closeOffers = std::move(close); }

signals:
    void filterChanged();
    void selectionChanged();
    void tabChanged();
    void searchChanged();
    void addURLChanged();
    void showMagnetChanged();
    void magnetTextChanged();
    void showDetailsChanged();
    void showSettingsChanged();
    void settingsPageChanged();
    void openedTorrentIDChanged();
    void contentsAllFilesChanged();
    void contentsCompactChanged();
    void contentsQueryChanged();
    void preferencesChanged();

private:
    void closeOffers();

    std::filesystem::path m_libraryFile;
    FileCheck m_libraryCheck;
    Writer m_writer;
    std::function<void()> m_closeOffers;
    TorrentFilter m_filter = TorrentFilter::all;
    std::set<std::string> m_selection;
    DetailTab m_tab = DetailTab::files;
    std::string m_search;
    std::optional<std::string> m_addURL;
    bool m_showMagnet = false;
    std::string m_magnetText;
    bool m_showDetails = false;
    bool m_showSettings = false;
    SettingsPage m_settingsPage = SettingsPage::downloads;
    std::optional<std::string> m_openedTorrentID;
    bool m_contentsAllFiles = false;
    bool m_contentsCompact = false;
    std::string m_contentsQuery;
    LibraryPreferences m_preferences;
};

} // namespace tevro
