#include "tevro/torrent/info_view.h"

#include <cmath>

#include <QCheckBox>
#include <QDateTime>
#include <QFontDatabase>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QPointer>
#include <QPushButton>
#include <QScrollArea>
#include <QShowEvent>
#include <QVBoxLayout>

#include "tevro/core/format.h"
#include "tevro/engine/torrent_engine.h"
#include "tevro/library/library_button_style.h"
#include "tevro/library/library_style.h"
#include "tevro/library/pieces_bar.h"
#include "tevro/library/pieces_legend.h"
#include "tevro/library/transfer_progress.h"
#include "tevro/torrent/limits_sheet.h"
#include "tevro/torrent/refresh_loop.h"
#include "tevro/torrent/selectable_elided_label.h"

namespace tevro {

namespace {

QString bytes(std::int64_t n) {
    return QString::fromStdString(Format::bytes(std::max<std::int64_t>(0, n)));
}

QString rate(std::int64_t n) {
    return n < 1 ? QStringLiteral("—") : bytes(n) + QStringLiteral("/с");
}

QString limit(std::int64_t n) {
    return n < 1 ? QStringLiteral("∞") : bytes(n) + QStringLiteral("/с");
}

QString date(std::int64_t seconds) {
    if (seconds < 1)
        return QStringLiteral("—");
    return QLocale::system().toString(QDateTime::fromSecsSinceEpoch(seconds), QLocale::ShortFormat);
}

QString fixed2(double v) {
    return QString::number(v, 'f', 2);
}

QString percent(double fraction) {
    return QString::fromStdString(Format::percent(fraction));
}

QString duration(std::optional<double> seconds) {
    return QString::fromStdString(Format::duration(seconds));
}

void setText(QLabel* label, const QString& text) {
    if (label->text() != text)
        label->setText(text);
}

// The rows of the fact grid: the checking row, then six rows that are always there.
constexpr int kFactRows = 7;
constexpr int kFactColumns = 3;

} // namespace

std::vector<std::vector<std::pair<QString, QString>>> InfoView::facts(const TorrentStatus& t) {
    std::vector<std::vector<std::pair<QString, QString>>> rows;
    const bool checking = t.state == "checking";
    if (checking) {
        auto eta = t.checkingETA();
        rows.push_back({{"Проверено", percent(std::clamp(t.progress, 0.0, 1.0))},
                        {"Скорость проверки", QString::fromStdString(t.checkingSpeedText())},
                        {"Осталось", eta ? QStringLiteral("≈ ") + duration(std::ceil(*eta))
                                         : QStringLiteral("—")}});
    }
    double doneFraction =
        t.wanted >= 1 ? static_cast<double>(t.wantedDone) / t.wanted : (t.hasMetadata ? 1.0 : 0.0);
    rows.push_back(
        {{"Выбрано", bytes(t.wanted)},
         {"Скачано", bytes(t.wantedDone) + QStringLiteral(" · ") + percent(doneFraction)},
         {"Всего", bytes(t.total)}});
    std::int64_t left = t.wanted - t.wantedDone;
    QString timeLeft = !checking && t.downloadRate >= 1 && left >= 1 && !t.paused
                           ? duration(static_cast<double>(left) / t.downloadRate)
                           : QStringLiteral("—");
    rows.push_back({{"Загрузка", rate(t.downloadRate)},
                    {"Отдача", rate(t.uploadRate)},
                    {"Осталось", timeLeft}});
    std::int64_t d = std::max(t.totalDone, t.downloaded);
    rows.push_back({{"Получено", bytes(t.downloaded)},
                    {"Отдано", bytes(t.uploaded)},
                    {"Рейтинг", fixed2(d < 1 ? 0.0 : static_cast<double>(t.uploaded) / d)}});
    rows.push_back(
        {{"Сиды",
          QStringLiteral("%1 из %2").arg(t.seeds).arg(std::max<std::int64_t>(0, t.swarmSeeds))},
         {"Пиры",
          QStringLiteral("%1 из %2").arg(t.peers).arg(std::max<std::int64_t>(0, t.swarmPeers))},
         {"Доступность", fixed2(t.availability)}});
    rows.push_back({{"Лимит загрузки", limit(t.downloadLimit)},
                    {"Лимит отдачи", limit(t.uploadLimit)},
                    {"Части", QString::number(t.pieces)}});
    rows.push_back({{"Добавлен", date(t.added)},
                    {"Завершён", date(t.completed)},
                    {"Активен", duration(static_cast<double>(t.activeTime))}});
    return rows;
}

std::vector<std::pair<QString, QString>> InfoView::location(const TorrentStatus& t) {
    std::vector<std::pair<QString, QString>> rows = {{"Папка", QString::fromStdString(t.savePath)},
                                                     {"Хэш", QString::fromStdString(t.id)}};
    if (!t.tracker.empty())
        rows.push_back({"Трекер", QString::fromStdString(t.tracker)});
    if (!t.error.empty())
        rows.push_back({"Ошибка", QString::fromStdString(t.error)});
    return rows;
}

InfoView::InfoView(TorrentEngine& engine, QWidget* parent) : QWidget(parent), m_engine(engine) {
    m_loop = new RefreshLoop(
        2000, [this](std::uint64_t t) { pass(t); }, this);
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    auto* scroll = new QScrollArea;
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    outer->addWidget(scroll);
    m_content = new QWidget;
    scroll->setWidget(m_content);
    auto* v = new QVBoxLayout(m_content);
    v->setContentsMargins(14, 14, 14, 14);
    v->setSpacing(14);

    m_progress = new TransferProgress(14, &engine);
    m_progress->setFixedHeight(14);
    v->addWidget(m_progress);
    m_bar = new PiecesBar;
    m_bar->setFixedHeight(14);
    v->addWidget(m_bar);
    m_legend = new PiecesLegend;
    v->addWidget(m_legend);

    // The labels are made once and updated in place, so a selection in them
    // outlives the engine's polls.
    m_facts = new QGridLayout;
    m_facts->setHorizontalSpacing(24);
    m_facts->setVerticalSpacing(6);
    for (int r = 0; r < kFactRows; ++r)
        for (int c = 0; c < kFactColumns; ++c) {
            Fact fact;
            fact.cell = new QWidget;
            auto* cv = new QVBoxLayout(fact.cell);
            cv->setContentsMargins(0, 0, 0, 0);
            cv->setSpacing(1);
            fact.label = new QLabel;
            fact.label->setFont(LibraryStyle::font(11));
            fact.label->setForegroundRole(QPalette::PlaceholderText);
            fact.value = new QLabel;
            fact.value->setFont(LibraryStyle::font(13));
            fact.value->setTextInteractionFlags(Qt::TextSelectableByMouse);
            cv->addWidget(fact.label);
            cv->addWidget(fact.value);
            m_facts->addWidget(fact.cell, r, c, Qt::AlignLeft | Qt::AlignTop);
            m_factCells.push_back(fact);
        }
    m_facts->setColumnStretch(kFactColumns, 1);
    v->addLayout(m_facts);
    m_location = new QGridLayout;
    m_location->setHorizontalSpacing(12);
    m_location->setVerticalSpacing(6);
    m_location->setColumnStretch(1, 1);
    auto locationLabel = [this](const QString& text, int row) {
        auto* label = new QLabel(text);
        label->setForegroundRole(QPalette::PlaceholderText);
        m_location->addWidget(label, row, 0, Qt::AlignLeft | Qt::AlignTop);
        return label;
    };
    m_folder = new SelectableElidedLabel;
    m_folder->setAccessibleName(QStringLiteral("Папка"));
    locationLabel(QStringLiteral("Папка"), 0);
    m_location->addWidget(m_folder, 0, 1);
    m_hash = new QLabel;
    m_hash->setAccessibleName(QStringLiteral("Хэш"));
    m_hash->setTextInteractionFlags(Qt::TextSelectableByMouse);
    QFont mono = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    mono.setPixelSize(12);
    m_hash->setFont(mono);
    // In line with the folder and tracker, which sit inside a line edit's margin.
    m_hash->setIndent(2);
    locationLabel(QStringLiteral("Хэш"), 1);
    m_location->addWidget(m_hash, 1, 1);
    m_trackerLabel = locationLabel(QStringLiteral("Трекер"), 2);
    m_tracker = new SelectableElidedLabel;
    m_tracker->setAccessibleName(QStringLiteral("Трекер"));
    m_location->addWidget(m_tracker, 2, 1);
    m_errorLabel = locationLabel(QStringLiteral("Ошибка"), 3);
    m_error = new QLabel;
    m_error->setAccessibleName(QStringLiteral("Ошибка"));
    m_error->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_error->setWordWrap(true);
    m_error->setIndent(2);
    m_error->setStyleSheet(QStringLiteral("color: #ff453a"));
    m_location->addWidget(m_error, 3, 1);
    v->addLayout(m_location);

    auto* controls = new QHBoxLayout;
    m_sequential = new QCheckBox(QStringLiteral("Последовательно"));
    connect(m_sequential, &QCheckBox::clicked, this, [this](bool on) {
        m_engine.action(on ? "sequential_on" : "sequential_off", {m_torrentID.toStdString()});
    });
    controls->addWidget(m_sequential);
    auto* limits = new QPushButton(QStringLiteral("Ограничения…"));
    LibraryButtonStyle::apply(limits, false);
    connect(limits, &QPushButton::clicked, this, [this] { showLimits(); });
    controls->addWidget(limits);
    auto* reveal = new QPushButton(QStringLiteral("Показать в папке"));
    LibraryButtonStyle::apply(reveal, false);
    connect(reveal, &QPushButton::clicked, this,
            [this] { m_engine.reveal(m_torrentID.toStdString(), std::nullopt); });
    controls->addWidget(reveal);
    controls->addStretch();
    v->addLayout(controls);
    v->addStretch();

    connect(&engine, &TorrentEngine::torrentsChanged, this, [this] {
        if (isVisible())
            refresh();
    });
    refresh();
}

void InfoView::setTorrentID(const QString& id) {
    if (id == m_torrentID)
        return;
    m_torrentID = id;
    // A newly shown torrent never shows the previous one's pieces.
    m_map = {};
    m_bar->setMap({});
    refresh();
    if (isVisible())
        m_loop->start();
}

QString InfoView::value(const QString& label) const {
    for (const auto& [l, v] : m_shown)
        if (l == label)
            return v;
    return {};
}

LimitsSheet* InfoView::showLimits() {
    auto* sheet = new LimitsSheet(m_engine, m_torrentID, this);
    sheet->setAttribute(Qt::WA_DeleteOnClose);
    sheet->open();
    return sheet;
}

void InfoView::refresh() {
    auto t = m_engine.torrent(m_torrentID.toStdString());
    m_content->setVisible(t.has_value());
    if (!t)
        return;
    const bool checking = t->state == "checking";
    m_progress->setVisible(checking);
    if (checking)
        m_progress->setTorrent(*t);
    m_bar->setVisible(!checking);
    m_legend->setVisible(!checking);

    auto rows = facts(*t);
    // Without the checking row the rows move down one: each label keeps its place.
    const int first = checking ? 0 : 1;
    for (int r = 0; r < kFactRows; ++r) {
        const int row = r - first;
        const bool shownRow = row >= 0 && row < static_cast<int>(rows.size());
        for (int c = 0; c < kFactColumns; ++c) {
            Fact& fact = m_factCells[r * kFactColumns + c];
            fact.cell->setVisible(shownRow);
            if (!shownRow)
                continue;
            const auto& [label, value] = rows[row][c];
            setText(fact.label, label);
            setText(fact.value, value);
            fact.value->setAccessibleName(label);
        }
    }
    auto where = location(*t);
    auto locationValue = [&](QStringView label) {
        for (const auto& [l, v] : where)
            if (l == label)
                return v;
        return QString();
    };
    m_folder->setShownText(locationValue(u"Папка"));
    setText(m_hash, locationValue(u"Хэш"));
    QString tracker = locationValue(u"Трекер");
    m_tracker->setShownText(tracker);
    m_trackerLabel->setVisible(!tracker.isEmpty());
    m_tracker->setVisible(!tracker.isEmpty());
    QString error = locationValue(u"Ошибка");
    setText(m_error, error);
    m_errorLabel->setVisible(!error.isEmpty());
    m_error->setVisible(!error.isEmpty());

    m_shown.clear();
    for (const auto& row : rows)
        m_shown.insert(m_shown.end(), row.begin(), row.end());
    m_shown.insert(m_shown.end(), where.begin(), where.end());
    if (m_sequential->isChecked() != t->sequential)
        m_sequential->setChecked(t->sequential);
}

void InfoView::pass(std::uint64_t ticket) {
    QPointer<InfoView> self(this);
    m_engine.pieceMap(m_torrentID.toStdString(), [self, ticket](PieceMap map) {
        if (!self || !self->m_loop->isCurrent(ticket))
            return;
        self->m_map = map;
        self->m_bar->setMap(std::move(map));
        self->m_loop->passDone(ticket);
        emit self->refreshed();
    });
}

void InfoView::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    // A restored window shows its children again: the tab was never gone.
    if (event->spontaneous())
        return;
    refresh();
    if (!m_loop->running()) {
        m_map = {};
        m_bar->setMap({});
        m_loop->start();
    }
}

void InfoView::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    if (event->spontaneous())
        return;
    m_loop->stop();
}

} // namespace tevro
