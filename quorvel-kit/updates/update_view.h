#pragma once

// The update window's content: the phase as a status line, the release on
// offer with its notes, progress, the automatic-checks switch, the notice
// button, and one button per action the backend allows now, in a fixed order.

#include <array>
#include <functional>
#include <optional>
#include <string>

#include <QPointer>
#include <QWidget>

#include "quorvel-kit/updates/app_bundle.h"
#include "quorvel-kit/updates/quorvel_updates.h"
#include "quorvel-kit/updates/update_text.h"

class QAbstractButton;
class QCheckBox;
class QLabel;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;

namespace quorvel {

class UpdateView : public QWidget {
    Q_OBJECT
public:
    // Gives a button the host's look; the kit draws none of its own.
    using ButtonLook = std::function<void(QAbstractButton*)>;

    // `host` decides whether the notify button may ask for notices: only an
    // installed copy may.
    UpdateView(QuorvelUpdates* model, std::optional<std::string> language, ButtonLook look = {},
               AppBundle host = AppBundle::main(), QWidget* parent = nullptr);

    // The order buttons appear in.
    static const std::array<UpdateAction, 9>& buttonOrder();
    static UpdateText::Key statusKey(const UpdatePhase& phase);
    static UpdateText::Key buttonKey(UpdateAction action);

private:
    void refresh();
    QString text(UpdateText::Key key) const;

    QPointer<QuorvelUpdates> m_model;
    std::optional<std::string> m_language;
    QLabel* m_status = nullptr;
    QLabel* m_version = nullptr;
    QPlainTextEdit* m_notes = nullptr;
    QProgressBar* m_progress = nullptr;
    QLabel* m_received = nullptr;
    QCheckBox* m_automatic = nullptr;
    QPushButton* m_notify = nullptr;
    QWidget* m_buttons = nullptr;
    // One per action, in button order, made once and shown while allowed: a
    // button pressed during a refresh is still the one released.
    std::array<QPushButton*, 9> m_actionButtons{};
    AppBundle m_host;
};

} // namespace quorvel
