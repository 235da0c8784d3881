#include "tevro/shell/sidebar_offers_state.h"

#include <algorithm>

#include <QApplication>
#include <QMainWindow>
#include <QWidget>

#include "quorvel-kit/offers/offers_model.h"
#include "quorvel-kit/offers/quorvel_offers.h"
#include "tevro/shell/main_ui_state.h"

namespace tevro {

namespace {

// The part of the window the page is shown in, and what the window adds
// around it (a menu bar).
QWidget* contentOf(QWidget* window) {
    if (auto* main = qobject_cast<QMainWindow*>(window); main && main->centralWidget())
        return main->centralWidget();
    return window;
}

} // namespace

SidebarOffersState& SidebarOffersState::shared() {
    // Kept for the life of the process, as the facade it reads.
    static SidebarOffersState* state =
        new SidebarOffersState(quorvel::QuorvelOffers::shared(), MainUIState::shared());
    return *state;
}

SidebarOffersState::SidebarOffersState(quorvel::QuorvelOffers& source, MainUIState& ui,
                                       QObject* parent)
    : QObject(parent), m_model(std::make_unique<quorvel::OffersModel>(source)), m_ui(ui) {
    m_ui.setOffersCloser([this] { close(); });
}

SidebarOffersState::~SidebarOffersState() {
    m_ui.setOffersCloser({});
}

void SidebarOffersState::setPresented(bool value) {
    if (value == m_presented)
        return;
    m_presented = value;
    emit presentedChanged();
}

void SidebarOffersState::setRefreshing(bool value) {
    if (value == m_refreshing)
        return;
    m_refreshing = value;
    emit refreshingChanged();
}

void SidebarOffersState::refresh(bool force, std::function<void()> done) {
    if (m_refreshing || m_presented) {
        if (done)
            done();
        return;
    }
    setRefreshing(true);
    QPointer<SidebarOffersState> self(this);
    m_model->refresh(force, [self, done = std::move(done)] {
        if (self)
            self->setRefreshing(false);
        if (done)
            done();
    });
}

void SidebarOffersState::present(std::function<void()> done) {
    if (m_refreshing || m_presented) {
        if (done)
            done();
        return;
    }
    const std::uint64_t ticket = ++m_tickets;
    m_request = ticket;
    QPointer<SidebarOffersState> self(this);
    refresh(false, [self, ticket, done = std::move(done)] {
        // A close while the list loaded wins over this present.
        if (self && self->m_request == ticket && !self->m_model->offers().empty()) {
            self->m_ui.setShowSettings(false);
            self->m_ui.setOpenedTorrentID(std::nullopt);
            self->raiseMinimumSize();
            self->setPresented(true);
        }
        if (done)
            done();
    });
}

QWidget* SidebarOffersState::mainWindow() {
    for (QWidget* window : QApplication::topLevelWidgets())
        if (window->objectName().startsWith(QLatin1String("main")))
            return window;
    return nullptr;
}

void SidebarOffersState::raiseMinimumSize() {
    QWidget* window = mainWindow();
    if (!window)
        return;
    m_window = window;
    m_previousMinimum = window->minimumSize();
    QWidget* content = contentOf(window);
    const QSize around = content == window ? QSize(0, 0) : window->size() - content->size();
    const QSize contentMinimum = (window->minimumSize() - around).expandedTo(QSize(0, 0));
    const int height = m_model->pageCount() > 1 ? kPagedMinimumHeight : kMinimumHeight;
    const QSize minimum(std::max(contentMinimum.width(), kMinimumWidth),
                        std::max(contentMinimum.height(), height));
    window->setMinimumSize(minimum + around);
    const QSize current = content->size();
    // A window that is large enough keeps its size.
    if (current.width() < minimum.width() || current.height() < minimum.height())
        window->resize(current.expandedTo(minimum) + around);
}

void SidebarOffersState::close() {
    m_request.reset();
    setPresented(false);
    if (m_window && m_previousMinimum)
        m_window->setMinimumSize(*m_previousMinimum);
    m_window.clear();
    m_previousMinimum.reset();
}

} // namespace tevro
