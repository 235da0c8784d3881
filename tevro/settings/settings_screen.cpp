#include "tevro/settings/settings_screen.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QScrollArea>
#include <QScrollBar>
#include <QVBoxLayout>

#include "tevro/library/library_style.h"
#include "tevro/library/symbols.h"
#include "tevro/settings/downloads_settings.h"
#include "tevro/settings/network_settings.h"
#include "tevro/settings/player_settings.h"
#include "tevro/settings/settings_style.h"
#include "tevro/settings/speed_settings.h"

namespace tevro {

namespace {

constexpr std::array<const char*, 4> kTitles = {"Загрузки", "Скорость", "Сеть", "Плеер"};
constexpr std::array<const char*, 4> kSymbols = {"arrow.down.circle", "speedometer", "network",
                                                 "play.rectangle"};

class PageTab : public SettingsNavigationButton {
public:
    PageTab(int page, QWidget* parent) : SettingsNavigationButton(parent), m_page(page) {
        setText(QString::fromUtf8(kTitles[std::size_t(page)]));
        setAccessibleName(text());
        setObjectName(QStringLiteral("settings.") +
                      QLatin1String(SettingsScreen::kPageRawValues[std::size_t(page)]));
        setCheckable(true);
        setFixedHeight(36);
        setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
        setMinimumWidth(90);
    }
    void setSelected(bool selected) {
        setChecked(selected);
        setFont(LibraryStyle::font(12, selected ? QFont::DemiBold : QFont::Normal));
        update();
    }

protected:
    void paintBackground(QPainter& p) override {
        if (isChecked())
            SettingsStyle::roundedBox(p, QRectF(rect()), 9,
                                      SettingsStyle::withAlpha(LibraryStyle::accent(), 0.12),
                                      Qt::transparent, 0);
    }
    void paintLabel(QPainter& p) override {
        QColor color = isChecked() ? LibraryStyle::accent() : LibraryStyle::muted();
        QFontMetrics fm(font());
        const char* symbol = kSymbols[std::size_t(m_page)];
        // The symbol table may not know every name; the title then stands alone.
        bool hasSymbol = Symbols::contains(symbol);
        qreal textWidth = fm.horizontalAdvance(text());
        qreal total = textWidth + (hasSymbol ? 14 + 6 : 0);
        qreal x = (width() - total) / 2;
        if (hasSymbol) {
            Symbols::paint(p, QRectF(x, (height() - 14) / 2.0, 14, 14), symbol, color);
            x += 20;
        }
        p.setPen(color);
        p.setFont(font());
        p.drawText(QRectF(x, 0, textWidth + 1, height()), Qt::AlignLeft | Qt::AlignVCenter, text());
    }

private:
    int m_page;
};

class Hairline : public QWidget {
public:
    explicit Hairline(QWidget* parent) : QWidget(parent) { setFixedHeight(1); }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter(this).fillRect(rect(), LibraryStyle::line());
    }
};

} // namespace

QString SettingsScreen::pageTitle(int page) {
    return page >= 0 && page < 4 ? QString::fromUtf8(kTitles[std::size_t(page)]) : QString();
}

SettingsScreen::SettingsScreen(TorrentEngine& engine, int page, QWidget* parent)
    : QWidget(parent), m_engine(engine), m_page(std::clamp(page, 0, 3)) {
    setObjectName(QStringLiteral("settingsScreen"));
    setFont(LibraryStyle::font(12));
    QPalette pal = palette();
    pal.setColor(QPalette::Window, LibraryStyle::background());
    pal.setColor(QPalette::Base, LibraryStyle::background());
    pal.setColor(QPalette::WindowText, LibraryStyle::text());
    pal.setColor(QPalette::Text, LibraryStyle::text());
    pal.setColor(QPalette::Highlight, LibraryStyle::accent());
    setPalette(pal);

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);

    auto* header = new QWidget(this);
    auto* headerColumn = new QVBoxLayout(header);
    headerColumn->setContentsMargins(28, 24, 28, 18);
    headerColumn->setSpacing(18);
    auto* title = new QLabel(QStringLiteral("Настройки"), header);
    QFont titleFont = LibraryStyle::font(26);
    titleFont.setLetterSpacing(QFont::AbsoluteSpacing, -0.8);
    title->setFont(titleFont);
    headerColumn->addWidget(title);
    auto* tabBar = new QWidget(header);
    tabBar->setMaximumWidth(SettingsStyle::kColumnWidth);
    auto* tabLine = new QHBoxLayout(tabBar);
    tabLine->setContentsMargins(0, 0, 0, 0);
    tabLine->setSpacing(6);
    for (int i = 0; i < 4; ++i) {
        auto* tab = new PageTab(i, tabBar);
        m_tabs[std::size_t(i)] = tab;
        tabLine->addWidget(tab, 1);
        connect(tab, &QPushButton::clicked, this, [this, tab, i] {
            // The selection is the owner's to keep; the tab shows it, not its own click.
            tab->setChecked(i == m_page);
            emit pageChosen(i);
        });
    }
    headerColumn->addWidget(tabBar);
    tabBar->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    column->addWidget(header);
    column->addWidget(new Hairline(this));

    m_scroll = new QScrollArea(this);
    m_scroll->setFrameShape(QFrame::NoFrame);
    m_scroll->setWidgetResizable(true);
    m_scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_scroll->viewport()->setAutoFillBackground(false);
    column->addWidget(m_scroll, 1);
    showPage();
}

void SettingsScreen::setPage(int page) {
    page = std::clamp(page, 0, 3);
    if (page == m_page)
        return;
    m_page = page;
    showPage();
}

void SettingsScreen::showPage() {
    for (int i = 0; i < 4; ++i)
        static_cast<PageTab*>(m_tabs[std::size_t(i)])->setSelected(i == m_page);
    auto* content = new QWidget;
    content->setAutoFillBackground(false);
    auto* outer = new QHBoxLayout(content);
    outer->setContentsMargins(24, 24, 24, 24);
    outer->setSpacing(0);
    switch (m_page) {
    case 0:
        m_pageWidget = new DownloadsSettings(m_engine);
        break;
    case 1:
        m_pageWidget = new SpeedSettings(m_engine);
        break;
    case 2:
        m_pageWidget = new NetworkSettings(m_engine);
        break;
    default:
        m_pageWidget = new PlayerSettings(m_engine);
        break;
    }
    m_pageWidget->setMaximumWidth(SettingsStyle::kColumnWidth);
    auto* pageColumn = new QVBoxLayout;
    pageColumn->setContentsMargins(0, 0, 0, 0);
    pageColumn->addWidget(m_pageWidget);
    pageColumn->addStretch(1);
    outer->addLayout(pageColumn, 1);
    // Beyond the column's width the rest of the area stays empty on the right.
    outer->addStretch(0);
    // A new page replaces the old one and starts at the top.
    delete m_scroll->takeWidget();
    m_scroll->setWidget(content);
    m_scroll->verticalScrollBar()->setValue(0);
}

void SettingsScreen::paintEvent(QPaintEvent*) {
    QPainter(this).fillRect(rect(), LibraryStyle::background());
}

} // namespace tevro
