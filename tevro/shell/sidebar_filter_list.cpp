#include "tevro/shell/sidebar_filter_list.h"

#include <QAbstractButton>
#include <QFontMetricsF>
#include <QPainter>
#include <QVBoxLayout>

#include "tevro/engine/torrent_engine.h"
#include "tevro/shell/library_selection.h"
#include "tevro/library/library_style.h"
#include "tevro/library/symbols.h"

namespace tevro {

namespace {

// One filter row: title and count, drawn as selected when checked.
class FilterRow : public QAbstractButton {
public:
    FilterRow(const QString& title, std::string symbol, QWidget* parent)
        : QAbstractButton(parent), m_symbol(std::move(symbol)) {
        setText(title);
        setCheckable(true);
        setAutoExclusive(false);
        setFixedHeight(34);
        setAccessibleName(title);
        setCursor(Qt::PointingHandCursor);
    }
    void setCount(int count) {
        if (count == m_count)
            return;
        m_count = count;
        update();
    }
    int count() const { return m_count; }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        bool selected = isChecked();
        QRectF r = rect();
        if (selected) {
            QColor fill = LibraryStyle::accent();
            fill.setAlphaF(0.12f);
            p.setPen(Qt::NoPen);
            p.setBrush(fill);
            p.drawRoundedRect(r, 9, 9);
            p.setBrush(LibraryStyle::accent());
            p.drawRoundedRect(QRectF(1, (r.height() - 16) / 2, 3, 16), 1.5, 1.5);
        }
        QColor fg = selected ? QColor(Qt::white) : LibraryStyle::muted();
        p.setPen(fg);
        Symbols::paint(p, QRectF(13, (r.height() - 15) / 2, 18, 15), m_symbol, fg);
        // The title takes what the count leaves (a spacer of at least 2 between them).
        const QFont countFont = LibraryStyle::font(10, QFont::Medium);
        const QString count = m_count > 0 ? QString::number(m_count) : QString();
        const qreal countWidth =
            count.isEmpty() ? 0 : QFontMetricsF(countFont).horizontalAdvance(count) + 2;
        const QFont titleFont = LibraryStyle::font(12, selected ? QFont::DemiBold : QFont::Normal);
        p.setFont(titleFont);
        QRectF text(13 + 18 + 11, 0, r.width() - 13 - 18 - 11 - 13 - countWidth, r.height());
        p.drawText(text, Qt::AlignLeft | Qt::AlignVCenter,
                   QFontMetricsF(titleFont).elidedText(this->text(), Qt::ElideRight, text.width()));
        if (!count.isEmpty()) {
            QColor countColour = fg;
            countColour.setAlphaF(0.65f);
            p.setPen(countColour);
            p.setFont(countFont);
            p.drawText(QRectF(0, 0, r.width() - 13, r.height()), Qt::AlignRight | Qt::AlignVCenter,
                       count);
        }
    }

private:
    std::string m_symbol;
    int m_count = 0;
};

} // namespace

SidebarFilterList::SidebarFilterList(TorrentEngine& engine, MainUIState& ui, QWidget* parent)
    : QWidget(parent), m_engine(engine), m_ui(ui) {
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(12, 12, 12, 0);
    column->setSpacing(3);
    for (TorrentFilter filter : kAllTorrentFilters) {
        auto* row = new FilterRow(title(filter), symbol(filter).toStdString(), this);
        row->setObjectName(QString::fromUtf8(rawValue(filter).data()));
        connect(row, &QAbstractButton::clicked, this, [this, filter] { choose(filter); });
        column->addWidget(row);
        m_rows[filter] = row;
    }
    column->addStretch(1);
    connect(&engine, &TorrentEngine::torrentsChanged, this, &SidebarFilterList::refresh);
    connect(&ui, &MainUIState::filterChanged, this, &SidebarFilterList::refresh);
    connect(&ui, &MainUIState::showSettingsChanged, this, &SidebarFilterList::refresh);
    refresh();
}

QString SidebarFilterList::title(TorrentFilter filter) {
    switch (filter) {
    case TorrentFilter::all:
        return QStringLiteral("Медиатека");
    case TorrentFilter::downloading:
        return QStringLiteral("Загружаются");
    case TorrentFilter::seeding:
        return QStringLiteral("Раздаются");
    case TorrentFilter::completed:
        return QStringLiteral("Завершённые");
    case TorrentFilter::paused:
        return QStringLiteral("На паузе");
    case TorrentFilter::active:
        return QStringLiteral("Активные");
    case TorrentFilter::errors:
        return QStringLiteral("С ошибками");
    }
    return {};
}

QString SidebarFilterList::symbol(TorrentFilter filter) {
    static const char* const symbols[] = {
        "tray.full",    "arrow.down.circle",      "arrow.up.circle",         "checkmark.circle",
        "pause.circle", "bolt.horizontal.circle", "exclamationmark.triangle"};
    return QString::fromLatin1(symbols[int(filter)]);
}

void SidebarFilterList::setOffersPresented(std::function<bool()> presented) {
    m_offersPresented = std::move(presented);
    refresh();
}

void SidebarFilterList::choose(TorrentFilter filter) {
    m_ui.setShowSettings(false);
    m_ui.setOpenedTorrentID(std::nullopt);
    m_ui.setFilter(filter);
    refresh();
}

void SidebarFilterList::refresh() {
    auto counts = LibrarySelection::counts(m_engine.torrents());
    bool offers = m_offersPresented && m_offersPresented();
    for (auto& [filter, button] : m_rows) {
        auto* row = static_cast<FilterRow*>(button);
        row->setCount(counts[filter]);
        row->setChecked(!offers && !m_ui.showSettings() && m_ui.filter() == filter);
        row->setAccessibleDescription(counts[filter] > 0 ? QString::number(counts[filter])
                                                         : QString());
    }
}

} // namespace tevro
