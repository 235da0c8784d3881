#pragma once

// What a host application holds to get updates: the model over one backend,
// menu items whose title and symbol follow the state, the update window, and a
// desktop notice when a release becomes available.

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <QObject>
#include <QPointer>
#include <QWidget>

#include "quorvel-kit/updates/app_bundle.h"
#include "quorvel-kit/updates/desktop_notices.h"
#include "quorvel-kit/updates/quorvel_updates.h"
#include "quorvel-kit/updates/update_view.h"

class QAction;

namespace quorvel {

class ApplicationUpdates : public QObject {
    Q_OBJECT
public:
    using Language = std::function<std::optional<std::string>()>;

    // `host` decides whether notices are posted: only an installed copy posts them.
    ApplicationUpdates(std::shared_ptr<UpdateBackend> backend, Language language,
                       AppBundle host = AppBundle::main(), QObject* parent = nullptr);
    ~ApplicationUpdates() override;

    // The store copy's front, over the storefront backend.
    static std::unique_ptr<ApplicationUpdates> appStore(AppBundle bundle, Language language);

    QuorvelUpdates& model() const { return *m_model; }

    void start();
    // A new menu item ("quorvel.updates") that opens the update window; owned by `parent`.
    QAction* menuItem(QObject* parent = nullptr);
    // Starts if needed, checks when a check is allowed, and brings the window forward.
    void showUpdates();

    // The update window once shown, else null.
    QWidget* window() const { return m_window; }
    // The host's look for the window's buttons; set before the window is first shown.
    void setButtonLook(UpdateView::ButtonLook look);

private:
    void refreshMenuItems();
    void refresh(QAction* item);
    void postNotice(const UpdateRelease& release);
    QString text(int key) const;

    QuorvelUpdates* m_model = nullptr;
    Language m_language;
    AppBundle m_host;
    QPointer<QWidget> m_window;
    std::vector<QPointer<QAction>> m_menuItems;
    DesktopNotices m_notices;
    UpdateView::ButtonLook m_buttonLook;
};

} // namespace quorvel
