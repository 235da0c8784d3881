#include "tevro/shell/library_header.h"

#include <algorithm>

#include <QActionGroup>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QShortcut>
#include <QToolButton>
#include <QVBoxLayout>

#include "tevro/engine/torrent_engine.h"
#include "tevro/library/torrent_status_text.h"
#include "tevro/shell/main_ui_state.h"
#include "tevro/shell/main_view.h"
#include "tevro/library/library_button_style.h"
#include "tevro/library/library_style.h"
#include "tevro/library/list_change.h"
#include "tevro/library/symbols.h"
#include "tevro/shell/sidebar_filter_list.h"

namespace tevro {

namespace {

QString colourName(const QColor& c) {
    return c.name(QColor::HexArgb);
}

// The symbol in the muted colour, white when the button is checked.
QIcon symbolIcon(const std::string& symbol, int pixels,
                 const QColor& colour = LibraryStyle::muted()) {
    QIcon icon;
    icon.addPixmap(Symbols::pixmap(symbol, colour, pixels, 2.0), QIcon::Normal, QIcon::Off);
    icon.addPixmap(Symbols::pixmap(symbol, Qt::white, pixels, 2.0), QIcon::Normal, QIcon::On);
    return icon;
}

QToolButton* plainButton(QWidget* parent, const std::string& symbol, const QString& help,
                         int pixels = 12) {
    auto* button = new QToolButton(parent);
    button->setAutoRaise(true);
    button->setIcon(symbolIcon(symbol, pixels));
    button->setIconSize(QSize(pixels + 2, pixels + 2));
    button->setFont(LibraryStyle::font(pixels, QFont::Medium));
    button->setToolTip(help);
    button->setAccessibleName(help);
    button->setFocusPolicy(Qt::NoFocus);
    return button;
}

QString sortTitle(LibrarySort sort) {
    switch (sort) {
    case LibrarySort::newest:
        return QStringLiteral("Сначала новые");
    case LibrarySort::name:
        return QStringLiteral("По названию");
    case LibrarySort::progress:
        return QStringLiteral("По прогрессу");
    case LibrarySort::size:
        return QStringLiteral("По размеру");
    }
    return {};
}

} // namespace

LibraryHeader::WidthClass LibraryHeader::widthClass(int width) {
    if (width >= 1060)
        return WidthClass::wide;
    if (width < 880)
        return WidthClass::compact;
    return WidthClass::middle;
}

LibraryHeader::LibraryHeader(MainView& view, QWidget* parent) : QWidget(parent), m_view(view) {
    setFixedHeight(54);
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(20, 0, 20, 0);
    row->setSpacing(8);
    MainUIState& ui = view.ui();

    // Title group.
    m_titleGroup = new QWidget(this);
    auto* title = new QHBoxLayout(m_titleGroup);
    title->setContentsMargins(0, 0, 0, 0);
    title->setSpacing(7);
    m_title = new QLabel(m_titleGroup);
    QFont titleFont = LibraryStyle::font(17, QFont::Medium);
    titleFont.setLetterSpacing(QFont::AbsoluteSpacing, -0.3);
    m_title->setFont(titleFont);
    m_badge = new QLabel(m_titleGroup);
    m_badge->setFont(LibraryStyle::font(11, QFont::Medium));
    m_badge->setFixedHeight(20);
    m_badge->setAlignment(Qt::AlignCenter);
    m_badge->setStyleSheet(
        QStringLiteral("color: %1; background: %2; border-radius: 9px;"
                       " padding: 3px 6px;")
            .arg(colourName(LibraryStyle::muted()), colourName(LibraryStyle::raised())));
    m_done = new QLabel(m_titleGroup);
    m_done->setFont(LibraryStyle::font(11));
    m_done->setStyleSheet(QStringLiteral("color: %1").arg(colourName(LibraryStyle::muted())));
    title->addWidget(m_title);
    title->addWidget(m_badge);
    title->addWidget(m_done);
    m_titleGroup->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    row->addWidget(m_titleGroup);

    auto separator = [this] {
        auto* line = new QFrame(this);
        line->setFixedSize(1, 20);
        line->setStyleSheet(QStringLiteral("background: %1").arg(colourName(LibraryStyle::line())));
        return line;
    };
    row->addSpacing(2);
    row->addWidget(separator());
    row->addSpacing(2);

    // Layout picker.
    auto* picker = new QFrame(this);
    picker->setObjectName(QStringLiteral("layoutPicker"));
    picker->setStyleSheet(QStringLiteral("#layoutPicker { background: %1; border-radius: 7px; }"
                                         " QToolButton { border-radius: 5px; color: %2; }"
                                         " QToolButton:checked { background: %3; color: white; }")
                              .arg(colourName(LibraryStyle::raised().darker(160)),
                                   colourName(LibraryStyle::muted()),
                                   colourName(LibraryStyle::raised())));
    picker->setFixedHeight(30);
    auto* pickerRow = new QHBoxLayout(picker);
    pickerRow->setContentsMargins(2, 2, 2, 2);
    pickerRow->setSpacing(2);
    const std::pair<const char*, const char*> layouts[] = {
        {"Плитка", "square.grid.2x2"}, {"Список", "list.bullet"}, {"Таблица", "tablecells"}};
    for (int i = 0; i < 3; ++i) {
        auto* button = plainButton(picker, layouts[i].second, QString::fromUtf8(layouts[i].first));
        button->setCheckable(true);
        button->setFixedSize(28, 26);
        button->setShortcut(QKeySequence(Qt::CTRL | Qt::Key(Qt::Key_1 + i)));
        connect(button, &QToolButton::clicked, this, [this, i] {
            LibraryPreferences p = m_view.ui().preferences();
            p.layout = kAllLibraryLayouts[std::size_t(i)];
            m_view.ui().setPreferences(p);
        });
        m_layoutButtons[i] = button;
        pickerRow->addWidget(button);
    }
    row->addWidget(picker);

    // Selection group.
    m_selectedText = new QLabel(this);
    m_selectedText->setFont(LibraryStyle::font(10));
    m_selectedText->setStyleSheet(
        QStringLiteral("color: %1").arg(colourName(LibraryStyle::muted())));
    row->addWidget(m_selectedText);
    buildBatchActions();
    row->addWidget(m_resume);
    row->addWidget(m_pause);
    row->addWidget(m_remove);
    row->addWidget(m_selectionMenuButton);

    // Sort menu.
    m_sort = plainButton(this, "arrow.up.arrow.down", QString());
    m_sort->setFixedSize(24, 30);
    m_sort->setPopupMode(QToolButton::InstantPopup);
    m_sort->setStyleSheet(
        QStringLiteral("QToolButton { color: %1 } QToolButton::menu-indicator { image: none; }")
            .arg(colourName(LibraryStyle::muted())));
    m_sortMenu = new QMenu(QStringLiteral("Сортировка"), m_sort);
    auto* group = new QActionGroup(m_sortMenu);
    for (LibrarySort sort : kAllLibrarySorts) {
        QAction* action = m_sortMenu->addAction(sortTitle(sort));
        action->setCheckable(true);
        action->setData(int(sort));
        group->addAction(action);
        connect(action, &QAction::triggered, this, [this, sort] {
            LibraryPreferences p = m_view.ui().preferences();
            p.sort = sort;
            m_view.ui().setPreferences(p);
        });
    }
    m_sort->setMenu(m_sortMenu);
    row->addWidget(m_sort);

    // Details toggle.
    m_details = plainButton(this, "rectangle.bottomthird.inset.filled", QString(), 14);
    m_details->setFixedSize(28, 30);
    m_details->setShortcut(QKeySequence(Qt::CTRL | Qt::ALT | Qt::Key_I));
    connect(m_details, &QToolButton::clicked, this, [this] {
        if (m_view.primary())
            m_view.ui().setShowDetails(!m_view.ui().showDetails());
    });
    row->addWidget(m_details);
    row->addStretch(1);

    // Search field.
    m_searchFrame = new QFrame(this);
    m_searchFrame->setObjectName(QStringLiteral("searchField"));
    m_searchFrame->setFixedHeight(30);
    m_searchFrame->setStyleSheet(
        QStringLiteral("#searchField { background: %1; border-radius: 7px; }"
                       " QLineEdit { background: transparent; border: none; color: white; }")
            .arg(colourName(LibraryStyle::raised())));
    auto* searchRow = new QHBoxLayout(m_searchFrame);
    searchRow->setContentsMargins(9, 0, 9, 0);
    searchRow->setSpacing(7);
    auto* glass = new QLabel(m_searchFrame);
    glass->setPixmap(Symbols::pixmap("magnifyingglass", LibraryStyle::muted(), 12, 2.0));
    m_search = new QLineEdit(m_searchFrame);
    m_search->setPlaceholderText(QStringLiteral("Поиск"));
    m_search->setAccessibleName(QStringLiteral("Поиск в медиатеке"));
    m_search->setFont(LibraryStyle::font(12));
    m_clear = plainButton(m_searchFrame, "xmark.circle.fill", QStringLiteral("Очистить поиск"));
    m_clear->setToolTip(QString());
    m_clear->setStyleSheet(QStringLiteral("color: %1").arg(colourName(LibraryStyle::muted())));
    connect(m_clear, &QToolButton::clicked, this, [this] { m_view.ui().setSearch(""); });
    connect(m_search, &QLineEdit::textEdited, this,
            [this](const QString& text) { m_view.ui().setSearch(text.toStdString()); });
    searchRow->addWidget(glass);
    searchRow->addWidget(m_search, 1);
    searchRow->addWidget(m_clear);
    row->addWidget(m_searchFrame);

    // Add button and popover.
    m_add = new QPushButton(this);
    m_add->setFixedHeight(30);
    m_add->setFont(LibraryStyle::font(12, QFont::Medium));
    m_add->setToolTip(QStringLiteral("Добавить торрент или magnet-ссылку"));
    m_add->setAccessibleName(QStringLiteral("Добавить"));
    m_add->setFocusPolicy(Qt::NoFocus);
    m_add->setCursor(Qt::PointingHandCursor);
    m_add->setIcon(Symbols::icon("plus", LibraryStyle::background(), 12));
    connect(m_add, &QPushButton::clicked, this, &LibraryHeader::showAddPopover);
    row->addWidget(m_add);

    m_popover = new QFrame(this, Qt::Popup);
    m_popover->setObjectName(QStringLiteral("addPopover"));
    m_popover->setFixedWidth(220);
    m_popover->setStyleSheet(
        QStringLiteral(
            "#addPopover { background: #1c1d21; border: 1px solid %1; border-radius: 10px; }"
            " QPushButton { background: %2; color: white; border-radius: 9px;"
            " padding: 0 14px; text-align: left; min-height: 34px; }")
            .arg(colourName(LibraryStyle::line()), colourName(LibraryStyle::raised())));
    auto* popoverColumn = new QVBoxLayout(m_popover);
    popoverColumn->setContentsMargins(10, 10, 10, 10);
    popoverColumn->setSpacing(6);
    const std::pair<const char*, const char*> items[] = {{"Открыть торрент…", "doc.badge.plus"},
                                                         {"Magnet-ссылка…", "link"}};
    for (int i = 0; i < 2; ++i) {
        auto* button = new QPushButton(QString::fromUtf8(items[i].first), m_popover);
        button->setAccessibleName(QString::fromUtf8(items[i].first));
        LibraryButtonStyle::apply(button, false);
        LibraryButtonStyle::setSymbol(button, items[i].second);
        connect(button, &QPushButton::clicked, this, [this, i] {
            m_popover->hide();
            if (i == 0)
                m_view.openTorrentPanel();
            else
                m_view.openMagnet();
        });
        popoverColumn->addWidget(button);
    }

    connect(&ui, &MainUIState::filterChanged, this, &LibraryHeader::refresh);
    connect(&ui, &MainUIState::selectionChanged, this, &LibraryHeader::refresh);
    connect(&ui, &MainUIState::searchChanged, this, &LibraryHeader::refresh);
    connect(&ui, &MainUIState::showDetailsChanged, this, &LibraryHeader::refresh);
    connect(&ui, &MainUIState::preferencesChanged, this, &LibraryHeader::refresh);
    connect(&view.engine(), &TorrentEngine::torrentsChanged, this, &LibraryHeader::refresh);
    refresh();
}

void LibraryHeader::buildBatchActions() {
    m_resume = plainButton(this, "arrow.down.circle", QString(), 14);
    m_pause = plainButton(this, "pause.circle", QStringLiteral("Приостановить выбранные"), 14);
    m_remove = plainButton(this, "trash", QStringLiteral("Удалить выбранные…"), 14);
    m_remove->setAccessibleName(QStringLiteral("Удалить выбранные"));
    for (QToolButton* b : {m_resume, m_pause, m_remove})
        b->setMinimumHeight(30);
    auto selectionIds = [this] {
        const auto& s = m_view.ui().selection();
        return std::vector<std::string>(s.begin(), s.end());
    };
    connect(m_resume, &QToolButton::clicked, this,
            [this, selectionIds] { m_view.engine().resume(selectionIds()); });
    connect(m_pause, &QToolButton::clicked, this,
            [this, selectionIds] { m_view.engine().pause(selectionIds()); });
    connect(m_remove, &QToolButton::clicked, this, [this] {
        if (!m_view.ui().selection().empty())
            m_view.requestRemoval(m_view.ui().selection());
    });

    m_selectionMenuButton = plainButton(this, "checkmark.circle", QString(), 11);
    m_selectionMenuButton->setPopupMode(QToolButton::InstantPopup);
    m_selectionMenuButton->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    m_selectionMenu = new QMenu(m_selectionMenuButton);
    // The symbols never change: made once, not at each refresh.
    const std::pair<QToolButton*, const char*> items[] = {
        {m_resume, "arrow.down.circle"}, {m_pause, "pause.circle"}, {m_remove, "trash"}};
    for (const auto& [button, symbol] : items) {
        QAction* action =
            m_selectionMenu->addAction(Symbols::icon(symbol, Qt::white, 14), QString());
        connect(action, &QAction::triggered, button, &QToolButton::click);
    }
    m_selectionMenuButton->setMenu(m_selectionMenu);
}

void LibraryHeader::showAddPopover() {
    if (m_popover->isVisible()) {
        m_popover->hide();
        return;
    }
    m_popover->adjustSize();
    QPoint anchor = m_add->mapToGlobal(QPoint(m_add->width(), m_add->height() + 4));
    m_popover->move(anchor.x() - m_popover->width(), anchor.y());
    m_popover->show();
}

void LibraryHeader::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    WidthClass c = widthClass(width());
    if (c != m_class) {
        m_class = c;
        refresh();
    }
}

int LibraryHeader::doneCount() {
    const TorrentEngine& engine = m_view.engine();
    const std::uint64_t revision = engine.torrentsRevision();
    if (m_doneRevision == revision)
        return int(m_doneKeys.size());
    auto done = [](const TorrentStatus& t) { return t.finished || t.seeding; };
    const auto* change = m_doneRevision ? engine.changeSince(*m_doneRevision) : nullptr;
    m_doneRevision = revision;
    if (!change || change->reordered) {
        m_doneKeys.clear();
        for (const TorrentStatus& t : engine.torrents())
            if (done(t))
                m_doneKeys.push_back(ListChange::keyOf(t.id));
        std::ranges::sort(m_doneKeys);
        return int(m_doneKeys.size());
    }
    // Only the torrents the change names can have come or gone.
    auto mark = [this](const std::string& id, bool isDone) {
        const std::size_t key = ListChange::keyOf(id);
        auto it = std::ranges::lower_bound(m_doneKeys, key);
        const bool listed = it != m_doneKeys.end() && *it == key;
        if (isDone && !listed)
            m_doneKeys.insert(it, key);
        else if (!isDone && listed)
            m_doneKeys.erase(it);
    };
    for (const std::string& id : change->removed)
        mark(id, false);
    for (const std::string& id : change->changed) {
        const auto at = engine.position(id);
        mark(id, at && done(engine.torrents()[*at]));
    }
    return int(m_doneKeys.size());
}

void LibraryHeader::refresh() {
    MainUIState& ui = m_view.ui();
    const auto& visible = m_view.visible();
    const int done = doneCount();
    bool wide = m_class == WidthClass::wide;
    const auto& selection = ui.selection();

    m_title->setText(SidebarFilterList::title(ui.filter()));
    m_badge->setText(QString::number(visible.size()));
    m_badge->setAccessibleName(QStringLiteral("В коллекции: ") + QString::number(visible.size()));
    m_done->setText(QString::number(done) + QStringLiteral(" загружено"));
    m_done->setVisible(wide && selection.empty());
    m_titleGroup->setToolTip(QString::number(visible.size()) + QStringLiteral(" в коллекции · ") +
                             QString::number(done) + QStringLiteral(" загружено"));

    auto layout = ui.preferences().layout;
    for (int i = 0; i < 3; ++i)
        m_layoutButtons[i]->setChecked(kAllLibraryLayouts[std::size_t(i)] == layout);

    std::vector<TorrentStatus> selected;
    for (const auto& id : selection)
        if (auto t = m_view.engine().torrent(id))
            selected.push_back(std::move(*t));
    QString resume = QString::fromStdString(TorrentStatusText::resumeTitle(selected)) +
                     QStringLiteral(" выбранные");
    m_resume->setToolTip(resume);
    m_resume->setAccessibleName(resume);
    bool anySelected = !selection.empty();
    QString count = QString::number(selection.size());
    m_selectedText->setText(QStringLiteral("Выбрано: ") + count);
    m_selectedText->setVisible(anySelected && wide);
    for (QToolButton* b : {m_resume, m_pause, m_remove})
        b->setVisible(anySelected && wide);
    m_selectionMenuButton->setVisible(anySelected && !wide);
    m_selectionMenuButton->setText(count);
    QString menuHelp = QStringLiteral("Действия с выбранными: ") + count;
    m_selectionMenuButton->setToolTip(menuHelp);
    m_selectionMenuButton->setAccessibleName(menuHelp);
    auto actions = m_selectionMenu->actions();
    const QString menuItems[] = {resume, QStringLiteral("Приостановить выбранные"),
                                 QStringLiteral("Удалить выбранные…")};
    for (int i = 0; i < 3; ++i)
        actions[i]->setText(menuItems[i]);

    m_sort->setVisible(layout != LibraryLayout::table);
    QString sortHelp = QStringLiteral("Сортировка: ") + sortTitle(ui.preferences().sort);
    m_sort->setToolTip(sortHelp);
    m_sort->setAccessibleName(sortHelp);
    for (QAction* a : m_sortMenu->actions())
        a->setChecked(a->data().toInt() == int(ui.preferences().sort));

    bool details = ui.showDetails();
    m_details->setEnabled(m_view.primary().has_value());
    QString detailsHelp =
        details ? QStringLiteral("Скрыть сведения") : QStringLiteral("Показать файлы и сведения");
    m_details->setToolTip(detailsHelp);
    m_details->setAccessibleName(detailsHelp);
    // The symbol is a picture: its colour changes with a new icon, not with a style sheet.
    if (m_details->property("lit").toBool() != details || m_details->icon().isNull()) {
        m_details->setProperty("lit", details);
        m_details->setIcon(symbolIcon("rectangle.bottomthird.inset.filled", 14,
                                      details ? LibraryStyle::accent() : LibraryStyle::muted()));
    }

    QString search = QString::fromStdString(ui.search());
    if (m_search->text() != search)
        m_search->setText(search);
    m_clear->setVisible(!search.isEmpty());
    m_searchFrame->setFixedWidth(m_class == WidthClass::compact ? 132 : 180);

    bool compact = m_class == WidthClass::compact;
    m_add->setText(compact ? QString() : QStringLiteral("Добавить"));
    // Set again only when it changes: a new sheet polishes the button anew.
    const QString sheet =
        QStringLiteral("QPushButton { color: %1; background: %2; border-radius: 7px;"
                       " padding: 0 %3px; border: none; }")
            .arg(colourName(LibraryStyle::background()), colourName(LibraryStyle::accent()),
                 compact ? "10" : "12");
    if (m_add->styleSheet() != sheet)
        m_add->setStyleSheet(sheet);
}

} // namespace tevro
