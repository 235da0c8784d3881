#pragma once

// Notices through the desktop's notification service on the session bus.
// Where no service runs, nothing is shown and nothing fails.

#include <map>
#include <string>

#include <QObject>
#include <QString>

namespace quorvel {

class DesktopNotices : public QObject {
    Q_OBJECT
public:
    explicit DesktopNotices(QObject* parent = nullptr);

    // Whether a notification service runs on the session bus now.
    static bool available();
    // Whether the user asked for notices (the update view's notify button);
    // none are posted before. The choice is kept in the host's defaults.
    static bool authorized();
    static void requestAuthorization();
    // A newer notice with the same identifier replaces the older one.
    void post(const std::string& identifier, const QString& title, const QString& body);

private:
    std::map<std::string, uint> m_shown; // identifier -> the service's notice id
};

} // namespace quorvel
