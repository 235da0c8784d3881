#include "tevro/shell/sidebar_network_status.h"

#include <algorithm>

#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

#include "tevro/engine/torrent_engine.h"
#include "tevro/shell/shell_style.h"

namespace tevro {

SidebarNetworkStatus::SidebarNetworkStatus(TorrentEngine& engine, QWidget* parent)
    : QWidget(parent), m_engine(engine) {
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(8);
    auto* top = new QHBoxLayout;
    top->setSpacing(4);
    m_dht = new QLabel(this);
    m_profile = new QLabel(this);
    top->addWidget(m_dht);
    top->addStretch(1);
    top->addWidget(m_profile);
    column->addLayout(top);
    m_port = new QLabel(this);
    m_banned = new QLabel(this);
    column->addWidget(m_port);
    column->addWidget(m_banned);
    for (QLabel* label : {m_dht, m_profile, m_port, m_banned})
        label->setFont(ShellStyle::font(9, QFont::Normal, true));
    connect(&engine, &TorrentEngine::sessionInfoChanged, this, &SidebarNetworkStatus::refresh);
    connect(&engine, &TorrentEngine::settingsChanged, this, &SidebarNetworkStatus::refresh);
    refresh();
}

std::string SidebarNetworkStatus::portText(const SessionInfo& info, std::int64_t listenPort) {
    std::string text = "Порт " + std::to_string(listenPort);
    if (!info.listenErrors.empty())
        return text + " занят";
    if (info.incoming)
        return text + " открыт";
    if (!info.portmap.empty())
        return text + " · " + info.portmap;
    return text;
}

std::string SidebarNetworkStatus::listenSummary(const SessionInfo& info) {
    std::vector<std::string> addresses;
    for (const auto& entry : info.listening) {
        auto space = entry.rfind(' ');
        std::string word = space == std::string::npos ? entry : entry.substr(space + 1);
        if (word.empty() || word.front() != '[') {
            if (auto colon = word.rfind(':'); colon != std::string::npos)
                word.resize(colon);
        }
        bool local = false;
        for (const char* prefix : {"127.", "::1", "fe80", "198.18."})
            local = local || word.starts_with(prefix);
        if (local || std::ranges::find(addresses, word) != addresses.end())
            continue;
        addresses.push_back(word);
    }
    if (addresses.size() > 6)
        addresses.resize(6);
    addresses.insert(addresses.end(), info.listenErrors.begin(), info.listenErrors.end());
    std::string joined;
    for (std::size_t i = 0; i < addresses.size(); ++i)
        joined += (i ? "\n" : "") + addresses[i];
    return joined;
}

std::string SidebarNetworkStatus::profileName(NetworkProfile profile) {
    switch (profile) {
    case NetworkProfile::standard:
        return "Обычный";
    case NetworkProfile::russia:
        return "Россия";
    case NetworkProfile::china:
        return "Китай";
    }
    return {};
}

void SidebarNetworkStatus::refresh() {
    const SessionInfo& info = m_engine.sessionInfo();
    const AppSettings& settings = m_engine.settings();
    m_dht->setText(ShellStyle::symbolText("point.3.connected.trianglepath.dotted",
                                          "DHT " + std::to_string(info.dhtNodes)));
    m_profile->setText(QString::fromStdString(profileName(settings.profile)));
    m_port->setText(ShellStyle::symbolText(info.incoming ? "checkmark.shield" : "shield",
                                           portText(info, settings.listenPort)));
    m_port->setToolTip(QString::fromStdString(listenSummary(info)));
    QColor portColour = info.listenErrors.empty() ? ShellStyle::muted() : QColor(Qt::red);
    m_port->setStyleSheet(QStringLiteral("color: %1").arg(portColour.name()));
    m_banned->setVisible(info.banned >= 1);
    m_banned->setText(
        ShellStyle::symbolText("hand.raised", "Заблокировано: " + std::to_string(info.banned)));
}

} // namespace tevro
