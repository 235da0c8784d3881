#pragma once

// The one controller of the offers page: it owns the program's offers model,
// decides when the list is loaded, shows the page in place of the main
// window's content (after leaving the settings and a contents page, and with
// the window's minimum size raised so the page fits) and closes it again.
// Main thread only; signals fire only on a change.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

#include <QObject>
#include <QPointer>
#include <QSize>

namespace quorvel {
class OffersModel;
class QuorvelOffers;
} // namespace quorvel

class QWidget;

namespace tevro {

class MainUIState;

class SidebarOffersState : public QObject {
    Q_OBJECT
public:
    static constexpr int kMinimumWidth = 1097;
    static constexpr int kMinimumHeight = 680;
    static constexpr int kPagedMinimumHeight = 724;

    // Over the shared facade and the shared window state, created on first use.
    static SidebarOffersState& shared();

    // Installs itself as the closer of `ui`'s offers page.
    SidebarOffersState(quorvel::QuorvelOffers& source, MainUIState& ui, QObject* parent = nullptr);
    ~SidebarOffersState() override;

    quorvel::OffersModel& model() const { return *m_model; }
    bool isPresented() const { return m_presented; }
    bool isRefreshing() const { return m_refreshing; }

    // Loads the list unless a load runs or the page is shown; `done` runs
    // after the load, or at once when turned away.
    void refresh(bool force, std::function<void()> done = {});
    // Loads the list and shows the page if it has offers and no close came
    // in between; `done` runs at the end either way.
    void present(std::function<void()> done = {});
    // Hides the page, drops a pending present and gives the window back its
    // former minimum size (not its size).
    void close();

    // The first window whose identifier begins with "main".
    static QWidget* mainWindow();

signals:
    void presentedChanged();
    void refreshingChanged();

private:
    void setPresented(bool value);
    void setRefreshing(bool value);
    void raiseMinimumSize();

    std::unique_ptr<quorvel::OffersModel> m_model;
    MainUIState& m_ui;
    bool m_presented = false;
    bool m_refreshing = false;
    std::optional<std::uint64_t> m_request;
    std::uint64_t m_tickets = 0;
    QPointer<QWidget> m_window;
    std::optional<QSize> m_previousMinimum;
};

} // namespace tevro
