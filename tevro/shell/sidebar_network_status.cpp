#include "tevro/shell/sidebar_network_status.h"

#include <algorithm>

#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

#include "tevro/engine/torrent_engine.h"
#include "tevro/library/fitted_label.h"
#include "tevro/library/library_style.h"
#include "tevro/library/symbols.h"

namespace tevro {

namespace {

// A symbol and a label side by side, 4 pixels apart.
QWidget* symbolRow(QWidget* parent, QLabel*& symbol, QLabel*& text) {
    auto* row = new QWidget(parent);
    auto* box = new QHBoxLayout(row);
    box->setContentsMargins(0, 0, 0, 0);
    box->setSpacing(4);
    symbol = new QLabel(row);
    text = new QLabel(row);
    text->setFont(LibraryStyle::font(9));
    box->addWidget(symbol);
    box->addWidget(text, 1);
    return row;
}

} // namespace

SidebarNetworkStatus::SidebarNetworkStatus(TorrentEngine& engine, QWidget* parent)
    : QWidget(parent), m_engine(engine) {
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(8);
    auto* top = new QHBoxLayout;
    top->setSpacing(4);
    top->addWidget(symbolRow(this, m_dhtSymbol, m_dht), 1);
    m_profile = new QLabel(this);
    m_profile->setFont(LibraryStyle::font(9));
    top->addWidget(m_profile);
    column->addLayout(top);
    m_portRow = new QWidget(this);
    auto* portBox = new QHBoxLayout(m_portRow);
    portBox->setContentsMargins(0, 0, 0, 0);
    portBox->setSpacing(4);
    m_portSymbol = new QLabel(m_portRow);
    m_port = new FittedLabel(0.85, m_portRow);
    m_port->setFont(LibraryStyle::font(9));
    portBox->addWidget(m_portSymbol);
    portBox->addWidget(m_port, 1);
    column->addWidget(m_portRow);
    QLabel* bannedSymbol = nullptr;
    m_bannedRow = symbolRow(this, bannedSymbol, m_banned);
    bannedSymbol->setPixmap(Symbols::pixmap("hand.raised", LibraryStyle::muted(), 10, 2.0));
    column->addWidget(m_bannedRow);
    m_dhtSymbol->setPixmap(
        Symbols::pixmap("point.3.connected.trianglepath.dotted", LibraryStyle::muted(), 10, 2.0));
    for (QLabel* label : {m_dht, m_profile, m_banned})
        label->setStyleSheet(QStringLiteral("color: %1").arg(LibraryStyle::muted().name()));
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
    m_dht->setText(QStringLiteral("DHT ") + QString::number(info.dhtNodes));
    m_profile->setText(QString::fromStdString(profileName(settings.profile)));
    QColor portColour = info.listenErrors.empty() ? LibraryStyle::muted() : LibraryStyle::red();
    m_portSymbol->setPixmap(
        Symbols::pixmap(info.incoming ? "checkmark.shield" : "shield", portColour, 10, 2.0));
    m_port->setText(QString::fromStdString(portText(info, settings.listenPort)));
    m_port->setColor(portColour);
    m_portRow->setToolTip(QString::fromStdString(listenSummary(info)));
    m_bannedRow->setVisible(info.banned >= 1);
    m_banned->setText(QStringLiteral("Заблокировано: ") + QString::number(info.banned));
}

} // namespace tevro
